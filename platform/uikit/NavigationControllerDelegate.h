#pragma once

#include <memory>

namespace clipora::platform {

class NavigationController;
class ViewController;

// Told before and after a navigation controller shows another controller.
class NavigationControllerDelegate {
public:
    virtual ~NavigationControllerDelegate() = default;
    virtual void navigationControllerWillShowViewControllerAnimated(const std::shared_ptr<NavigationController>&,
                                                                    const std::shared_ptr<ViewController>&, bool) {}
    virtual void navigationControllerDidShowViewControllerAnimated(const std::shared_ptr<NavigationController>&,
                                                                   const std::shared_ptr<ViewController>&, bool) {}
};

}  // namespace clipora::platform
