#pragma once

#include <memory>
#include <vector>

#include "platform/uikit/TabBarControllerDelegate.h"
#include "platform/uikit/ViewController.h"

namespace clipora::platform {

// A container that shows one of its controllers at a time, chosen by the
// user on its tab bar. Without pixels: `tapViewController` plays the user's
// tap (the delegate may refuse it), and the customizing sheet is played by
// `beginCustomizing` / `endCustomizing`.
class TabBarController : public ViewController {
public:
    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return viewControllers_; }
    // The first one becomes the selected one.
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers);
    std::shared_ptr<ViewController> selectedViewController() const { return selected_; }
    // Selection from code: the delegate is not asked or told.
    void setSelectedViewController(const std::shared_ptr<ViewController>& controller);

    std::shared_ptr<TabBarControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<TabBarControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    // The user's tap on a tab: answers whether the selection happened.
    bool tapViewController(const std::shared_ptr<ViewController>& controller);
    void beginCustomizing();
    void endCustomizing(bool changed);

private:
    std::shared_ptr<TabBarController> self();

    std::vector<std::shared_ptr<ViewController>> viewControllers_;
    std::shared_ptr<ViewController> selected_;
    std::weak_ptr<TabBarControllerDelegate> delegate_;
};

}  // namespace clipora::platform
