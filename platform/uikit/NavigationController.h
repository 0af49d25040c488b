#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationControllerDelegate.h"
#include "platform/uikit/Toolbar.h"
#include "platform/uikit/ViewController.h"

namespace clipora::platform {

// A stack of controllers under a navigation bar (and an optional toolbar);
// the top one is on screen. While the navigation controller is on screen a
// push or pop runs, in order: the new controller's view loads (when needed),
// the delegate's will-show, the old controller's will-disappear, the new one's
// will-appear, the views swap, the old one's did-disappear, the new one's
// did-appear, the delegate's did-show.
class NavigationController : public ViewController {
public:
    // Makes the navigation bar when it is first needed (used once).
    using NavigationBarFactory = std::function<std::shared_ptr<NavigationBar>()>;

    NavigationController();
    // A controller whose bar is made by `makeBar` (e.g. a NavigationBar
    // subclass) instead of a plain NavigationBar; a null factory or a null
    // result falls back to the plain bar.
    explicit NavigationController(NavigationBarFactory makeBar);

    // Makes `root` the only controller (call right after make_shared).
    void initWithRootViewController(const std::shared_ptr<ViewController>& root);

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return stack_; }
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers) {
        setViewControllersAnimated(std::move(controllers), false);
    }
    void setViewControllersAnimated(std::vector<std::shared_ptr<ViewController>> controllers, bool animated);
    std::shared_ptr<ViewController> topViewController() const { return stack_.empty() ? nullptr : stack_.back(); }
    // What this controller or the top one presents, else the top controller.
    std::shared_ptr<ViewController> visibleViewController() const;

    // Pushing a controller that is already in a container or presented is a
    // programming error (InvalidArgumentException).
    void pushViewControllerAnimated(const std::shared_ptr<ViewController>& controller, bool animated);
    // Null when only the root is left.
    std::shared_ptr<ViewController> popViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToRootViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToViewControllerAnimated(
        const std::shared_ptr<ViewController>& controller, bool animated);

    std::shared_ptr<NavigationControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<NavigationControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    std::shared_ptr<NavigationBar> navigationBar();
    bool isNavigationBarHidden() const { return navigationBarHidden_; }
    void setNavigationBarHidden(bool hidden) { setNavigationBarHiddenAnimated(hidden, false); }
    void setNavigationBarHiddenAnimated(bool hidden, bool animated);
    // Shows the top controller's toolbar items; hidden by default.
    std::shared_ptr<Toolbar> toolbar();
    bool isToolbarHidden() const { return toolbarHidden_; }
    void setToolbarHidden(bool hidden) { setToolbarHiddenAnimated(hidden, false); }
    void setToolbarHiddenAnimated(bool hidden, bool animated);

    void loadView() override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;
    std::vector<std::shared_ptr<ViewController>> childViewControllers() const override { return stack_; }
    std::shared_ptr<ViewController> childOnScreen() const override { return topViewController(); }

    // Brings the bar and toolbar in step with the stack and puts the top
    // controller's view in place.
    void updateBarsAndContent();

private:
    std::shared_ptr<NavigationController> self();
    bool isOnScreen() const;
    // Moves from `from` (no longer on top) to the current top controller.
    void transition(const std::shared_ptr<ViewController>& from, bool animated);
    void adopt(const std::shared_ptr<ViewController>& controller);

    std::vector<std::shared_ptr<ViewController>> stack_;
    std::weak_ptr<NavigationControllerDelegate> delegate_;
    NavigationBarFactory makeNavigationBar_;
    std::shared_ptr<NavigationBar> navigationBar_;
    std::shared_ptr<Toolbar> toolbar_;
    std::shared_ptr<View> shownView_;
    bool navigationBarHidden_ = false;
    bool toolbarHidden_ = true;
};

}  // namespace clipora::platform
