#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Point.h"
#include "platform/foundation/Rect.h"
#include "platform/foundation/Size.h"
#include "platform/uikit/AffineTransform.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/Responder.h"

namespace clipora::platform {

class ViewController;
class Window;

// A rectangle of the interface with subviews. Geometry is kept as on the
// device: a centre, bounds (origin and size) and a transform about the centre;
// the frame is derived from them. There are no pixels: drawing happens only
// through the drawRect hook when someone calls displayIfNeeded().
//
// Animations follow the platform's model: the animation block runs at once, so
// every property takes its target value when the animation starts; the
// completion runs on the main run loop after the delay plus the duration (by
// the process clock), with finished = true.
class View : public Responder {
public:
    enum AutoresizingMask : unsigned {
        AutoresizingNone = 0,
        AutoresizingFlexibleLeftMargin = 1 << 0,
        AutoresizingFlexibleWidth = 1 << 1,
        AutoresizingFlexibleRightMargin = 1 << 2,
        AutoresizingFlexibleTopMargin = 1 << 3,
        AutoresizingFlexibleHeight = 1 << 4,
        AutoresizingFlexibleBottomMargin = 1 << 5,
    };

    enum ContentMode : int {
        ContentModeScaleToFill = 0,
        ContentModeScaleAspectFit = 1,
        ContentModeScaleAspectFill = 2,
        ContentModeRedraw = 3,
        ContentModeCenter = 4,
        ContentModeTop = 5,
        ContentModeBottom = 6,
        ContentModeLeft = 7,
        ContentModeRight = 8,
        ContentModeTopLeft = 9,
        ContentModeTopRight = 10,
        ContentModeBottomLeft = 11,
        ContentModeBottomRight = 12,
    };

    enum AnimationOptions : unsigned {
        AnimationOptionLayoutSubviews = 1 << 0,
        AnimationOptionAllowUserInteraction = 1 << 1,
        AnimationOptionBeginFromCurrentState = 1 << 2,
        AnimationOptionRepeat = 1 << 3,
        AnimationOptionAutoreverse = 1 << 4,
        AnimationOptionCurveEaseInOut = 0 << 16,
        AnimationOptionCurveEaseIn = 1 << 16,
        AnimationOptionCurveEaseOut = 2 << 16,
        AnimationOptionCurveLinear = 3 << 16,
    };

    enum AnimationCurve : int {
        AnimationCurveEaseInOut = 0,
        AnimationCurveEaseIn = 1,
        AnimationCurveEaseOut = 2,
        AnimationCurveLinear = 3,
    };

    View();
    explicit View(Rect frame);
    ~View() override;

    // --- Geometry ---
    Rect frame() const;
    void setFrame(Rect frame);
    Rect bounds() const { return bounds_; }
    void setBounds(Rect bounds);
    Point center() const { return center_; }
    void setCenter(Point center);
    AffineTransform transform() const { return layer_->affineTransform(); }
    void setTransform(const AffineTransform& transform);

    // Converts between this view's coordinates and another view's (null: the
    // window's, or the topmost ancestor's when there is no window).
    Point convertPointToView(Point point, const std::shared_ptr<const View>& view) const;
    Point convertPointFromView(Point point, const std::shared_ptr<const View>& view) const;
    Rect convertRectToView(Rect rect, const std::shared_ptr<const View>& view) const;
    Rect convertRectFromView(Rect rect, const std::shared_ptr<const View>& view) const;

    // The deepest visible, interactive subview containing the point (in this
    // view's coordinates), this view itself, or null.
    virtual std::shared_ptr<View> hitTest(Point point);
    virtual bool pointInside(Point point) const;

    // --- Appearance ---
    float alpha() const { return alpha_; }
    void setAlpha(float alpha);
    bool isHidden() const { return hidden_; }
    virtual void setHidden(bool hidden);
    const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
    virtual void setBackgroundColor(std::optional<Color> color);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    bool clipsToBounds() const { return layer_->masksToBounds(); }
    void setClipsToBounds(bool clips) { layer_->setMasksToBounds(clips); }
    ContentMode contentMode() const { return contentMode_; }
    void setContentMode(ContentMode mode) { contentMode_ = mode; }
    const std::shared_ptr<Layer>& layer() const { return layer_; }
    // Hidden, fully transparent, or inside such a view.
    bool isEffectivelyHidden() const;

    // --- Identity and interaction ---
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    // This view or the first descendant (depth first, in subview order) with the tag.
    std::shared_ptr<View> viewWithTag(int tag);
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }

    // --- Hierarchy ---
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    std::shared_ptr<View> superview() const { return superview_.lock(); }
    // The window this view is in, if any.
    virtual std::shared_ptr<Window> window() const;
    void addSubview(const std::shared_ptr<View>& view);
    void insertSubviewAtIndex(const std::shared_ptr<View>& view, std::size_t index);
    void insertSubviewBelowSubview(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void insertSubviewAboveSubview(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void removeFromSuperview();
    void bringSubviewToFront(const std::shared_ptr<View>& view);
    void sendSubviewToBack(const std::shared_ptr<View>& view);
    void exchangeSubviewAtIndexWithSubviewAtIndex(std::size_t first, std::size_t second);
    bool isDescendantOfView(const std::shared_ptr<const View>& view) const;
    // The controller whose view this is, if any.
    std::shared_ptr<ViewController> viewController() const { return viewController_.lock(); }

    // --- Resizing and layout ---
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool resizes) { autoresizesSubviews_ = resizes; }
    // The size the view would like within `size`; its current size by default.
    virtual Size sizeThatFits(Size size) const;
    void sizeToFit();
    // Marks the view for layout; layoutSubviews runs at the next turn of the
    // main run loop, or at once through layoutIfNeeded().
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    // Lays out this view (when marked) and then its subviews.
    void layoutIfNeeded();
    virtual void layoutSubviews() {}

    // --- Drawing ---
    void setNeedsDisplay();
    void setNeedsDisplayInRect(Rect rect);
    bool needsDisplay() const { return needsDisplay_; }
    // Calls drawRect with the union of the marked areas when the view is
    // marked, then clears the mark.
    void displayIfNeeded();
    virtual void drawRect(Rect rect);

    // --- Hooks ---
    virtual void willMoveToSuperview(const std::shared_ptr<View>& newSuperview);
    virtual void didMoveToSuperview() {}
    virtual void willMoveToWindow(const std::shared_ptr<Window>& newWindow);
    virtual void didMoveToWindow() {}
    virtual void didAddSubview(const std::shared_ptr<View>& subview);
    virtual void willRemoveSubview(const std::shared_ptr<View>& subview);

    std::shared_ptr<Responder> nextResponder() const override;
    // "<View: frame = {{x, y}, {w, h}}; tag = n>" with the class's own name.
    std::string description() const override;
    virtual std::string className() const { return "View"; }

    // --- Animations (main thread) ---
    static void animateWithDurationAnimations(double duration, const std::function<void()>& animations);
    static void animateWithDurationAnimationsCompletion(double duration, const std::function<void()>& animations,
                                                        std::function<void(bool finished)> completion);
    static void animateWithDurationDelayOptionsAnimationsCompletion(double duration, double delay, unsigned options,
                                                                    const std::function<void()>& animations,
                                                                    std::function<void(bool finished)> completion);
    // The older begin/commit form; each nested block keeps its own settings.
    static void beginAnimations(std::string animationID = {});
    static void setAnimationDuration(double duration);
    static void setAnimationDelay(double delay);
    static void setAnimationCurve(AnimationCurve curve);
    // Runs, like the completion of the block form, after the animation
    // (animation id, finished).
    static void setAnimationDidStopHandler(std::function<void(const std::string&, bool)> handler);
    static void commitAnimations();
    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();
    // Whether the calling code runs inside an animation block.
    static bool isInsideAnimationBlock();

protected:
    // Called when the bounds size changed (after the subviews were autoresized).
    virtual void boundsSizeDidChange(Size oldSize);

private:
    friend class ViewController;
    friend class Window;

    void resizeSubviews(Size oldSize);
    void autoresizeInSuperview(Size oldSize, Size newSize);
    void moveToWindow(const std::shared_ptr<Window>& oldWindow, const std::shared_ptr<Window>& newWindow);
    void detachFromSuperview();
    void insertSubview(const std::shared_ptr<View>& view, std::size_t index);
    // Point conversions one level up and down the hierarchy.
    Point toSuperview(Point p) const;
    Point fromSuperview(Point p) const;
    std::shared_ptr<const View> rootView() const;
    Point toRoot(Point p) const;
    Point fromRoot(Point p) const;

    Point center_;
    Rect bounds_;
    float alpha_ = 1;
    bool hidden_ = false;
    bool opaque_ = true;
    std::optional<Color> backgroundColor_;
    ContentMode contentMode_ = ContentModeScaleToFill;
    int tag_ = 0;
    bool userInteractionEnabled_ = true;
    unsigned autoresizingMask_ = AutoresizingNone;
    bool autoresizesSubviews_ = true;
    bool needsLayout_ = false;
    bool needsDisplay_ = false;
    Rect dirtyRect_;
    std::shared_ptr<Layer> layer_;
    std::vector<std::shared_ptr<View>> subviews_;
    std::weak_ptr<View> superview_;
    std::weak_ptr<ViewController> viewController_;
};

}  // namespace clipora::platform
