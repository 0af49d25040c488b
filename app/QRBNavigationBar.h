#pragma once

#include <string>

#include "platform/foundation/Rect.h"
#include "platform/uikit/NavigationBar.h"

namespace clipora {

// A navigation bar that paints "top_bar.png" over its whole frame.
class QRBNavigationBar : public platform::NavigationBar {
public:
    QRBNavigationBar() = default;
    explicit QRBNavigationBar(platform::Rect frame) : NavigationBar(frame) {}

    void drawRect(platform::Rect rect) override;
    std::string className() const override { return "QRBNavigationBar"; }
};

}  // namespace clipora
