#pragma once

#include "platform/uikit/NavigationController.h"

namespace clipora {

// The navigation controller that wraps modal screens (the settings screen),
// under the application's painted QRBNavigationBar.
// Make it with std::make_shared, then initWithRootViewController(root).
class QRBCustomNavViewController : public platform::NavigationController {
public:
    QRBCustomNavViewController();

    // Asks the bar to repaint.
    void themeChanged();
};

}  // namespace clipora
