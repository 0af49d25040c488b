#include "platform/uikit/ScrollView.h"

#include <algorithm>

#include "platform/foundation/RunLoop.h"

namespace clipora::platform {

ScrollView::ScrollView() : ScrollView(Rect{}) {}

ScrollView::ScrollView(Rect frame) : View(frame) {}

std::shared_ptr<ScrollView> ScrollView::selfScrollView() {
    return std::static_pointer_cast<ScrollView>(shared_from_this());
}

void ScrollView::setContentOffset(Point offset) {
    auto self = selfScrollView();
    Rect b = bounds();
    b.origin = offset;
    setBounds(b);
    contentOffsetDidChange();
    if (auto d = delegate_.lock()) d->scrollViewDidScroll(self);
}

void ScrollView::setContentOffsetAnimated(Point offset, bool animated) {
    setContentOffset(offset);
    if (!animated) return;
    std::weak_ptr<Responder> weak = weak_from_this();
    RunLoop::main()->perform([weak] {
        auto self = std::static_pointer_cast<ScrollView>(weak.lock());
        if (!self) return;
        if (auto d = self->delegate_.lock()) d->scrollViewDidEndScrollingAnimation(self);
    });
}

Point ScrollView::clampedOffset(Point offset) const {
    Size size = bounds().size;
    float minX = -contentInset_.left;
    float maxX = std::max(minX, contentSize_.width + contentInset_.right - size.width);
    float minY = -contentInset_.top;
    float maxY = std::max(minY, contentSize_.height + contentInset_.bottom - size.height);
    return {std::clamp(offset.x, minX, maxX), std::clamp(offset.y, minY, maxY)};
}

void ScrollView::scrollRectToVisibleAnimated(Rect rect, bool animated) {
    Rect visible = bounds();
    Point offset = visible.origin;
    if (rect.minY() < visible.minY())
        offset.y = rect.minY();
    else if (rect.maxY() > visible.maxY())
        offset.y = rect.maxY() - visible.size.height;
    if (rect.minX() < visible.minX())
        offset.x = rect.minX();
    else if (rect.maxX() > visible.maxX())
        offset.x = rect.maxX() - visible.size.width;
    offset = clampedOffset(offset);
    if (!(offset == visible.origin)) setContentOffsetAnimated(offset, animated);
}

bool ScrollView::beginDragging() {
    if (!scrollEnabled_ || !isUserInteractionEnabled()) return false;
    auto self = selfScrollView();
    dragging_ = true;
    if (auto d = delegate_.lock()) d->scrollViewWillBeginDragging(self);
    return true;
}

void ScrollView::dragTo(Point offset) {
    if (!dragging_) return;
    setContentOffset(bounces_ ? offset : clampedOffset(offset));
}

void ScrollView::endDragging() {
    if (!dragging_) return;
    auto self = selfScrollView();
    dragging_ = false;
    if (auto d = delegate_.lock()) d->scrollViewDidEndDraggingWillDecelerate(self, false);
    // The delegate may have changed the insets; settle against the new range.
    Point settled = clampedOffset(contentOffset());
    if (!(settled == contentOffset())) setContentOffset(settled);
}

bool ScrollView::drag(const std::vector<Point>& offsets) {
    if (!beginDragging()) return false;
    for (const Point& p : offsets) dragTo(p);
    endDragging();
    return true;
}

bool ScrollView::tapStatusBar() {
    if (!scrollsToTop_) return false;
    auto self = selfScrollView();
    if (auto d = delegate_.lock(); d && !d->scrollViewShouldScrollToTop(self)) return false;
    setContentOffset({contentOffset().x, -contentInset_.top});
    if (auto d = delegate_.lock()) d->scrollViewDidScrollToTop(self);
    return true;
}

}  // namespace clipora::platform
