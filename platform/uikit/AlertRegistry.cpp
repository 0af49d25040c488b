#include "platform/uikit/AlertRegistry.h"

#include <algorithm>

#include "platform/uikit/ActionSheet.h"
#include "platform/uikit/AlertView.h"

namespace clipora::platform {

namespace {
// Alerts and sheets are interface objects: main thread only.
std::vector<std::shared_ptr<View>>& list() {
    static std::vector<std::shared_ptr<View>> shownViews;
    return shownViews;
}
}  // namespace

std::vector<std::shared_ptr<View>> AlertRegistry::shown() { return list(); }

std::vector<std::shared_ptr<AlertView>> AlertRegistry::shownAlerts() {
    std::vector<std::shared_ptr<AlertView>> out;
    for (auto& v : list()) {
        if (auto a = std::dynamic_pointer_cast<AlertView>(v)) out.push_back(a);
    }
    return out;
}

std::vector<std::shared_ptr<ActionSheet>> AlertRegistry::shownActionSheets() {
    std::vector<std::shared_ptr<ActionSheet>> out;
    for (auto& v : list()) {
        if (auto a = std::dynamic_pointer_cast<ActionSheet>(v)) out.push_back(a);
    }
    return out;
}

std::shared_ptr<View> AlertRegistry::topmost() { return list().empty() ? nullptr : list().back(); }

std::shared_ptr<AlertView> AlertRegistry::topAlert() {
    auto alerts = shownAlerts();
    return alerts.empty() ? nullptr : alerts.back();
}

std::shared_ptr<ActionSheet> AlertRegistry::topActionSheet() {
    auto sheets = shownActionSheets();
    return sheets.empty() ? nullptr : sheets.back();
}

std::string AlertRegistry::topmostTitle() {
    auto top = topmost();
    if (auto a = std::dynamic_pointer_cast<AlertView>(top)) return a->title();
    if (auto s = std::dynamic_pointer_cast<ActionSheet>(top)) return s->title();
    return {};
}

std::vector<std::string> AlertRegistry::topmostButtonTitles() {
    auto top = topmost();
    if (auto a = std::dynamic_pointer_cast<AlertView>(top)) return a->buttonTitles();
    if (auto s = std::dynamic_pointer_cast<ActionSheet>(top)) return s->buttonTitles();
    return {};
}

bool AlertRegistry::pressButtonAtIndex(int index) {
    auto top = topmost();
    if (auto a = std::dynamic_pointer_cast<AlertView>(top)) return a->pressButtonAtIndex(index);
    if (auto s = std::dynamic_pointer_cast<ActionSheet>(top)) return s->pressButtonAtIndex(index);
    return false;
}

bool AlertRegistry::pressButtonWithTitle(const std::string& title) {
    auto top = topmost();
    if (auto a = std::dynamic_pointer_cast<AlertView>(top)) return a->pressButtonWithTitle(title);
    if (auto s = std::dynamic_pointer_cast<ActionSheet>(top)) return s->pressButtonWithTitle(title);
    return false;
}

void AlertRegistry::add(const std::shared_ptr<View>& view) {
    auto& l = list();
    if (std::find(l.begin(), l.end(), view) == l.end()) l.push_back(view);
}

void AlertRegistry::remove(const View* view) {
    auto& l = list();
    auto it = std::find_if(l.begin(), l.end(), [view](const auto& v) { return v.get() == view; });
    if (it == l.end()) return;
    // Released after it left the list, in case this was the last owner.
    auto keep = *it;
    l.erase(it);
}

void AlertRegistry::reset() {
    auto old = std::move(list());
    list().clear();
}

}  // namespace clipora::platform
