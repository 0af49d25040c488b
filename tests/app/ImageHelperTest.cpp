#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "app/ImageHelper.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/ImageView.h"
#include "tests/app/AppTest.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

using Pixel = Bitmap::Pixel;
constexpr Pixel kRed{255, 0, 0, 255};
constexpr Pixel kGreen{0, 255, 0, 255};
constexpr Pixel kBlue{0, 0, 255, 255};
constexpr Pixel kWhite{255, 255, 255, 255};

// A picture of four coloured quadrants: red, green over blue, white.
std::shared_ptr<Image> quadrants(int side, Image::Orientation orientation = Image::Orientation::Up) {
    auto bitmap = Bitmap::make(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            bitmap->setPixel(x, y, y < side / 2 ? (x < side / 2 ? kRed : kGreen) : (x < side / 2 ? kBlue : kWhite));
    return Image::imageWithBitmap(bitmap, 1, orientation);
}

std::shared_ptr<Image> solid(int width, int height, Pixel pixel, Bitmap::ColorSpace space = Bitmap::ColorSpace::RGB) {
    auto bitmap = Bitmap::make(width, height, space);
    bitmap->fill(pixel);
    return Image::imageWithBitmap(bitmap);
}

class ImageHelperTest : public test::AppTest {};

TEST_F(ImageHelperTest, SizesAndRectangles) {
    Rect fill = ImageHelper::fillSizeInSize({200, 100}, {50, 50});
    EXPECT_FLOAT_EQ(fill.origin.x, -25);
    EXPECT_FLOAT_EQ(fill.origin.y, 0);
    EXPECT_FLOAT_EQ(fill.size.width, 100);
    EXPECT_FLOAT_EQ(fill.size.height, 50);
    // An empty size never divides by zero.
    Rect empty = ImageHelper::fillSizeInSize({0, 100}, {50, 50});
    EXPECT_TRUE(std::isfinite(empty.origin.x) && std::isfinite(empty.size.width));
    EXPECT_FLOAT_EQ(empty.size.width, 0);

    struct Case {
        Size size, target, expected;
    };
    for (const auto& c : {Case{{100, 50}, {200, 200}, {100, 50}}, Case{{400, 100}, {200, 200}, {200, 50}},
                          Case{{100, 400}, {200, 200}, {50, 200}}, Case{{0, 0}, {200, 200}, {0, 0}}}) {
        Size fitted = ImageHelper::fitSizeInSize(c.size, c.target);
        EXPECT_FLOAT_EQ(fitted.width, c.expected.width);
        EXPECT_FLOAT_EQ(fitted.height, c.expected.height);
    }
}

TEST_F(ImageHelperTest, FillCoversTheTargetCentred) {
    // 4 x 2 red | blue covering 2 x 2: the middle two columns remain.
    auto bitmap = Bitmap::make(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) bitmap->setPixel(x, y, x < 2 ? kRed : kBlue);
    auto filled = ImageHelper::imageFillSize(Image::imageWithBitmap(bitmap), {2, 2});
    ASSERT_TRUE(filled);
    EXPECT_EQ(filled->size().width, 2);
    EXPECT_EQ(filled->bitmap()->pixel(0, 0), kRed);
    EXPECT_EQ(filled->bitmap()->pixel(1, 1), kBlue);

    // A grey source is drawn into the helper's own RGBA raster.
    auto grey = ImageHelper::imageFillSize(solid(8, 4, {128, 128, 128, 255}, Bitmap::ColorSpace::Gray), {75, 75});
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->bitmap()->colorSpace(), Bitmap::ColorSpace::RGB);
    EXPECT_EQ(grey->bitmap()->pixel(37, 37), (Pixel{128, 128, 128, 255}));

    // Nothing to draw, or nowhere to draw it: no image.
    EXPECT_FALSE(ImageHelper::imageFillSize(nullptr, {75, 75}));
    EXPECT_FALSE(ImageHelper::imageFillSize(solid(4, 4, kRed), {0, 75}));
    EXPECT_FALSE(ImageHelper::imageFitInSize(solid(4, 4, kRed), {75, 0}));
    EXPECT_FALSE(ImageHelper::grayscaleImage(nullptr));
}

TEST_F(ImageHelperTest, CropMaskAndGrey) {
    auto image = quadrants(4);
    auto topRight = ImageHelper::imageByCroppingToRect(image, Rect(2, 0, 2, 2));
    ASSERT_TRUE(topRight);
    EXPECT_EQ(topRight->bitmap()->pixel(0, 0), kGreen);
    EXPECT_EQ(topRight->bitmap()->pixel(1, 1), kGreen);
    auto bottomLeft = ImageHelper::imageByCroppingToRect(image, Rect(0, 2, 2, 2));
    ASSERT_TRUE(bottomLeft);
    EXPECT_EQ(bottomLeft->bitmap()->pixel(1, 1), kBlue);

    // The mask's light half shows the picture, its dark half hides it.
    auto maskBitmap = Bitmap::make(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) maskBitmap->setPixel(x, y, x < 2 ? kWhite : Pixel{0, 0, 0, 255});
    auto masked = ImageHelper::frameImageWithMask(solid(4, 4, kRed), Image::imageWithBitmap(maskBitmap));
    ASSERT_TRUE(masked);
    EXPECT_EQ(masked->bitmap()->pixel(0, 1), kRed);
    EXPECT_EQ(masked->bitmap()->pixel(3, 1).a, 0);

    auto grey = ImageHelper::grayscaleImage(solid(2, 2, {255, 0, 0, 128}));
    ASSERT_TRUE(grey);
    const Pixel p = grey->bitmap()->pixel(0, 0);
    EXPECT_EQ(p.r, p.g);
    EXPECT_EQ(p.g, p.b);
    EXPECT_EQ(p.a, 255);
}

TEST_F(ImageHelperTest, ScalingAndTurning) {
    auto large = solid(1000, 750, kRed);
    auto scaled = ImageHelper::scaleAndRotateImageMaxSize(large, 640);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->size().width, 640);
    EXPECT_EQ(scaled->size().height, 480);
    auto small = solid(600, 400, kRed);
    EXPECT_EQ(ImageHelper::scaleAndRotateImageMaxSize(small, 640), small);
    EXPECT_EQ(ImageHelper::unrotateImage(small), small);

    // Stored turned (orientation "right"): redrawn upright, the picture's
    // top-left quadrant comes first.
    auto turned = quadrants(4, Image::Orientation::Right);
    auto upright = ImageHelper::unrotateImage(turned);
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->imageOrientation(), Image::Orientation::Up);
    EXPECT_EQ(upright->bitmap()->pixel(0, 0), turned->uprightBitmap()->pixel(0, 0));
    EXPECT_EQ(upright->bitmap()->pixel(3, 0), turned->uprightBitmap()->pixel(3, 0));
    auto transformed = ImageHelper::transformWidthWidthHeightRotate(turned, 4, 4, true);
    ASSERT_TRUE(transformed);
    EXPECT_EQ(transformed->bitmap()->pixel(0, 0), turned->uprightBitmap()->pixel(0, 0));
    EXPECT_EQ(transformed->bitmap()->pixel(3, 3), turned->uprightBitmap()->pixel(3, 3));
}

TEST_F(ImageHelperTest, ViewsRenderTheirColoursAndPictures) {
    auto view = std::make_shared<View>(Rect(0, 0, 4, 4));
    view->setBackgroundColor(Color::blueColor());
    auto picture = std::make_shared<ImageView>(Rect(2, 2, 2, 2));
    picture->setImage(solid(2, 2, kRed));
    view->addSubview(picture);
    auto image = ImageHelper::imageFromView(view);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap()->pixel(0, 0), kBlue);
    EXPECT_EQ(image->bitmap()->pixel(3, 3), kRed);
}

}  // namespace
