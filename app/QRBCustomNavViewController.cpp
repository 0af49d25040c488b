#include "app/QRBCustomNavViewController.h"

#include <memory>

#include "app/QRBNavigationBar.h"
#include "platform/uikit/NavigationBar.h"

namespace clipora {

QRBCustomNavViewController::QRBCustomNavViewController()
    : NavigationController([] { return std::make_shared<QRBNavigationBar>(); }) {}

void QRBCustomNavViewController::themeChanged() { navigationBar()->setNeedsDisplay(); }

}  // namespace clipora
