#include "platform/uikit/TabBarController.h"

#include <algorithm>

namespace clipora::platform {

void TabBarController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers) {
    viewControllers_ = std::move(controllers);
    selected_ = viewControllers_.empty() ? nullptr : viewControllers_.front();
}

void TabBarController::setSelectedViewController(const std::shared_ptr<ViewController>& controller) {
    if (std::find(viewControllers_.begin(), viewControllers_.end(), controller) != viewControllers_.end())
        selected_ = controller;
}

bool TabBarController::tapViewController(const std::shared_ptr<ViewController>& controller) {
    if (std::find(viewControllers_.begin(), viewControllers_.end(), controller) == viewControllers_.end()) return false;
    auto keep = self();
    if (auto delegate = this->delegate();
        delegate && !delegate->tabBarControllerShouldSelectViewController(keep, controller))
        return false;
    selected_ = controller;
    if (auto delegate = this->delegate()) delegate->tabBarControllerDidSelectViewController(keep, controller);
    return true;
}

void TabBarController::beginCustomizing() {
    if (auto delegate = this->delegate())
        delegate->tabBarControllerWillBeginCustomizingViewControllers(self(), viewControllers_);
}

void TabBarController::endCustomizing(bool changed) {
    auto keep = self();
    if (auto delegate = this->delegate())
        delegate->tabBarControllerWillEndCustomizingViewControllersChanged(keep, viewControllers_, changed);
    if (auto delegate = this->delegate())
        delegate->tabBarControllerDidEndCustomizingViewControllersChanged(keep, viewControllers_, changed);
}

std::shared_ptr<TabBarController> TabBarController::self() {
    return std::static_pointer_cast<TabBarController>(shared_from_this());
}

}  // namespace clipora::platform
