#include "app/QRBNavigationBar.h"

#include "platform/uikit/Image.h"

namespace clipora {

using namespace platform;

void QRBNavigationBar::drawRect(Rect rect) {
    NavigationBar::drawRect(rect);
    if (auto image = Image::imageNamed("top_bar.png")) {
        const Rect frame = this->frame();
        image->drawInRect(Rect(0, 0, frame.size.width, frame.size.height));
    }
}

}  // namespace clipora
