#pragma once

#include <memory>
#include <vector>

#include "platform/foundation/EdgeInsets.h"
#include "platform/uikit/ScrollViewDelegate.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

// A view whose content is larger than itself. The content offset is the
// bounds' origin. Every change of the offset tells the delegate
// (scrollViewDidScroll). A finger drags with beginDragging / dragTo /
// endDragging (or drag() for a whole gesture): the offset may go past the
// edges while dragging, and on release it settles back into the range
// [-inset, content size + inset - bounds size], telling the delegate of each
// step.
class ScrollView : public View {
public:
    ScrollView();
    explicit ScrollView(Rect frame);

    Point contentOffset() const { return bounds().origin; }
    void setContentOffset(Point offset);
    // Scrolling animations end at once; an animated change also tells the
    // delegate that the scrolling animation ended, on the next turn of the
    // main run loop.
    void setContentOffsetAnimated(Point offset, bool animated);
    Size contentSize() const { return contentSize_; }
    void setContentSize(Size size) { contentSize_ = size; }
    EdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(EdgeInsets insets) { contentInset_ = insets; }
    EdgeInsets scrollIndicatorInsets() const { return scrollIndicatorInsets_; }
    void setScrollIndicatorInsets(EdgeInsets insets) { scrollIndicatorInsets_ = insets; }

    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
    bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool bounce) { alwaysBounceVertical_ = bounce; }
    bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool enabled) { pagingEnabled_ = enabled; }
    bool showsVerticalScrollIndicator() const { return showsVertical_; }
    void setShowsVerticalScrollIndicator(bool shows) { showsVertical_ = shows; }
    bool showsHorizontalScrollIndicator() const { return showsHorizontal_; }
    void setShowsHorizontalScrollIndicator(bool shows) { showsHorizontal_ = shows; }
    bool scrollsToTop() const { return scrollsToTop_; }
    void setScrollsToTop(bool scrolls) { scrollsToTop_ = scrolls; }
    // Counts the flashes (there is nothing to see).
    void flashScrollIndicators() { ++indicatorFlashes_; }
    int indicatorFlashCount() const { return indicatorFlashes_; }

    bool isDragging() const { return dragging_; }
    bool isTracking() const { return dragging_; }
    bool isDecelerating() const { return false; }

    std::shared_ptr<ScrollViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<ScrollViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // The nearest offset inside the scrollable range.
    Point clampedOffset(Point offset) const;
    // Scrolls the least needed to show the rectangle (content coordinates).
    void scrollRectToVisibleAnimated(Rect rect, bool animated);

    // --- The finger ---
    // False when scrolling is off.
    bool beginDragging();
    void dragTo(Point offset);
    // Releases the content, which then settles into the scrollable range.
    void endDragging();
    // A whole drag through these offsets.
    bool drag(const std::vector<Point>& offsets);
    // The status bar tap: scrolls to the top when the delegate allows.
    bool tapStatusBar();

    std::string className() const override { return "ScrollView"; }

protected:
    // Called after every change of the content offset, before the delegate.
    virtual void contentOffsetDidChange() {}
    std::shared_ptr<ScrollView> selfScrollView();

private:
    Size contentSize_;
    EdgeInsets contentInset_;
    EdgeInsets scrollIndicatorInsets_;
    bool scrollEnabled_ = true;
    bool bounces_ = true;
    bool alwaysBounceVertical_ = false;
    bool pagingEnabled_ = false;
    bool showsVertical_ = true;
    bool showsHorizontal_ = true;
    bool scrollsToTop_ = true;
    int indicatorFlashes_ = 0;
    bool dragging_ = false;
    std::weak_ptr<ScrollViewDelegate> delegate_;
};

}  // namespace clipora::platform
