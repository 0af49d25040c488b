#pragma once

#include <cstddef>
#include <memory>

#include "app/IKNavigationAppearanceSnapshot.h"
#include "platform/uikit/NavigationController.h"

namespace clipora {

// A process-wide list of appearance snapshots: a screen that changes the
// bars pushes the look it found and pops it when it leaves. Popping restores
// the oldest snapshot first. Main thread.
class IKNavigationAppearance {
public:
    IKNavigationAppearance() = delete;

    static void pushAppearanceForNavigationController(
        const std::shared_ptr<platform::NavigationController>& controller);
    static void popAppearanceForNavigationControllerAnimated(
        const std::shared_ptr<platform::NavigationController>& controller, bool animated);
    static std::size_t count();
    static void clear();
};

}  // namespace clipora
