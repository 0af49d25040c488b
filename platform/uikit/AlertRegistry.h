#pragma once

#include <memory>
#include <string>
#include <vector>

namespace clipora::platform {

class ActionSheet;
class AlertView;
class View;

// The alerts and action sheets on screen, in the order they were shown (the
// last one is on top). The registry keeps each alive while it is shown, so a
// test or the device program can read it and press its buttons.
class AlertRegistry {
public:
    AlertRegistry() = delete;

    // Every shown alert and sheet, oldest first.
    static std::vector<std::shared_ptr<View>> shown();
    static std::vector<std::shared_ptr<AlertView>> shownAlerts();
    static std::vector<std::shared_ptr<ActionSheet>> shownActionSheets();
    // The last shown alert or sheet, if any.
    static std::shared_ptr<View> topmost();
    static std::shared_ptr<AlertView> topAlert();
    static std::shared_ptr<ActionSheet> topActionSheet();
    // The topmost's title and button titles (empty when nothing is shown).
    static std::string topmostTitle();
    static std::vector<std::string> topmostButtonTitles();
    // Presses a button of the topmost alert or sheet. Answers false when
    // nothing is shown or there is no such button.
    static bool pressButtonAtIndex(int index);
    static bool pressButtonWithTitle(const std::string& title);

    // Used by alerts and sheets as they show and go away.
    static void add(const std::shared_ptr<View>& view);
    static void remove(const View* view);
    // Forgets everything without dismissing (tests).
    static void reset();
};

}  // namespace clipora::platform
