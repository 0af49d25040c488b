#pragma once

#include <memory>
#include <vector>

#include "platform/uikit/NavigationControllerDelegate.h"
#include "platform/uikit/TabBarControllerDelegate.h"

namespace clipora::platform {
class ViewController;
}

namespace clipora {

class TallySession;

// Put in front of a navigation or tab-bar controller's delegate: counts a
// page view in the session current at installation whenever a controller
// is shown or selected, and passes every message on to the delegate the
// controller had. An installed proxy lives until the process ends.
class TallyPageViewDelegate : public platform::NavigationControllerDelegate, public platform::TabBarControllerDelegate {
public:
    // Installs a proxy on a navigation or tab-bar controller; null for any
    // other object.
    static std::shared_ptr<TallyPageViewDelegate> createDelegateOnTarget(
        const std::shared_ptr<platform::ViewController>& controller);
    static std::shared_ptr<TallyPageViewDelegate> initWithSessionDelegate(
        std::shared_ptr<TallySession> session,
        std::shared_ptr<platform::NavigationControllerDelegate> navigationDelegate,
        std::shared_ptr<platform::TabBarControllerDelegate> tabBarDelegate);
    // Forgets every installed proxy (tests).
    static void reset();

    const std::shared_ptr<TallySession>& session() const { return session_; }

    void navigationControllerDidShowViewControllerAnimated(
        const std::shared_ptr<platform::NavigationController>& controller,
        const std::shared_ptr<platform::ViewController>& shown, bool animated) override;
    void navigationControllerWillShowViewControllerAnimated(
        const std::shared_ptr<platform::NavigationController>& controller,
        const std::shared_ptr<platform::ViewController>& shown, bool animated) override;
    bool tabBarControllerShouldSelectViewController(const std::shared_ptr<platform::TabBarController>& controller,
                                                    const std::shared_ptr<platform::ViewController>& selected) override;
    void tabBarControllerDidSelectViewController(const std::shared_ptr<platform::TabBarController>& controller,
                                                 const std::shared_ptr<platform::ViewController>& selected) override;
    void tabBarControllerWillBeginCustomizingViewControllers(
        const std::shared_ptr<platform::TabBarController>& controller,
        const std::vector<std::shared_ptr<platform::ViewController>>& controllers) override;
    void tabBarControllerWillEndCustomizingViewControllersChanged(
        const std::shared_ptr<platform::TabBarController>& controller,
        const std::vector<std::shared_ptr<platform::ViewController>>& controllers, bool changed) override;
    void tabBarControllerDidEndCustomizingViewControllersChanged(
        const std::shared_ptr<platform::TabBarController>& controller,
        const std::vector<std::shared_ptr<platform::ViewController>>& controllers, bool changed) override;

private:
    void count();

    std::shared_ptr<TallySession> session_;
    std::shared_ptr<platform::NavigationControllerDelegate> navigationDelegate_;
    std::shared_ptr<platform::TabBarControllerDelegate> tabBarDelegate_;
};

}  // namespace clipora
