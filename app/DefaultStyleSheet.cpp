#include "app/DefaultStyleSheet.h"

#include "app/Utility.h"

namespace clipora {

using namespace platform;

std::shared_ptr<DefaultStyleSheet> DefaultStyleSheet::globalStyleSheet() {
    static const auto sheet = std::make_shared<DefaultStyleSheet>();
    return sheet;
}

Color DefaultStyleSheet::myHeadingColor() const { return Color::grayColor(); }

Color DefaultStyleSheet::mySubtextColor() const { return Utility::getColor("6B912F"); }

Color DefaultStyleSheet::sectionHeaderTextColor() const { return Utility::getColor("A3A3A3"); }

Font DefaultStyleSheet::myHeadingFont() const { return Font::boldSystemFontOfSize(16); }

Font DefaultStyleSheet::mySubtextFont() const { return Font::systemFontOfSize(13); }

}  // namespace clipora
