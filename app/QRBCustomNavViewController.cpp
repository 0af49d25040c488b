#include "app/QRBCustomNavViewController.h"

#include "platform/uikit/NavigationBar.h"

namespace clipora {

void QRBCustomNavViewController::themeChanged() { navigationBar()->setNeedsDisplay(); }

}  // namespace clipora
