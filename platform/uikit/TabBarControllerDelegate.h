#pragma once

#include <memory>
#include <vector>

namespace clipora::platform {

class TabBarController;
class ViewController;

// Told about selections and the customizing of a tab-bar controller. The
// defaults are what the controller does when its delegate does not answer.
class TabBarControllerDelegate {
public:
    virtual ~TabBarControllerDelegate() = default;
    virtual bool tabBarControllerShouldSelectViewController(const std::shared_ptr<TabBarController>&,
                                                            const std::shared_ptr<ViewController>&) {
        return true;
    }
    virtual void tabBarControllerDidSelectViewController(const std::shared_ptr<TabBarController>&,
                                                         const std::shared_ptr<ViewController>&) {}
    virtual void tabBarControllerWillBeginCustomizingViewControllers(
        const std::shared_ptr<TabBarController>&, const std::vector<std::shared_ptr<ViewController>>&) {}
    virtual void tabBarControllerWillEndCustomizingViewControllersChanged(
        const std::shared_ptr<TabBarController>&, const std::vector<std::shared_ptr<ViewController>>&, bool) {}
    virtual void tabBarControllerDidEndCustomizingViewControllersChanged(
        const std::shared_ptr<TabBarController>&, const std::vector<std::shared_ptr<ViewController>>&, bool) {}
};

}  // namespace clipora::platform
