#include "app/IKNavigationAppearance.h"

#include <vector>

#include "platform/uikit/Application.h"

namespace clipora {

using namespace platform;

namespace {

std::unique_ptr<std::vector<IKNavigationAppearanceSnapshot>>& snapshots() {
    static std::unique_ptr<std::vector<IKNavigationAppearanceSnapshot>> list;
    return list;
}

}  // namespace

void IKNavigationAppearance::pushAppearanceForNavigationController(
    const std::shared_ptr<NavigationController>& controller) {
    auto& list = snapshots();
    if (!list) list = std::make_unique<std::vector<IKNavigationAppearanceSnapshot>>();
    IKNavigationAppearanceSnapshot snapshot;
    snapshot.statusBarStyle = Application::sharedApplication()->statusBarStyle();
    if (controller) {
        auto bar = controller->navigationBar();
        snapshot.navBarStyle = bar->barStyle();
        snapshot.navBarTranslucent = bar->isTranslucent();
    }
    list->push_back(snapshot);
}

void IKNavigationAppearance::popAppearanceForNavigationControllerAnimated(
    const std::shared_ptr<NavigationController>& controller, bool animated) {
    auto& list = snapshots();
    if (!list || list->empty()) return;
    const IKNavigationAppearanceSnapshot snapshot = list->front();
    Application::sharedApplication()->setStatusBarStyleAnimated(
        static_cast<Application::StatusBarStyle>(snapshot.statusBarStyle), animated);
    if (controller) {
        auto bar = controller->navigationBar();
        bar->setBarStyle(static_cast<NavigationBar::BarStyle>(snapshot.navBarStyle));
        bar->setTranslucent(snapshot.navBarTranslucent);
    }
    list->erase(list->begin());
    if (list->empty()) list.reset();
}

std::size_t IKNavigationAppearance::count() { return snapshots() ? snapshots()->size() : 0; }

void IKNavigationAppearance::clear() { snapshots().reset(); }

}  // namespace clipora
