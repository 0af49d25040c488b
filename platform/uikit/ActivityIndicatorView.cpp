#include "platform/uikit/ActivityIndicatorView.h"

namespace clipora::platform {

ActivityIndicatorView::ActivityIndicatorView(Style style)
    : View(style == StyleWhiteLarge ? Rect{0, 0, 37, 37} : Rect{0, 0, 20, 20}), style_(style) {
    setHidden(true);
}

ActivityIndicatorView::ActivityIndicatorView(Rect frame) : View(frame), style_(StyleWhite) { setHidden(true); }

void ActivityIndicatorView::startAnimating() {
    animating_ = true;
    if (hidesWhenStopped_) setHidden(false);
}

void ActivityIndicatorView::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (!animating_) setHidden(hides);
}

Size ActivityIndicatorView::sizeThatFits(Size) const { return style_ == StyleWhiteLarge ? Size{37, 37} : Size{20, 20}; }

}  // namespace clipora::platform
