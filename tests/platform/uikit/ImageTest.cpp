#include "platform/uikit/Image.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/Screen.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

using Pixel = Bitmap::Pixel;

const Pixel kRed{255, 0, 0, 255};
const Pixel kGreen{0, 255, 0, 255};
const Pixel kBlue{0, 0, 255, 255};
const Pixel kWhite{255, 255, 255, 255};
const Pixel kBlack{0, 0, 0, 255};
const Pixel kHalfYellow{255, 255, 0, 128};

// A bitmap from rows of pixels (top row first).
std::shared_ptr<Bitmap> bitmapOf(const std::vector<std::vector<Pixel>>& rows,
                                 Bitmap::AlphaInfo alpha = Bitmap::AlphaInfo::PremultipliedLast) {
    auto b =
        Bitmap::make(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), Bitmap::ColorSpace::RGB, alpha);
    for (int y = 0; y < b->height(); ++y)
        for (int x = 0; x < b->width(); ++x) b->setPixel(x, y, rows[y][x]);
    return b;
}

std::vector<std::vector<Pixel>> rowsOf(const Bitmap& b) {
    std::vector<std::vector<Pixel>> rows(b.height(), std::vector<Pixel>(b.width()));
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) rows[y][x] = b.pixel(x, y);
    return rows;
}

// 4 x 4 in four 2 x 2 quadrants: red, green / blue, white.
std::shared_ptr<Bitmap> quadrants() {
    return bitmapOf({{kRed, kRed, kGreen, kGreen},
                     {kRed, kRed, kGreen, kGreen},
                     {kBlue, kBlue, kWhite, kWhite},
                     {kBlue, kBlue, kWhite, kWhite}});
}

void expectNear(const Pixel& actual, const Pixel& expected, int tolerance) {
    EXPECT_NEAR(actual.r, expected.r, tolerance);
    EXPECT_NEAR(actual.g, expected.g, tolerance);
    EXPECT_NEAR(actual.b, expected.b, tolerance);
    EXPECT_NEAR(actual.a, expected.a, tolerance);
}

// A JPEG with an EXIF block carrying `orientation`, inserted after SOI.
Data withExifOrientation(const Data& jpeg, std::uint8_t orientation) {
    Data exif = {0xFF, 0xE1, 0x00, 34,   'E', 'x', 'i', 'f', 0, 0,                  // APP1, length, "Exif\0\0"
                 'M',  'M',  0x00, 0x2A, 0,   0,   0,   8,                          // big-endian TIFF, IFD at 8
                 0,    1,                                                           // one entry
                 0x01, 0x12, 0,    3,    0,   0,   0,   1,   0, orientation, 0, 0,  // orientation, SHORT, 1
                 0,    0,    0,    0};                                              // no next IFD
    Data out;
    out.reserve(jpeg.size() + exif.size());
    for (std::size_t i = 0; i < jpeg.size(); ++i) {
        if (i == 2) std::copy(exif.begin(), exif.end(), std::back_inserter(out));
        out.push_back(jpeg[i]);
    }
    return out;
}

// Points the main bundle at a folder while it lives.
class BundleDirectory {
public:
    explicit BundleDirectory(const std::filesystem::path& path) {
        if (const char* old = std::getenv("CLIPORA_BUNDLE_DIR")) previous_ = old;
        ::setenv("CLIPORA_BUNDLE_DIR", path.c_str(), 1);
    }
    ~BundleDirectory() {
        if (previous_)
            ::setenv("CLIPORA_BUNDLE_DIR", previous_->c_str(), 1);
        else
            ::unsetenv("CLIPORA_BUNDLE_DIR");
    }

private:
    std::optional<std::string> previous_;
};

class ImageTest : public test::PlatformTest {
protected:
    void TearDown() override {
        Screen::reset();
        Image::clearNamedImageCache();
        test::PlatformTest::TearDown();
    }

    // Draws the image in a context of its point size and answers the pixels.
    static std::shared_ptr<Bitmap> render(const Image& image, Size size) {
        GraphicsContext::beginImageContextWithOptions(size, false, 1);
        image.drawInRect(Rect(0, 0, size.width, size.height));
        auto result = GraphicsContext::imageFromCurrentImageContext();
        GraphicsContext::endImageContext();
        return std::const_pointer_cast<Bitmap>(result->bitmap());
    }
};

TEST_F(ImageTest, PNGRoundTripKeepsEveryPixelAndDescribesTheBitmap) {
    auto source = bitmapOf({{kRed, kGreen, kBlue}, {kWhite, kHalfYellow, Pixel{0, 0, 0, 0}}});
    auto image = Image::imageWithData(source->pngData());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), (Size{3, 2}));
    EXPECT_EQ(image->scale(), 1.0f);
    EXPECT_EQ(image->imageOrientation(), Image::Orientation::Up);
    EXPECT_EQ(rowsOf(*image->bitmap()), rowsOf(*source));
    const Bitmap& b = *image->bitmap();
    EXPECT_EQ(b.bitsPerComponent(), 8);
    EXPECT_EQ(b.bitsPerPixel(), 32);
    EXPECT_EQ(b.bytesPerRow(), 12u);
    EXPECT_EQ(b.colorSpace(), Bitmap::ColorSpace::RGB);
    EXPECT_TRUE(b.hasAlpha());
}

TEST_F(ImageTest, JPEGDecodesCloseToTheSourceAndQualityTradesSize) {
    std::vector<std::vector<Pixel>> rows(16, std::vector<Pixel>(16, kRed));
    for (int y = 8; y < 16; ++y)
        for (int x = 0; x < 16; ++x) rows[y][x] = kBlue;
    auto source = bitmapOf(rows);
    Data high = source->jpegData(1.0f);
    Data low = source->jpegData(0.1f);
    ASSERT_FALSE(high.empty());
    EXPECT_LT(low.size(), high.size());
    auto image = Image::imageWithData(high);
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(image->bitmap()->hasAlpha());
    expectNear(image->bitmap()->pixel(2, 2), kRed, 12);
    expectNear(image->bitmap()->pixel(13, 13), kBlue, 12);
}

TEST_F(ImageTest, JPEGOrientationTagBecomesTheImageOrientation) {
    auto source = bitmapOf({{kRed, kGreen, kBlue}, {kRed, kGreen, kBlue}});
    auto image = Image::imageWithData(withExifOrientation(source->jpegData(1.0f), 6));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->imageOrientation(), Image::Orientation::Right);
    EXPECT_EQ(image->size(), (Size{2, 3}));
}

TEST_F(ImageTest, UndecodableBytesGiveNoImage) {
    Data png = quadrants()->pngData();
    Data truncated(png.begin(), png.begin() + static_cast<long>(png.size() / 2));
    EXPECT_EQ(Image::imageWithData(truncated), nullptr);
    EXPECT_EQ(Image::imageWithData(Data{'G', 'I', 'F', '8', '9', 'a', 0, 0}), nullptr);
    EXPECT_EQ(Image::imageWithData(Data{}), nullptr);
    EXPECT_EQ(Image::imageWithContentsOfFile((home() / "missing.png").string()), nullptr);
}

TEST_F(ImageTest, CropTakesThePixelsUnderTheRectangleCutToTheBitmap) {
    auto b = quadrants();
    auto topRight = b->croppedToRect(Rect(2, 0, 2, 2));
    ASSERT_NE(topRight, nullptr);
    EXPECT_EQ(rowsOf(*topRight), (std::vector<std::vector<Pixel>>{{kGreen, kGreen}, {kGreen, kGreen}}));
    auto overhanging = b->croppedToRect(Rect(3, 3, 5, 5));
    ASSERT_NE(overhanging, nullptr);
    EXPECT_EQ(rowsOf(*overhanging), (std::vector<std::vector<Pixel>>{{kWhite}}));
    auto fractional = b->croppedToRect(Rect(1.5f, 0.5f, 1, 1));  // made integral: 1..3 x 0..2
    ASSERT_NE(fractional, nullptr);
    EXPECT_EQ(rowsOf(*fractional), (std::vector<std::vector<Pixel>>{{kRed, kGreen}, {kRed, kGreen}}));
    EXPECT_EQ(b->croppedToRect(Rect(4, 0, 2, 2)), nullptr);
}

TEST_F(ImageTest, ScalingAveragesAreasWhenShrinkingAndKeepsBlocksWhenGrowing) {
    auto half = quadrants()->scaledToSize(2, 2);
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(rowsOf(*half), (std::vector<std::vector<Pixel>>{{kRed, kGreen}, {kBlue, kWhite}}));

    auto stripes = bitmapOf({{kBlack, kWhite, kBlack, kWhite}});
    auto grey = stripes->scaledToSize(2, 1);
    expectNear(grey->pixel(0, 0), Pixel{128, 128, 128, 255}, 1);

    auto doubled = bitmapOf({{kRed, kBlue}})->scaledToSize(8, 1);
    ASSERT_NE(doubled, nullptr);
    EXPECT_EQ(doubled->pixel(0, 0), kRed);
    EXPECT_EQ(doubled->pixel(7, 0), kBlue);
    EXPECT_EQ(quadrants()->scaledToSize(0, 3), nullptr);
}

TEST_F(ImageTest, DrawingIntoASmallerRectangleScalesThePicture) {
    auto image = Image::imageWithBitmap(quadrants());
    EXPECT_EQ(rowsOf(*render(*image, Size{2, 2})), (std::vector<std::vector<Pixel>>{{kRed, kGreen}, {kBlue, kWhite}}));
}

TEST_F(ImageTest, EveryOrientationDrawsUprightAndEncodesUpright) {
    const Pixel A{10, 0, 0, 255}, B{20, 0, 0, 255}, C{30, 0, 0, 255}, D{40, 0, 0, 255}, E{50, 0, 0, 255},
        F{60, 0, 0, 255};
    auto stored = bitmapOf({{A, B, C}, {D, E, F}});
    using O = Image::Orientation;
    struct Case {
        O orientation;
        std::vector<std::vector<Pixel>> shown;
    };
    const std::vector<Case> cases = {
        {O::Up, {{A, B, C}, {D, E, F}}},
        {O::Down, {{F, E, D}, {C, B, A}}},
        {O::Left, {{C, F}, {B, E}, {A, D}}},
        {O::Right, {{D, A}, {E, B}, {F, C}}},
        {O::UpMirrored, {{C, B, A}, {F, E, D}}},
        {O::DownMirrored, {{D, E, F}, {A, B, C}}},
        {O::LeftMirrored, {{A, D}, {B, E}, {C, F}}},
        {O::RightMirrored, {{F, C}, {E, B}, {D, A}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.orientation));
        auto image = Image::imageWithBitmap(stored, 1, c.orientation);
        Size size = image->size();
        EXPECT_EQ(size, (Size{static_cast<float>(c.shown[0].size()), static_cast<float>(c.shown.size())}));
        EXPECT_EQ(rowsOf(*render(*image, size)), c.shown);
        EXPECT_EQ(rowsOf(*image->uprightBitmap()), c.shown);
        // Encoding keeps the turn: a reader that knows nothing of orientation
        // sees the picture upright.
        auto decoded = Image::imageWithData(image->pngRepresentation());
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(rowsOf(*decoded->bitmap()), c.shown);
    }
}

TEST_F(ImageTest, StretchableImageKeepsItsCapsAndStretchesTheMiddle) {
    const Pixel M{100, 100, 100, 255};
    auto image = Image::imageWithBitmap(bitmapOf({{kRed, kGreen, kBlue}, {kGreen, M, kGreen}, {kBlue, kGreen, kRed}}));
    auto stretchable = image->stretchableImageWithLeftCapWidthTopCapHeight(1, 1);
    EXPECT_EQ(stretchable->leftCapWidth(), 1);
    EXPECT_EQ(stretchable->topCapHeight(), 1);
    EXPECT_EQ(stretchable->capInsets(), (EdgeInsets{1, 1, 1, 1}));
    EXPECT_EQ(stretchable->size(), image->size());

    auto out = render(*stretchable, Size{6, 5});
    EXPECT_EQ(out->pixel(0, 0), kRed);
    EXPECT_EQ(out->pixel(5, 0), kBlue);
    EXPECT_EQ(out->pixel(0, 4), kBlue);
    EXPECT_EQ(out->pixel(5, 4), kRed);
    for (int x = 1; x <= 4; ++x) EXPECT_EQ(out->pixel(x, 0), kGreen) << x;
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 4; ++x) EXPECT_EQ(out->pixel(x, y), M) << x << "," << y;

    auto resizable = image->resizableImageWithCapInsets(EdgeInsets{1, 1, 1, 1});
    EXPECT_TRUE(resizable->isResizable());
    EXPECT_EQ(rowsOf(*render(*resizable, Size{6, 5})), rowsOf(*out));
    // A left cap of 0 stretches the whole width.
    EXPECT_EQ(image->stretchableImageWithLeftCapWidthTopCapHeight(0, 1)->capInsets(), (EdgeInsets{1, 0, 1, 0}));
}

TEST_F(ImageTest, FilesAndBundleResourcesPickTheirScale) {
    std::filesystem::path bundle = home() / "bundle";
    std::filesystem::create_directories(bundle / "icons.bundle");
    auto write = [](const std::filesystem::path& path, const Data& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    write(bundle / "pic.png", bitmapOf({{kRed, kRed}})->pngData());
    write(bundle / "pic@2x.png", bitmapOf({{kBlue, kBlue, kBlue, kBlue}, {kBlue, kBlue, kBlue, kBlue}})->pngData());
    write(bundle / "icons.bundle" / "dot.png", bitmapOf({{kGreen}})->pngData());
    BundleDirectory useBundle(bundle);

    auto file = Image::imageWithContentsOfFile((bundle / "pic@2x.png").string());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->scale(), 2.0f);
    EXPECT_EQ(file->size(), (Size{2, 1}));

    auto plain = Image::imageNamed("pic.png");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->scale(), 1.0f);
    EXPECT_EQ(plain->bitmap()->pixel(0, 0), kRed);
    EXPECT_EQ(Image::imageNamed("pic"), plain);  // ".png" assumed, and cached
    ASSERT_NE(Image::imageNamed("icons.bundle/dot.png"), nullptr);
    EXPECT_EQ(Image::imageNamed("nothing.png"), nullptr);

    Screen::mainScreen()->setScale(2);
    auto retina = Image::imageNamed("pic.png");
    ASSERT_NE(retina, nullptr);
    EXPECT_EQ(retina->scale(), 2.0f);
    EXPECT_EQ(retina->size(), (Size{2, 1}));
    EXPECT_EQ(retina->bitmap()->pixel(0, 0), kBlue);
}

TEST_F(ImageTest, KeyedArchiveKeepsPixelsScaleAndCaps) {
    auto image = Image::imageWithBitmap(quadrants(), 2)->resizableImageWithCapInsets(EdgeInsets{1, 0.5f, 1, 0.5f});
    auto archive = KeyedArchiver::archivedData(Value(std::static_pointer_cast<Object>(image)));
    ASSERT_TRUE(archive);
    auto back = KeyedUnarchiver::unarchivedObject(*archive, {Image::kClassName});
    ASSERT_TRUE(back);
    auto decoded = back->objectAs<Image>();
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->isEqual(*image));
    EXPECT_EQ(decoded->size(), (Size{2, 2}));
    EXPECT_EQ(decoded->capInsets(), (EdgeInsets{1, 0.5f, 1, 0.5f}));
}

}  // namespace
}  // namespace clipora::platform
