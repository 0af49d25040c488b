#pragma once

#include <cstdint>

namespace clipora {

// The look of the status bar and a navigation bar at one moment.
struct IKNavigationAppearanceSnapshot {
    bool navBarTranslucent = false;
    std::int32_t navBarStyle = 0;
    std::int32_t statusBarStyle = 0;
};

}  // namespace clipora
