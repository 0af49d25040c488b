#include "platform/uikit/ScreenReader.h"

#include <functional>
#include <sstream>

#include "platform/uikit/ActionSheet.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/Toolbar.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/Window.h"

namespace clipora::platform {

namespace {

template <class T>
std::shared_ptr<T> findFirst(const std::shared_ptr<View>& root) {
    if (!root || root->isHidden() || root->alpha() <= 0) return nullptr;
    if (auto hit = std::dynamic_pointer_cast<T>(root)) return hit;
    for (auto& child : root->subviews()) {
        if (auto hit = findFirst<T>(child)) return hit;
    }
    return nullptr;
}

std::string itemText(const std::shared_ptr<BarButtonItem>& item) {
    if (!item) return {};
    std::string title = item->title();
    if (title.empty() && item->customView()) {
        if (auto text = ScreenReader::firstLabelText(item->customView())) title = *text;
    }
    if (title.empty() && item->systemItem()) {
        switch (*item->systemItem()) {
        case BarButtonItem::SystemItemAdd: title = "+"; break;
        case BarButtonItem::SystemItemAction: title = "Action"; break;
        case BarButtonItem::SystemItemRefresh: title = "Refresh"; break;
        case BarButtonItem::SystemItemStop: title = "Stop"; break;
        case BarButtonItem::SystemItemBookmarks: title = "Bookmarks"; break;
        case BarButtonItem::SystemItemCompose: title = "Compose"; break;
        case BarButtonItem::SystemItemTrash: title = "Trash"; break;
        default: break;
        }
    }
    if (title.empty()) title = item->image() ? "image" : "item";
    return item->isEnabled() ? "[" + title + "]" : "(" + title + ")";
}

}  // namespace

std::shared_ptr<View> ScreenReader::activeWindow() {
    auto app = Application::sharedApplication();
    if (auto key = app->keyWindow()) return key;
    auto windows = app->windows();
    return windows.empty() ? nullptr : windows.back();
}

std::shared_ptr<ViewController> ScreenReader::topViewController() {
    auto window = std::dynamic_pointer_cast<Window>(activeWindow());
    if (!window) return nullptr;
    auto roots = window->rootViewControllers();
    if (roots.empty()) return nullptr;
    auto controller = roots.back();
    for (;;) {
        if (auto presented = controller->presentedViewController()) {
            controller = presented;
            continue;
        }
        if (auto child = controller->childOnScreen()) {
            controller = child;
            continue;
        }
        return controller;
    }
}

std::shared_ptr<TableView> ScreenReader::findTableView(const std::shared_ptr<View>& root) {
    return findFirst<TableView>(root);
}

std::shared_ptr<NavigationBar> ScreenReader::findNavigationBar(const std::shared_ptr<View>& root) {
    return findFirst<NavigationBar>(root);
}

std::shared_ptr<Toolbar> ScreenReader::findToolbar(const std::shared_ptr<View>& root) {
    return findFirst<Toolbar>(root);
}

std::optional<std::string> ScreenReader::firstLabelText(const std::shared_ptr<View>& root) {
    if (auto label = findFirst<Label>(root)) return label->text();
    return std::nullopt;
}

ScreenReader::Snapshot ScreenReader::read() {
    Snapshot shot;
    shot.controller = topViewController();
    if (auto& c = shot.controller) {
        auto view = c->view();
        std::shared_ptr<NavigationBar> bar;
        if (auto nav = c->navigationController(); nav && !nav->isNavigationBarHidden()) bar = nav->navigationBar();
        if (!bar) bar = findNavigationBar(view);
        if (bar && bar->topItem()) {
            shot.title = bar->shownTitle();
            shot.leftItem = bar->topItem()->leftBarButtonItem();
            shot.rightItem = bar->topItem()->rightBarButtonItem();
            if (bar->showsBackButton()) shot.backButton = bar->backButtonTitle();
        } else {
            shot.title = c->title();
        }
        std::shared_ptr<Toolbar> toolbar;
        if (auto nav = c->navigationController(); nav && !nav->isToolbarHidden() && !c->hidesBottomBarWhenPushed())
            toolbar = nav->toolbar();
        if (!toolbar) toolbar = findToolbar(view);
        if (toolbar) shot.toolbarItems = toolbar->items();

        shot.table = findTableView(view);
        if (auto& table = shot.table) {
            auto visible = table->indexPathsForVisibleRows();
            for (int s = 0; s < table->numberOfSections(); ++s) {
                Section section;
                section.section = s;
                section.header = table->headerTitleForSection(s);
                if (!section.header) section.header = firstLabelText(table->headerViewForSection(s));
                section.footer = table->footerTitleForSection(s);
                if (!section.footer) section.footer = firstLabelText(table->footerViewForSection(s));
                for (const IndexPath& ip : visible) {
                    if (ip.section != s) continue;
                    auto cell = table->cellForRowAtIndexPath(ip);
                    Row row;
                    row.indexPath = ip;
                    if (cell) {
                        if (auto& label = cell->textLabelIfLoaded()) row.text = label->text();
                        if (auto& detail = cell->detailTextLabelIfLoaded()) row.detail = detail->text();
                        if (row.text.empty()) {
                            if (auto text = firstLabelText(cell)) row.text = *text;
                        }
                        row.accessoryType = cell->accessoryType();
                        row.selected = cell->isSelected();
                    }
                    section.rows.push_back(std::move(row));
                }
                shot.sections.push_back(std::move(section));
            }
        }
    }
    auto top = AlertRegistry::topmost();
    if (auto alert = std::dynamic_pointer_cast<AlertView>(top)) {
        shot.alert = Alert{false, alert->title(), alert->message(), alert->buttonTitles(), alert->cancelButtonIndex()};
    } else if (auto sheet = std::dynamic_pointer_cast<ActionSheet>(top)) {
        shot.alert = Alert{true, sheet->title(), {}, sheet->buttonTitles(), sheet->cancelButtonIndex()};
    }
    return shot;
}

std::vector<ScreenReader::Row> ScreenReader::Snapshot::rows() const {
    std::vector<Row> out;
    for (auto& s : sections) out.insert(out.end(), s.rows.begin(), s.rows.end());
    return out;
}

std::string ScreenReader::Snapshot::text() const {
    std::ostringstream out;
    out << "== " << title << " ==\n";
    std::string bar;
    if (backButton) bar += "[< " + *backButton + "] ";
    if (leftItem) bar += itemText(leftItem) + " ";
    if (rightItem) bar += "    " + itemText(rightItem);
    if (!bar.empty()) out << bar << "\n";
    int number = 1;
    for (auto& s : sections) {
        if (s.header && !s.header->empty()) out << "-- " << *s.header << " --\n";
        for (auto& row : s.rows) {
            out << (row.selected ? "*" : " ") << number++ << ". " << row.text;
            if (!row.detail.empty()) out << " | " << row.detail;
            if (row.accessoryType == TableViewCell::AccessoryDisclosureIndicator) out << "  >";
            if (row.accessoryType == TableViewCell::AccessoryCheckmark) out << "  \u2713";
            out << "\n";
        }
        if (s.footer && !s.footer->empty()) out << "   (" << *s.footer << ")\n";
    }
    if (!toolbarItems.empty()) {
        out << "Toolbar:";
        for (auto& item : toolbarItems) {
            if (item && !item->isSpace()) out << " " << itemText(item);
        }
        out << "\n";
    }
    if (alert) {
        out << (alert->isActionSheet ? "Sheet" : "Alert") << " \"" << alert->title << "\"";
        if (!alert->message.empty()) out << ": " << alert->message;
        out << "\n";
        for (std::size_t i = 0; i < alert->buttons.size(); ++i) {
            out << "  " << i << ") " << alert->buttons[i];
            if (static_cast<int>(i) == alert->cancelButtonIndex) out << " (cancel)";
            out << "\n";
        }
    }
    return out.str();
}

}  // namespace clipora::platform
