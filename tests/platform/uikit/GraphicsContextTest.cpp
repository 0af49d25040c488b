#include "platform/uikit/GraphicsContext.h"

#include <cmath>
#include <numbers>
#include <utility>

#include <gtest/gtest.h>

#include "platform/uikit/Image.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

using Pixel = Bitmap::Pixel;

const Pixel kClear{0, 0, 0, 0};
const Pixel kRed{255, 0, 0, 255};
const Pixel kBlue{0, 0, 255, 255};
const Pixel kWhite{255, 255, 255, 255};
const Pixel kBlack{0, 0, 0, 255};

std::shared_ptr<GraphicsContext> rgbaContext(int w, int h) {
    return GraphicsContext::makeBitmapContext(w, h, 8, 0, Bitmap::ColorSpace::RGB,
                                              Bitmap::AlphaInfo::PremultipliedLast);
}

// Red on the top row, blue on the bottom row.
std::shared_ptr<Bitmap> redOverBlue() {
    auto b = Bitmap::make(1, 2);
    b->setPixel(0, 0, kRed);
    b->setPixel(0, 1, kBlue);
    return b;
}

class GraphicsContextTest : public test::PlatformTest {
protected:
    void TearDown() override {
        while (GraphicsContext::current()) {
            GraphicsContext::endImageContext();
            GraphicsContext::popContext();
        }
        test::PlatformTest::TearDown();
    }
};

TEST_F(GraphicsContextTest, BitmapContextsStartAtTheBottomAndImageContextsAtTheTop) {
    auto bitmapContext = rgbaContext(4, 4);
    bitmapContext->setFillColor(Color::redColor());
    bitmapContext->fillRect(Rect(0, 0, 2, 1));
    EXPECT_EQ(bitmapContext->bitmap().pixel(0, 3), kRed);  // bottom row
    EXPECT_EQ(bitmapContext->bitmap().pixel(1, 3), kRed);
    EXPECT_EQ(bitmapContext->bitmap().pixel(2, 3), kClear);
    EXPECT_EQ(bitmapContext->bitmap().pixel(0, 0), kClear);

    GraphicsContext::beginImageContextWithOptions(Size{4, 4}, false, 1);
    auto imageContext = GraphicsContext::current();
    ASSERT_NE(imageContext, nullptr);
    imageContext->setFillColor(Color::redColor());
    imageContext->fillRect(Rect(0, 0, 2, 1));
    auto image = GraphicsContext::imageFromCurrentImageContext();
    GraphicsContext::endImageContext();
    EXPECT_EQ(GraphicsContext::current(), nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->bitmap()->pixel(0, 0), kRed);  // top row
    EXPECT_EQ(image->bitmap()->pixel(0, 3), kClear);
}

TEST_F(GraphicsContextTest, LowLevelDrawIsUprightInBitmapContextsAndFlippedInImageContexts) {
    auto picture = redOverBlue();
    auto bitmapContext = rgbaContext(1, 2);
    bitmapContext->drawImage(Rect(0, 0, 1, 2), *picture);
    EXPECT_EQ(bitmapContext->bitmap().pixel(0, 0), kRed);
    EXPECT_EQ(bitmapContext->bitmap().pixel(0, 1), kBlue);

    GraphicsContext::beginImageContextWithOptions(Size{1, 2}, false, 1);
    GraphicsContext::current()->drawImage(Rect(0, 0, 1, 2), *picture);
    auto flipped = GraphicsContext::imageFromCurrentImageContext();
    // The usual cure: flip the CTM before the low-level call.
    auto context = GraphicsContext::current();
    context->clearRect(Rect(0, 0, 1, 2));
    context->translateCTM(0, 2);
    context->scaleCTM(1, -1);
    context->drawImage(Rect(0, 0, 1, 2), *picture);
    auto cured = GraphicsContext::imageFromCurrentImageContext();
    GraphicsContext::endImageContext();
    EXPECT_EQ(flipped->bitmap()->pixel(0, 0), kBlue);
    EXPECT_EQ(flipped->bitmap()->pixel(0, 1), kRed);
    EXPECT_EQ(cured->bitmap()->pixel(0, 0), kRed);
    EXPECT_EQ(cured->bitmap()->pixel(0, 1), kBlue);
}

TEST_F(GraphicsContextTest, TransformsMoveScaleAndTurnWhatIsDrawnAndStateRestores) {
    GraphicsContext::beginImageContextWithOptions(Size{4, 4}, false, 1);
    auto c = GraphicsContext::current();
    c->setFillColor(Color::redColor());
    c->saveGState();
    c->translateCTM(4, 0);
    c->rotateCTM(std::numbers::pi_v<float> / 2);  // (x, y) -> (4 - y, x)
    c->fillRect(Rect(0, 0, 2, 1));
    c->restoreGState();
    c->saveGState();
    c->translateCTM(0, 2);
    c->scaleCTM(2, 2);
    c->setFillColor(Color::blueColor());
    c->fillRect(Rect(0, 0, 1, 1));
    c->restoreGState();
    EXPECT_TRUE(c->ctm().isIdentity());
    const Bitmap& b = c->bitmap();
    EXPECT_EQ(b.pixel(3, 0), kRed);
    EXPECT_EQ(b.pixel(3, 1), kRed);
    EXPECT_EQ(b.pixel(2, 0), kClear);
    for (int y = 2; y < 4; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(b.pixel(x, y), kBlue) << x << "," << y;
    EXPECT_EQ(b.pixel(2, 2), kClear);
}

TEST_F(GraphicsContextTest, RetinaContextsHaveMorePixelsThanPoints) {
    GraphicsContext::beginImageContextWithOptions(Size{2, 3}, true, 2);
    auto c = GraphicsContext::current();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->pixelWidth(), 4);
    EXPECT_EQ(c->pixelHeight(), 6);
    c->setFillColor(Color::whiteColor());
    c->fillRect(Rect(0, 0, 1, 1));
    auto image = GraphicsContext::imageFromCurrentImageContext();
    GraphicsContext::endImageContext();
    EXPECT_EQ(image->scale(), 2.0f);
    EXPECT_EQ(image->size(), (Size{2, 3}));
    EXPECT_FALSE(image->bitmap()->hasAlpha());  // opaque
    EXPECT_EQ(image->bitmap()->pixel(1, 1), kWhite);
    EXPECT_EQ(image->bitmap()->pixel(2, 2), kBlack);

    GraphicsContext::beginImageContextWithOptions(Size{0, 5}, false, 1);
    EXPECT_EQ(GraphicsContext::current(), nullptr);
    EXPECT_EQ(GraphicsContext::imageFromCurrentImageContext(), nullptr);
    GraphicsContext::endImageContext();
}

TEST_F(GraphicsContextTest, BitmapContextRefusesWhatThePlatformRefuses) {
    using CS = Bitmap::ColorSpace;
    using AI = Bitmap::AlphaInfo;
    EXPECT_EQ(GraphicsContext::makeBitmapContext(0, 4, 8, 0, CS::RGB, AI::PremultipliedLast), nullptr);
    EXPECT_EQ(GraphicsContext::makeBitmapContext(4, 4, 16, 0, CS::RGB, AI::PremultipliedLast), nullptr);
    EXPECT_EQ(GraphicsContext::makeBitmapContext(4, 4, 8, 15, CS::RGB, AI::PremultipliedLast), nullptr);
    EXPECT_NE(GraphicsContext::makeBitmapContext(4, 4, 8, 16, CS::RGB, AI::PremultipliedLast), nullptr);
    EXPECT_NE(GraphicsContext::makeBitmapContext(4, 4, 8, 4, CS::Gray, AI::None), nullptr);

    // A grey context without alpha keeps the luminance of what is painted.
    auto grey = GraphicsContext::makeBitmapContext(2, 1, 8, 0, CS::Gray, AI::None);
    grey->setFillColor(Color::redColor());
    grey->fillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(grey->bitmap().pixel(0, 0), (Pixel{76, 76, 76, 255}));
    EXPECT_EQ(grey->bitmap().pixel(1, 0), kBlack);
}

TEST_F(GraphicsContextTest, MaskLetsThroughWhereItIsWhite) {
    auto mask = Bitmap::make(2, 1, Bitmap::ColorSpace::Gray, Bitmap::AlphaInfo::None);
    mask->setPixel(0, 0, kWhite);
    mask->setPixel(1, 0, kBlack);
    auto c = rgbaContext(3, 1);
    c->clipToMask(Rect(0, 0, 2, 1), *mask);
    c->setFillColor(Color::redColor());
    c->fillRect(Rect(0, 0, 3, 1));
    EXPECT_EQ(c->bitmap().pixel(0, 0), kRed);
    EXPECT_EQ(c->bitmap().pixel(1, 0), kClear);  // black in the mask
    EXPECT_EQ(c->bitmap().pixel(2, 0), kClear);  // outside the mask's rectangle
}

TEST_F(GraphicsContextTest, RadialGradientExtendsPastItsEndOnlyWhenAsked) {
    const auto gradient =
        GraphicsContext::Gradient::twoStops(Color::colorWithWhiteAlpha(0, 0), Color::colorWithWhiteAlpha(0, 0.75f));
    for (int options : {0, GraphicsContext::kGradientDrawsAfterEndLocation}) {
        SCOPED_TRACE(options);
        auto c = rgbaContext(40, 40);
        c->drawRadialGradient(gradient, Point{20, 20}, 0, Point{20, 20}, 20, options);
        const Bitmap& b = c->bitmap();
        // Alpha grows with the distance of the pixel's centre (user space is
        // y-up) from the centre, 0.75 at radius 20.
        auto expectedAlpha = [](int x, int y) {
            float d = std::hypot(x + 0.5f - 20, (40 - (y + 0.5f)) - 20);
            return 0.75 * 255 * d / 20;
        };
        for (auto [x, y] : {std::pair{20, 20}, {30, 20}, {25, 31}, {39, 20}}) {
            EXPECT_NEAR(b.pixel(x, y).a, expectedAlpha(x, y), 1.0) << x << "," << y;
            EXPECT_EQ(b.pixel(x, y).r, 0);
        }
        EXPECT_EQ(b.pixel(0, 0).a, options ? 191 : 0);  // corner, past the end circle
    }
}

TEST_F(GraphicsContextTest, RoundedRectFillsAllButItsCorners) {
    auto c = rgbaContext(20, 20);
    c->setFillColor(Color::blueColor());
    c->beginPath();
    c->addRoundedRect(Rect(0, 0, 20, 20), 6);
    c->fillPath();
    EXPECT_TRUE(c->isPathEmpty());
    const Bitmap& b = c->bitmap();
    EXPECT_EQ(b.pixel(0, 0), kClear);
    EXPECT_EQ(b.pixel(19, 19), kClear);
    EXPECT_EQ(b.pixel(10, 10), kBlue);
    EXPECT_EQ(b.pixel(10, 0), kBlue);
    EXPECT_EQ(b.pixel(0, 10), kBlue);
    EXPECT_EQ(b.pixel(3, 3), kBlue);  // inside the corner arc
}

TEST_F(GraphicsContextTest, OnePointLinesCoverOneRowOnAHalfPointAndTwoHalvesOnAWholeOne) {
    GraphicsContext::beginImageContextWithOptions(Size{4, 4}, false, 1);
    auto c = GraphicsContext::current();
    c->setStrokeColor(Color::redColor());
    c->setLineWidth(1);
    c->strokeLine(Point{0, 0.5f}, Point{4, 0.5f});
    c->strokeLine(Point{0, 3}, Point{4, 3});
    const Bitmap& b = c->bitmap();
    for (int x = 0; x < 4; ++x) EXPECT_EQ(b.pixel(x, 0), kRed);
    EXPECT_EQ(b.pixel(0, 1), kClear);
    EXPECT_EQ(b.pixel(1, 2), (Pixel{255, 0, 0, 128}));  // anti-aliased halves
    EXPECT_EQ(b.pixel(1, 3), (Pixel{255, 0, 0, 128}));

    c->clearRect(Rect(0, 0, 4, 4));
    c->strokeRect(Rect(0.5f, 0.5f, 3, 3));
    EXPECT_EQ(b.pixel(0, 0), kRed);
    EXPECT_EQ(b.pixel(3, 3), kRed);
    EXPECT_EQ(b.pixel(3, 1), kRed);
    EXPECT_EQ(b.pixel(1, 1), kClear);
    GraphicsContext::endImageContext();
}

TEST_F(GraphicsContextTest, ClipRectLimitsPaintingUntilRestored) {
    auto c = rgbaContext(4, 1);
    c->setFillColor(Color::redColor());
    c->saveGState();
    c->clipToRect(Rect(1, 0, 2, 1));
    EXPECT_EQ(c->clipBoundingBox(), Rect(1, 0, 2, 1));
    c->fillRect(Rect(0, 0, 4, 1));
    c->restoreGState();
    EXPECT_EQ(c->bitmap().pixel(0, 0), kClear);
    EXPECT_EQ(c->bitmap().pixel(1, 0), kRed);
    EXPECT_EQ(c->bitmap().pixel(3, 0), kClear);
    c->setFillColor(Color::blueColor());
    c->fillRect(Rect(3, 0, 1, 1));
    EXPECT_EQ(c->bitmap().pixel(3, 0), kBlue);
}

}  // namespace
}  // namespace clipora::platform
