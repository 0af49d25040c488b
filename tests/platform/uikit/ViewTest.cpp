#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/uikit/AffineTransform.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/View.h"
#include "platform/uikit/Window.h"
#include "tests/platform/uikit/UIKitTest.h"

using namespace clipora::platform;
using clipora::test::UIKitTest;

namespace {

class ViewTest : public UIKitTest {};

class DrawingView : public View {
public:
    using View::View;
    void drawRect(Rect rect) override { drawn.push_back(rect); }
    void layoutSubviews() override { ++layouts; }
    std::vector<Rect> drawn;
    int layouts = 0;
};

}  // namespace

TEST_F(ViewTest, FrameFollowsCentreBoundsAndTransform) {
    auto v = std::make_shared<View>(Rect{10, 20, 100, 50});
    EXPECT_EQ(v->center(), (Point{60, 45}));
    EXPECT_EQ(v->bounds(), (Rect{0, 0, 100, 50}));
    v->setTransform(AffineTransform::makeScale(2, 2));
    EXPECT_EQ(v->frame(), (Rect{-40, -5, 200, 100}));
    EXPECT_EQ(v->bounds(), (Rect{0, 0, 100, 50}));  // the bounds do not change
    v->setTransform(AffineTransform::identity());
    v->setCenter({0, 0});
    EXPECT_EQ(v->frame(), (Rect{-50, -25, 100, 50}));
}

TEST_F(ViewTest, AutoresizingDistributesTheChangeOverFlexibleParts) {
    struct Case {
        unsigned mask;
        Rect expected;
    };
    // Child at x 10, width 80, right margin 10 in a 100 x 100 parent that grows to 200 x 150.
    const Case cases[] = {
        {View::AutoresizingNone, {10, 10, 80, 80}},
        {View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight, {10, 10, 180, 130}},
        {View::AutoresizingFlexibleLeftMargin | View::AutoresizingFlexibleTopMargin, {110, 60, 80, 80}},
        {View::AutoresizingFlexibleRightMargin | View::AutoresizingFlexibleBottomMargin, {10, 10, 80, 80}},
        // Left margin and width share the 100 points in proportion 10 : 80.
        {View::AutoresizingFlexibleLeftMargin | View::AutoresizingFlexibleWidth,
         {10 + 100.0f * 10 / 90, 10, 80 + 100.0f * 80 / 90, 80}},
    };
    for (const Case& c : cases) {
        auto parent = std::make_shared<View>(Rect{0, 0, 100, 100});
        auto child = std::make_shared<View>(Rect{10, 10, 80, 80});
        child->setAutoresizingMask(c.mask);
        parent->addSubview(child);
        parent->setFrame({0, 0, 200, 150});
        Rect f = child->frame();
        EXPECT_NEAR(f.origin.x, c.expected.origin.x, 1e-3) << c.mask;
        EXPECT_NEAR(f.origin.y, c.expected.origin.y, 1e-3) << c.mask;
        EXPECT_NEAR(f.size.width, c.expected.size.width, 1e-3) << c.mask;
        EXPECT_NEAR(f.size.height, c.expected.size.height, 1e-3) << c.mask;
    }

    // Resizing reaches grandchildren, and autoresizesSubviews off stops it.
    auto parent = std::make_shared<View>(Rect{0, 0, 100, 100});
    auto child = std::make_shared<View>(Rect{0, 0, 100, 100});
    auto grandchild = std::make_shared<View>(Rect{0, 0, 100, 10});
    child->setAutoresizingMask(View::AutoresizingFlexibleWidth);
    grandchild->setAutoresizingMask(View::AutoresizingFlexibleWidth);
    parent->addSubview(child);
    child->addSubview(grandchild);
    parent->setFrame({0, 0, 300, 100});
    EXPECT_EQ(grandchild->frame().size.width, 300);
    parent->setAutoresizesSubviews(false);
    parent->setFrame({0, 0, 100, 100});
    EXPECT_EQ(child->frame().size.width, 300);
}

TEST_F(ViewTest, HierarchyTagsAndConversion) {
    auto root = std::make_shared<View>(Rect{0, 0, 320, 480});
    auto a = std::make_shared<View>(Rect{10, 20, 100, 100});
    auto b = std::make_shared<View>(Rect{5, 5, 50, 50});
    b->setTag(33);
    root->addSubview(a);
    a->addSubview(b);
    EXPECT_EQ(root->viewWithTag(33), b);
    EXPECT_EQ(root->viewWithTag(34), nullptr);
    EXPECT_TRUE(b->isDescendantOfView(root));

    EXPECT_EQ(b->convertPointToView({1, 1}, root), (Point{16, 26}));
    EXPECT_EQ(root->convertPointToView({16, 26}, b), (Point{1, 1}));
    EXPECT_EQ(b->convertRectToView({0, 0, 10, 10}, nullptr), (Rect{15, 25, 10, 10}));
    EXPECT_EQ(root->hitTest({16, 26}), b);
    b->setHidden(true);
    EXPECT_EQ(root->hitTest({16, 26}), a);

    // Adding a view elsewhere takes it from its old superview; a view cannot
    // take in its own ancestor.
    root->addSubview(b);
    EXPECT_TRUE(a->subviews().empty());
    EXPECT_EQ(b->superview(), root);
    b->addSubview(root);
    EXPECT_EQ(root->superview(), nullptr);
    b->removeFromSuperview();
    EXPECT_EQ(b->superview(), nullptr);
    EXPECT_EQ(root->subviews().size(), 1u);
}

TEST_F(ViewTest, LayoutRunsOnTheNextTurnAndDisplayThroughTheDrawHook) {
    auto v = std::make_shared<DrawingView>(Rect{0, 0, 10, 10});
    v->setNeedsLayout();
    v->setNeedsLayout();
    EXPECT_EQ(v->layouts, 0);
    pumpPending();
    EXPECT_EQ(v->layouts, 1);
    v->setFrame({0, 0, 20, 20});
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 2);

    v->setNeedsDisplayInRect({1, 1, 2, 2});
    v->setNeedsDisplayInRect({5, 5, 1, 1});
    v->displayIfNeeded();
    v->displayIfNeeded();
    ASSERT_EQ(v->drawn.size(), 1u);
    EXPECT_EQ(v->drawn[0], (Rect{1, 1, 5, 5}));
}

TEST_F(ViewTest, AnimationSetsTargetsAtOnceAndCompletesAfterTheDuration) {
    auto v = std::make_shared<View>(Rect{0, 0, 10, 10});
    std::vector<std::string> events;
    View::animateWithDurationAnimationsCompletion(
        0.3,
        [&] {
            EXPECT_TRUE(View::isInsideAnimationBlock());
            v->setAlpha(0);
        },
        [&](bool finished) { events.push_back(finished ? "first finished" : "first cut"); });
    View::animateWithDurationDelayOptionsAnimationsCompletion(
        0.1, 0.5, View::AnimationOptionAllowUserInteraction,
        [&] {
            v->setCenter({50, 50});
        },
        [&](bool) { events.push_back("second"); });
    // The targets hold as soon as the animations start.
    EXPECT_EQ(v->alpha(), 0);
    EXPECT_EQ(v->center(), (Point{50, 50}));
    EXPECT_FALSE(View::isInsideAnimationBlock());

    pumpPending();
    EXPECT_TRUE(events.empty());
    advanceClock(0.3);
    pumpPending();
    EXPECT_EQ(events, (std::vector<std::string>{"first finished"}));
    advanceClock(0.3);  // delay 0.5 + duration 0.1
    pumpPending();
    EXPECT_EQ(events, (std::vector<std::string>{"first finished", "second"}));
}

TEST_F(ViewTest, BeginCommitAnimationsReportTheStopWithTheirId) {
    auto v = std::make_shared<View>(Rect{0, 0, 10, 10});
    std::vector<std::string> stopped;
    View::beginAnimations("fade");
    View::setAnimationDuration(0.4);
    View::setAnimationDidStopHandler([&](const std::string& id, bool finished) {
        if (finished) stopped.push_back(id);
    });
    v->setAlpha(0.5f);
    View::commitAnimations();
    EXPECT_EQ(v->alpha(), 0.5f);
    advanceClock(0.39);
    pumpPending();
    EXPECT_TRUE(stopped.empty());
    advanceClock(0.01);
    pumpPending();
    EXPECT_EQ(stopped, (std::vector<std::string>{"fade"}));

    // With animations off the completion still runs, on the next turn.
    View::setAnimationsEnabled(false);
    bool done = false;
    View::animateWithDurationAnimationsCompletion(
        5, [] {}, [&](bool) { done = true; });
    EXPECT_FALSE(done);
    pumpPending();
    EXPECT_TRUE(done);
}

TEST_F(ViewTest, LabelMeasuresItsText) {
    auto label = std::make_shared<Label>();
    label->setFont(Font::systemFontOfSize(10));
    label->setText("Hello");
    label->sizeToFit();
    EXPECT_EQ(label->frame().size, (Size{25, 12}));
    label->setNumberOfLines(0);
    EXPECT_EQ(label->sizeThatFits({15, 0}), (Size{15, 24}));
    EXPECT_FALSE(label->isUserInteractionEnabled());
}

TEST_F(ViewTest, WindowsBecomeVisibleAndKey) {
    auto app = Application::sharedApplication();
    auto w1 = std::make_shared<Window>();
    EXPECT_TRUE(w1->isHidden());
    EXPECT_TRUE(app->windows().empty());
    EXPECT_EQ(w1->frame(), (Rect{0, 0, 320, 480}));
    w1->makeKeyAndVisible();
    auto w2 = std::make_shared<Window>();
    w2->setWindowLevel(Window::kLevelAlert);
    w2->setHidden(false);
    auto w3 = std::make_shared<Window>();
    w3->setHidden(false);
    EXPECT_EQ(app->windows(), (std::vector<std::shared_ptr<Window>>{w1, w3, w2}));
    EXPECT_TRUE(w1->isKeyWindow());
    w3->makeKeyWindow();
    EXPECT_EQ(app->keyWindow(), w3);
    w3->setHidden(true);
    EXPECT_EQ(app->keyWindow(), nullptr);
    EXPECT_EQ(app->windows().size(), 2u);

    auto v = std::make_shared<View>();
    w1->addSubview(v);
    EXPECT_EQ(v->window(), w1);
}
