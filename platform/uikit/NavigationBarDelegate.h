#pragma once

#include <memory>

namespace clipora::platform {

class NavigationBar;
class NavigationItem;

// Told of a stand-alone navigation bar's pushes and pops; may refuse either.
class NavigationBarDelegate {
public:
    virtual ~NavigationBarDelegate() = default;
    virtual bool navigationBarShouldPushItem(const std::shared_ptr<NavigationBar>&,
                                             const std::shared_ptr<NavigationItem>&) {
        return true;
    }
    virtual void navigationBarDidPushItem(const std::shared_ptr<NavigationBar>&,
                                          const std::shared_ptr<NavigationItem>&) {}
    virtual bool navigationBarShouldPopItem(const std::shared_ptr<NavigationBar>&,
                                            const std::shared_ptr<NavigationItem>&) {
        return true;
    }
    virtual void navigationBarDidPopItem(const std::shared_ptr<NavigationBar>&,
                                         const std::shared_ptr<NavigationItem>&) {}
};

}  // namespace clipora::platform
