#include "platform/uikit/View.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/foundation/RunLoop.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/Window.h"

namespace clipora::platform {

namespace {

// Settings of one begin/commit animation block.
struct AnimationContext {
    std::string id;
    double duration = 0.2;
    double delay = 0;
    std::function<void(const std::string&, bool)> didStop;
};

// Interface objects live on the main thread; so does this state.
struct AnimationState {
    std::vector<AnimationContext> contexts;
    int blockDepth = 0;
    bool enabled = true;
};

AnimationState& animationState() {
    static AnimationState state;
    return state;
}

void runAfter(double seconds, std::function<void()> task) {
    RunLoop::main()->performAfterDelay(std::max(0.0, seconds), std::move(task), nullptr, {}, {RunLoop::commonModes});
}

// Share of `delta` for each flexible part, in proportion to the parts' sizes
// (evenly when they add up to nothing).
void distribute(float delta, float* parts[3], const bool flexible[3]) {
    float sum = 0;
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        if (!flexible[i]) continue;
        sum += *parts[i];
        ++count;
    }
    if (count == 0) return;
    for (int i = 0; i < 3; ++i) {
        if (!flexible[i]) continue;
        *parts[i] += sum > 0 ? delta * (*parts[i] / sum) : delta / static_cast<float>(count);
    }
}

}  // namespace

View::View() : layer_(std::make_shared<Layer>()) {}

View::View(Rect frame) : View() {
    Rect f = frame.standardized();
    bounds_ = {0, 0, f.size.width, f.size.height};
    center_ = {f.origin.x + f.size.width / 2, f.origin.y + f.size.height / 2};
    layer_->setFrame(f);
}

View::~View() = default;

// --- Geometry ---

Rect View::frame() const {
    Rect local{-bounds_.size.width / 2, -bounds_.size.height / 2, bounds_.size.width, bounds_.size.height};
    const AffineTransform& t = layer_->affineTransform();
    if (!t.isIdentity()) local = t.apply(local);
    return local.offsetBy(center_.x, center_.y);
}

void View::setFrame(Rect frame) {
    Rect f = frame.standardized();
    Size old = bounds_.size;
    center_ = {f.origin.x + f.size.width / 2, f.origin.y + f.size.height / 2};
    bounds_.size = f.size;
    layer_->setFrame(this->frame());
    if (!(old == bounds_.size)) boundsSizeDidChange(old);
}

void View::setBounds(Rect bounds) {
    Size old = bounds_.size;
    bounds_ = bounds;
    layer_->setFrame(frame());
    if (!(old == bounds_.size)) boundsSizeDidChange(old);
}

void View::setCenter(Point center) {
    center_ = center;
    layer_->setFrame(frame());
}

void View::setTransform(const AffineTransform& transform) {
    layer_->setAffineTransform(transform);
    layer_->setFrame(frame());
}

void View::boundsSizeDidChange(Size oldSize) {
    resizeSubviews(oldSize);
    setNeedsLayout();
    if (contentMode_ == ContentModeRedraw) setNeedsDisplay();
}

void View::resizeSubviews(Size oldSize) {
    if (!autoresizesSubviews_) return;
    auto children = subviews_;
    for (auto& child : children) child->autoresizeInSuperview(oldSize, bounds_.size);
}

void View::autoresizeInSuperview(Size oldSize, Size newSize) {
    if (autoresizingMask_ == AutoresizingNone) return;
    Rect f = frame();
    float left = f.origin.x, width = f.size.width, right = oldSize.width - f.maxX();
    float top = f.origin.y, height = f.size.height, bottom = oldSize.height - f.maxY();
    float* horizontal[3] = {&left, &width, &right};
    const bool hFlex[3] = {(autoresizingMask_ & AutoresizingFlexibleLeftMargin) != 0,
                           (autoresizingMask_ & AutoresizingFlexibleWidth) != 0,
                           (autoresizingMask_ & AutoresizingFlexibleRightMargin) != 0};
    float* vertical[3] = {&top, &height, &bottom};
    const bool vFlex[3] = {(autoresizingMask_ & AutoresizingFlexibleTopMargin) != 0,
                           (autoresizingMask_ & AutoresizingFlexibleHeight) != 0,
                           (autoresizingMask_ & AutoresizingFlexibleBottomMargin) != 0};
    distribute(newSize.width - oldSize.width, horizontal, hFlex);
    distribute(newSize.height - oldSize.height, vertical, vFlex);
    setFrame({left, top, std::max(0.0f, width), std::max(0.0f, height)});
}

Point View::toSuperview(Point p) const {
    Point local{p.x - (bounds_.origin.x + bounds_.size.width / 2), p.y - (bounds_.origin.y + bounds_.size.height / 2)};
    Point moved = layer_->affineTransform().apply(local);
    return {moved.x + center_.x, moved.y + center_.y};
}

Point View::fromSuperview(Point p) const {
    Point local{p.x - center_.x, p.y - center_.y};
    if (auto inverse = layer_->affineTransform().inverted()) local = inverse->apply(local);
    return {local.x + bounds_.origin.x + bounds_.size.width / 2, local.y + bounds_.origin.y + bounds_.size.height / 2};
}

std::shared_ptr<const View> View::rootView() const {
    auto self = std::static_pointer_cast<const View>(shared_from_this());
    while (auto up = self->superview()) self = up;
    return self;
}

Point View::toRoot(Point p) const {
    const View* v = this;
    std::shared_ptr<View> up;
    while ((up = v->superview())) {
        p = v->toSuperview(p);
        v = up.get();
    }
    return p;
}

Point View::fromRoot(Point p) const {
    std::vector<const View*> chain;
    for (const View* v = this; v; v = v->superview_.lock().get()) chain.push_back(v);
    // chain.back() is the root itself: its coordinates are the root's.
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) p = (*it)->fromSuperview(p);
    return p;
}

Point View::convertPointToView(Point point, const std::shared_ptr<const View>& view) const {
    Point inRoot = toRoot(point);
    return view ? view->fromRoot(inRoot) : inRoot;
}

Point View::convertPointFromView(Point point, const std::shared_ptr<const View>& view) const {
    Point inRoot = view ? view->toRoot(point) : point;
    return fromRoot(inRoot);
}

Rect View::convertRectToView(Rect rect, const std::shared_ptr<const View>& view) const {
    Rect r = rect.standardized();
    Point a = convertPointToView({r.minX(), r.minY()}, view);
    Point b = convertPointToView({r.maxX(), r.maxY()}, view);
    Point c = convertPointToView({r.maxX(), r.minY()}, view);
    Point d = convertPointToView({r.minX(), r.maxY()}, view);
    float x0 = std::min({a.x, b.x, c.x, d.x}), x1 = std::max({a.x, b.x, c.x, d.x});
    float y0 = std::min({a.y, b.y, c.y, d.y}), y1 = std::max({a.y, b.y, c.y, d.y});
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect View::convertRectFromView(Rect rect, const std::shared_ptr<const View>& view) const {
    Rect r = rect.standardized();
    Point a = convertPointFromView({r.minX(), r.minY()}, view);
    Point b = convertPointFromView({r.maxX(), r.maxY()}, view);
    Point c = convertPointFromView({r.maxX(), r.minY()}, view);
    Point d = convertPointFromView({r.minX(), r.maxY()}, view);
    float x0 = std::min({a.x, b.x, c.x, d.x}), x1 = std::max({a.x, b.x, c.x, d.x});
    float y0 = std::min({a.y, b.y, c.y, d.y}), y1 = std::max({a.y, b.y, c.y, d.y});
    return {x0, y0, x1 - x0, y1 - y0};
}

bool View::pointInside(Point point) const { return bounds_.contains(point); }

std::shared_ptr<View> View::hitTest(Point point) {
    if (hidden_ || !userInteractionEnabled_ || alpha_ < 0.01f) return nullptr;
    if (!pointInside(point)) return nullptr;
    auto children = subviews_;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (auto hit = (*it)->hitTest((*it)->fromSuperview(point))) return hit;
    }
    return std::static_pointer_cast<View>(shared_from_this());
}

// --- Appearance ---

void View::setAlpha(float alpha) {
    alpha_ = std::clamp(alpha, 0.0f, 1.0f);
    layer_->setOpacity(alpha_);
}

void View::setHidden(bool hidden) {
    hidden_ = hidden;
    layer_->setHidden(hidden);
}

void View::setBackgroundColor(std::optional<Color> color) {
    backgroundColor_ = color;
    layer_->setBackgroundColor(std::move(color));
}

bool View::isEffectivelyHidden() const {
    for (const View* v = this; v; v = v->superview_.lock().get()) {
        if (v->hidden_ || v->alpha_ <= 0) return true;
    }
    return false;
}

// --- Identity ---

std::shared_ptr<View> View::viewWithTag(int tag) {
    if (tag_ == tag) return std::static_pointer_cast<View>(shared_from_this());
    for (auto& child : subviews_) {
        if (auto found = child->viewWithTag(tag)) return found;
    }
    return nullptr;
}

// --- Hierarchy ---

std::shared_ptr<Window> View::window() const {
    auto root = rootView();
    return std::dynamic_pointer_cast<Window>(std::const_pointer_cast<View>(root));
}

void View::addSubview(const std::shared_ptr<View>& view) { insertSubview(view, subviews_.size()); }

void View::insertSubviewAtIndex(const std::shared_ptr<View>& view, std::size_t index) { insertSubview(view, index); }

void View::insertSubviewBelowSubview(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    insertSubview(view, it == subviews_.end() ? subviews_.size() : static_cast<std::size_t>(it - subviews_.begin()));
}

void View::insertSubviewAboveSubview(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    insertSubview(view,
                  it == subviews_.end() ? subviews_.size() : static_cast<std::size_t>(it - subviews_.begin()) + 1);
}

void View::insertSubview(const std::shared_ptr<View>& view, std::size_t index) {
    if (!view || view.get() == this) return;
    // A view cannot hold one of its own ancestors.
    for (auto up = superview(); up; up = up->superview()) {
        if (up == view) return;
    }
    auto self = std::static_pointer_cast<View>(shared_from_this());
    auto keep = view;
    auto oldWindow = view->window();
    auto newWindow = window();
    if (view->superview() == self) {
        // Reordering within the same superview.
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        std::size_t at = static_cast<std::size_t>(it - subviews_.begin());
        subviews_.erase(it);
        if (index > at) --index;
        subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(std::min(index, subviews_.size())), view);
        return;
    }
    view->willMoveToSuperview(self);
    view->detachFromSuperview();
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(std::min(index, subviews_.size())), view);
    view->superview_ = self;
    if (oldWindow != newWindow) view->moveToWindow(oldWindow, newWindow);
    view->didMoveToSuperview();
    didAddSubview(view);
    view->setNeedsLayout();
    setNeedsLayout();
}

void View::detachFromSuperview() {
    auto parent = superview();
    if (!parent) return;
    auto keep = std::static_pointer_cast<View>(shared_from_this());
    parent->willRemoveSubview(keep);
    auto& list = parent->subviews_;
    list.erase(std::remove(list.begin(), list.end(), keep), list.end());
    superview_.reset();
    parent->setNeedsLayout();
}

void View::removeFromSuperview() {
    auto parent = superview();
    if (!parent) return;
    auto keep = std::static_pointer_cast<View>(shared_from_this());
    auto oldWindow = window();
    willMoveToSuperview(nullptr);
    detachFromSuperview();
    if (oldWindow) moveToWindow(oldWindow, nullptr);
    didMoveToSuperview();
}

void View::moveToWindow(const std::shared_ptr<Window>& oldWindow, const std::shared_ptr<Window>& newWindow) {
    (void)oldWindow;
    willMoveToWindow(newWindow);
    if (!newWindow && isFirstResponder()) resignFirstResponder();
    auto children = subviews_;
    for (auto& child : children) child->moveToWindow(oldWindow, newWindow);
    didMoveToWindow();
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    subviews_.erase(it);
    subviews_.push_back(view);
}

void View::sendSubviewToBack(const std::shared_ptr<View>& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    subviews_.erase(it);
    subviews_.insert(subviews_.begin(), view);
}

void View::exchangeSubviewAtIndexWithSubviewAtIndex(std::size_t first, std::size_t second) {
    if (first >= subviews_.size() || second >= subviews_.size()) return;
    std::swap(subviews_[first], subviews_[second]);
}

bool View::isDescendantOfView(const std::shared_ptr<const View>& view) const {
    if (!view) return false;
    for (const View* v = this; v; v = v->superview_.lock().get()) {
        if (v == view.get()) return true;
    }
    return false;
}

// --- Layout ---

Size View::sizeThatFits(Size) const { return bounds_.size; }

void View::sizeToFit() {
    Rect f = frame();
    f.size = sizeThatFits(bounds_.size);
    setFrame(f);
}

void View::setNeedsLayout() {
    if (needsLayout_) return;
    needsLayout_ = true;
    std::weak_ptr<Responder> weak = weak_from_this();
    if (weak.expired()) return;  // not shared yet: laid out on first layoutIfNeeded
    RunLoop::main()->perform([weak] {
        if (auto self = std::static_pointer_cast<View>(weak.lock())) self->layoutIfNeeded();
    });
}

void View::layoutIfNeeded() {
    auto keep = shared_from_this();
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
    }
    auto children = subviews_;
    for (auto& child : children) child->layoutIfNeeded();
}

// --- Drawing ---

void View::setNeedsDisplay() {
    needsDisplay_ = true;
    dirtyRect_ = {0, 0, bounds_.size.width, bounds_.size.height};
}

void View::setNeedsDisplayInRect(Rect rect) {
    dirtyRect_ = needsDisplay_ ? dirtyRect_.unionWith(rect) : rect;
    needsDisplay_ = true;
}

void View::displayIfNeeded() {
    if (!needsDisplay_) return;
    needsDisplay_ = false;
    drawRect(dirtyRect_);
}

void View::drawRect(Rect) {}

// --- Hooks ---

void View::willMoveToSuperview(const std::shared_ptr<View>&) {}
void View::willMoveToWindow(const std::shared_ptr<Window>&) {}
void View::didAddSubview(const std::shared_ptr<View>&) {}
void View::willRemoveSubview(const std::shared_ptr<View>&) {}

std::shared_ptr<Responder> View::nextResponder() const {
    if (auto controller = viewController_.lock()) return controller;
    return superview();
}

std::string View::description() const {
    return "<" + className() + ": frame = " + frame().description() + "; tag = " + std::to_string(tag_) + ">";
}

// --- Animations ---

void View::animateWithDurationAnimations(double duration, const std::function<void()>& animations) {
    animateWithDurationDelayOptionsAnimationsCompletion(duration, 0, 0, animations, nullptr);
}

void View::animateWithDurationAnimationsCompletion(double duration, const std::function<void()>& animations,
                                                   std::function<void(bool)> completion) {
    animateWithDurationDelayOptionsAnimationsCompletion(duration, 0, 0, animations, std::move(completion));
}

void View::animateWithDurationDelayOptionsAnimationsCompletion(double duration, double delay, unsigned options,
                                                               const std::function<void()>& animations,
                                                               std::function<void(bool)> completion) {
    auto& state = animationState();
    ++state.blockDepth;
    if (animations) animations();
    --state.blockDepth;
    (void)options;
    if (!completion) return;
    double total = state.enabled ? delay + duration : 0;
    runAfter(total, [completion = std::move(completion)] { completion(true); });
}

void View::beginAnimations(std::string animationID) {
    auto& state = animationState();
    AnimationContext context;
    context.id = std::move(animationID);
    state.contexts.push_back(std::move(context));
    ++state.blockDepth;
}

void View::setAnimationDuration(double duration) {
    auto& state = animationState();
    if (!state.contexts.empty()) state.contexts.back().duration = duration;
}

void View::setAnimationDelay(double delay) {
    auto& state = animationState();
    if (!state.contexts.empty()) state.contexts.back().delay = delay;
}

void View::setAnimationCurve(AnimationCurve) {}

void View::setAnimationDidStopHandler(std::function<void(const std::string&, bool)> handler) {
    auto& state = animationState();
    if (!state.contexts.empty()) state.contexts.back().didStop = std::move(handler);
}

void View::commitAnimations() {
    auto& state = animationState();
    if (state.contexts.empty()) return;
    AnimationContext context = std::move(state.contexts.back());
    state.contexts.pop_back();
    --state.blockDepth;
    if (!context.didStop) return;
    double total = state.enabled ? context.delay + context.duration : 0;
    runAfter(total, [context = std::move(context)] { context.didStop(context.id, true); });
}

void View::setAnimationsEnabled(bool enabled) { animationState().enabled = enabled; }

bool View::areAnimationsEnabled() { return animationState().enabled; }

bool View::isInsideAnimationBlock() { return animationState().blockDepth > 0; }

}  // namespace clipora::platform
