#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/foundation/Rect.h"
#include "platform/uikit/AffineTransform.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"

using namespace clipora::platform;

TEST(RectTest, QueriesReadTheStandardizedRectangle) {
    Rect r{10, 20, -4, -8};
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.minY(), 12);
    EXPECT_EQ(r.maxY(), 20);
    EXPECT_EQ(r.standardized(), (Rect{6, 12, 4, 8}));
}

TEST(RectTest, ContainmentIsHalfOpen) {
    Rect r{0, 0, 10, 10};
    EXPECT_TRUE(r.contains(Point{0, 0}));
    EXPECT_TRUE(r.contains(Point{9.5f, 9.5f}));
    EXPECT_FALSE(r.contains(Point{10, 5}));
    EXPECT_FALSE(r.contains(Point{5, 10}));
    EXPECT_FALSE(Rect(0, 0, 0, 10).contains(Point{0, 0}));
    // Rectangles that only touch do not intersect.
    EXPECT_FALSE(r.intersects(Rect{10, 0, 5, 5}));
    EXPECT_EQ(r.intersection(Rect{5, 5, 10, 10}), (Rect{5, 5, 5, 5}));
    EXPECT_EQ(r.intersection(Rect{20, 20, 1, 1}), Rect::zero());
}

TEST(RectTest, InsetIntegralAndUnion) {
    EXPECT_EQ(Rect(0, 0, 100, 50).insetBy(10, 5), (Rect{10, 5, 80, 40}));
    EXPECT_EQ(Rect(0, 0, 10, 10).insetBy(6, 0), Rect::zero());
    EXPECT_EQ(Rect(0, 0, 100, 50).insetBy(EdgeInsets{1, 2, 3, 4}), (Rect{2, 1, 94, 46}));
    EXPECT_EQ(Rect(0.5f, 1.2f, 2.1f, 3.0f).integral(), (Rect{0, 1, 3, 4}));
    EXPECT_EQ(Rect(0, 0, 1, 1).unionWith(Rect{5, 5, 1, 1}), (Rect{0, 0, 6, 6}));
    EXPECT_EQ(Rect(0, 0, 320, 44).description(), "{{0, 0}, {320, 44}}");
}

TEST(AffineTransformTest, RotationScaleAndInverse) {
    auto rotation = AffineTransform::makeRotation(static_cast<float>(std::numbers::pi / 2));
    Point p = rotation.apply(Point{1, 0});
    EXPECT_NEAR(p.x, 0, 1e-6);
    EXPECT_NEAR(p.y, 1, 1e-6);

    // translate() applies before the existing transform.
    auto t = AffineTransform::makeScale(2, 2).translate(5, 0);
    EXPECT_EQ(t.apply(Point{1, 1}), (Point{12, 2}));
    auto inverse = t.inverted();
    ASSERT_TRUE(inverse.has_value());
    EXPECT_EQ(inverse->apply(Point{12, 2}), (Point{1, 1}));
    EXPECT_FALSE(AffineTransform::makeScale(0, 1).inverted().has_value());
    EXPECT_TRUE(AffineTransform::identity().isIdentity());

    EXPECT_EQ(AffineTransform::makeScale(2, 3).apply(Rect{1, 1, 2, 2}), (Rect{2, 3, 4, 6}));
}

TEST(ColorTest, NamedColoursAndAlpha) {
    EXPECT_EQ(Color::clearColor().alpha(), 0);
    EXPECT_EQ(Color::blueColor(), Color::colorWithRedGreenBlueAlpha(0, 0, 1, 1));
    EXPECT_EQ(Color::colorWithWhiteAlpha(0.5f, 1), Color::grayColor());
    EXPECT_EQ(Color::redColor().colorWithAlphaComponent(0.25f).alpha(), 0.25f);
    EXPECT_NE(Color::redColor(), Color::colorWithPatternImage(nullptr).colorWithAlphaComponent(1));
    // Out-of-range components are clamped.
    EXPECT_EQ(Color::colorWithRedGreenBlueAlpha(2, -1, 0.5f, 1).red(), 1);
    EXPECT_EQ(Color::colorWithRedGreenBlueAlpha(2, -1, 0.5f, 1).green(), 0);
}

TEST(FontTest, MeasurementFollowsTheDocumentedMetric) {
    struct Case {
        Font font;
        std::string text;
        Size expected;
    };
    const Case cases[] = {
        {Font::systemFontOfSize(10), "abcd", {20, 12}},
        {Font::boldSystemFontOfSize(10), "abcd", {22, 12}},                  // 10% wider
        {Font::systemFontOfSize(17), "", {0, 21}},                           // ceil(20.4)
        {Font::systemFontOfSize(10), "\xE6\x97\xA5\xE6\x9C\xAC", {20, 12}},  // two wide code points
        {Font::systemFontOfSize(10), "a\nb", {10, 12}},                      // one line: breaks advance nothing
        {Font::systemFontOfSize(12), "\xC3\xA9t\xC3\xA9", {18, 15}},         // code points, not bytes
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.font.sizeOfText(c.text), c.expected) << c.text;
    }
}

TEST(FontTest, WrappingByWordsCharactersAndExplicitBreaks) {
    Font font = Font::systemFontOfSize(10);  // 5 points a character, lines 12 high
    // "aaaa bbbb" is 45 wide; at 30 it wraps after the first word.
    EXPECT_EQ(font.sizeOfTextConstrainedToSize("aaaa bbbb", {30, 0}), (Size{25, 24}));
    // A word longer than the width breaks by character.
    EXPECT_EQ(font.sizeOfTextConstrainedToSize("aaaaaaaaaa", {20, 0}), (Size{20, 36}));
    EXPECT_EQ(font.sizeOfTextConstrainedToSize("aaaaaaaaaa", {20, 0}, LineBreakModeCharacterWrap), (Size{20, 36}));
    // Truncating modes keep each paragraph on one line, cut to the width.
    EXPECT_EQ(font.sizeOfTextConstrainedToSize("aaaa bbbb", {30, 0}, LineBreakModeTailTruncation), (Size{30, 12}));
    EXPECT_EQ(font.sizeOfTextConstrainedToSize("a\nb\nc", {100, 0}), (Size{5, 36}));
    // The height limit keeps whole lines, at least one.
    EXPECT_EQ(font.sizeOfTextConstrainedToSize("a\nb\nc", {100, 25}), (Size{5, 24}));
    EXPECT_EQ(font.sizeOfTextConstrainedToSize("a\nb\nc", {100, 5}), (Size{5, 12}));
    EXPECT_EQ(font.heightOfTextConstrainedToWidth("aaaa bbbb", 30), 24);
}
