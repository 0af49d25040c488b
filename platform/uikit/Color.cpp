#include "platform/uikit/Color.h"

#include <algorithm>
#include <cstdio>

namespace clipora::platform {

namespace {
float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
}  // namespace

Color Color::colorWithRedGreenBlueAlpha(float red, float green, float blue, float alpha) {
    return Color(clamp01(red), clamp01(green), clamp01(blue), clamp01(alpha));
}

Color Color::colorWithWhiteAlpha(float white, float alpha) {
    return colorWithRedGreenBlueAlpha(white, white, white, alpha);
}

Color Color::colorWithPatternImage(std::shared_ptr<Image> image) {
    Color c;
    c.pattern_ = std::move(image);
    return c;
}

Color Color::blackColor() { return colorWithWhiteAlpha(0, 1); }
Color Color::darkGrayColor() { return colorWithWhiteAlpha(1.0f / 3, 1); }
Color Color::lightGrayColor() { return colorWithWhiteAlpha(2.0f / 3, 1); }
Color Color::whiteColor() { return colorWithWhiteAlpha(1, 1); }
Color Color::grayColor() { return colorWithWhiteAlpha(0.5f, 1); }
Color Color::redColor() { return colorWithRedGreenBlueAlpha(1, 0, 0, 1); }
Color Color::greenColor() { return colorWithRedGreenBlueAlpha(0, 1, 0, 1); }
Color Color::blueColor() { return colorWithRedGreenBlueAlpha(0, 0, 1, 1); }
Color Color::cyanColor() { return colorWithRedGreenBlueAlpha(0, 1, 1, 1); }
Color Color::yellowColor() { return colorWithRedGreenBlueAlpha(1, 1, 0, 1); }
Color Color::magentaColor() { return colorWithRedGreenBlueAlpha(1, 0, 1, 1); }
Color Color::orangeColor() { return colorWithRedGreenBlueAlpha(1, 0.5f, 0, 1); }
Color Color::purpleColor() { return colorWithRedGreenBlueAlpha(0.5f, 0, 0.5f, 1); }
Color Color::brownColor() { return colorWithRedGreenBlueAlpha(0.6f, 0.4f, 0.2f, 1); }
Color Color::clearColor() { return colorWithWhiteAlpha(0, 0); }
Color Color::darkTextColor() { return blackColor(); }
Color Color::lightTextColor() { return colorWithWhiteAlpha(1, 0.6f); }
Color Color::groupTableViewBackgroundColor() { return colorWithRedGreenBlueAlpha(0.77f, 0.8f, 0.85f, 1); }

Color Color::colorWithAlphaComponent(float alpha) const {
    Color c = *this;
    c.alpha_ = clamp01(alpha);
    return c;
}

std::string Color::description() const {
    if (pattern_) return "pattern";
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "RGBA %.3g %.3g %.3g %.3g", red_, green_, blue_, alpha_);
    return buffer;
}

bool operator==(const Color& x, const Color& y) {
    return x.red_ == y.red_ && x.green_ == y.green_ && x.blue_ == y.blue_ && x.alpha_ == y.alpha_ &&
           x.pattern_ == y.pattern_;
}

}  // namespace clipora::platform
