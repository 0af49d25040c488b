#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/IndexPath.h"

namespace clipora::platform {

class BarButtonItem;
class NavigationBar;
class TableView;
class Toolbar;
class View;
class ViewController;

// Reads what the topmost screen shows, for tests and the text-mode device:
// the controller on top (following presentations and navigation stacks of
// the key window), its navigation title and bar buttons, its toolbar, the
// visible rows of its first table, and the alert or action sheet on top.
class ScreenReader {
public:
    struct Row {
        IndexPath indexPath;
        std::string text;
        std::string detail;
        int accessoryType = 0;
        bool selected = false;
    };
    struct Section {
        int section = 0;
        std::optional<std::string> header;
        std::optional<std::string> footer;
        std::vector<Row> rows;  // the visible rows only
    };
    struct Alert {
        bool isActionSheet = false;
        std::string title;
        std::string message;
        std::vector<std::string> buttons;
        int cancelButtonIndex = -1;
    };
    struct Snapshot {
        std::shared_ptr<ViewController> controller;
        std::string title;
        // The back button's title when one shows.
        std::optional<std::string> backButton;
        std::shared_ptr<BarButtonItem> leftItem;
        std::shared_ptr<BarButtonItem> rightItem;
        std::vector<std::shared_ptr<BarButtonItem>> toolbarItems;
        std::shared_ptr<TableView> table;
        std::vector<Section> sections;
        std::optional<Alert> alert;

        // The visible rows in order (the numbering the text form uses, from 1).
        std::vector<Row> rows() const;
        // A plain-text drawing of the screen.
        std::string text() const;
    };

    ScreenReader() = delete;

    // The window the user looks at: the key window, else the last visible one.
    static std::shared_ptr<View> activeWindow();
    static std::shared_ptr<ViewController> topViewController();
    static Snapshot read();

    // Depth-first searches through visible views.
    static std::shared_ptr<TableView> findTableView(const std::shared_ptr<View>& root);
    static std::shared_ptr<NavigationBar> findNavigationBar(const std::shared_ptr<View>& root);
    static std::shared_ptr<Toolbar> findToolbar(const std::shared_ptr<View>& root);
    // The text of the first label inside the view, if any.
    static std::optional<std::string> firstLabelText(const std::shared_ptr<View>& root);
};

}  // namespace clipora::platform
