#pragma once

#include <memory>
#include <string>

namespace clipora::platform {

class Image;

// A colour: red, green, blue and alpha components from 0 to 1, or a pattern
// that tiles an image (whose components then read as opaque black). A value
// type; a pattern colour shares its image.
class Color {
public:
    // Opaque black.
    Color() = default;

    static Color colorWithRedGreenBlueAlpha(float red, float green, float blue, float alpha);
    static Color colorWithWhiteAlpha(float white, float alpha);
    static Color colorWithPatternImage(std::shared_ptr<Image> image);

    static Color blackColor();
    static Color darkGrayColor();   // white 1/3
    static Color lightGrayColor();  // white 2/3
    static Color whiteColor();
    static Color grayColor();  // white 1/2
    static Color redColor();
    static Color greenColor();
    static Color blueColor();
    static Color cyanColor();
    static Color yellowColor();
    static Color magentaColor();
    static Color orangeColor();     // 1, 0.5, 0
    static Color purpleColor();     // 0.5, 0, 0.5
    static Color brownColor();      // 0.6, 0.4, 0.2
    static Color clearColor();      // white 0, alpha 0
    static Color darkTextColor();   // black
    static Color lightTextColor();  // white, alpha 0.6
    static Color groupTableViewBackgroundColor();

    float red() const { return red_; }
    float green() const { return green_; }
    float blue() const { return blue_; }
    float alpha() const { return alpha_; }
    // The image a pattern colour tiles; null for a plain colour.
    const std::shared_ptr<Image>& patternImage() const { return pattern_; }
    bool isPattern() const { return pattern_ != nullptr; }

    // The same colour with another alpha.
    Color colorWithAlphaComponent(float alpha) const;

    // "RGBA r g b a" (components with up to three decimals) or "pattern".
    std::string description() const;

    // Components equal and the same pattern image (by identity).
    friend bool operator==(const Color& x, const Color& y);
    friend bool operator!=(const Color& x, const Color& y) { return !(x == y); }

private:
    Color(float r, float g, float b, float a) : red_(r), green_(g), blue_(b), alpha_(a) {}

    float red_ = 0;
    float green_ = 0;
    float blue_ = 0;
    float alpha_ = 1;
    std::shared_ptr<Image> pattern_;
};

}  // namespace clipora::platform
