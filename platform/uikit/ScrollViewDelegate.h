#pragma once

#include <memory>

namespace clipora::platform {

class ScrollView;

// Told as a scroll view scrolls and as a finger drags it. Every operation is
// optional.
class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(const std::shared_ptr<ScrollView>&) {}
    virtual void scrollViewWillBeginDragging(const std::shared_ptr<ScrollView>&) {}
    virtual void scrollViewDidEndDraggingWillDecelerate(const std::shared_ptr<ScrollView>&, bool) {}
    virtual void scrollViewWillBeginDecelerating(const std::shared_ptr<ScrollView>&) {}
    virtual void scrollViewDidEndDecelerating(const std::shared_ptr<ScrollView>&) {}
    virtual void scrollViewDidEndScrollingAnimation(const std::shared_ptr<ScrollView>&) {}
    virtual bool scrollViewShouldScrollToTop(const std::shared_ptr<ScrollView>&) { return true; }
    virtual void scrollViewDidScrollToTop(const std::shared_ptr<ScrollView>&) {}
};

}  // namespace clipora::platform
