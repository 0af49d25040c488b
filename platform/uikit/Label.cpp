#include "platform/uikit/Label.h"

namespace clipora::platform {

Label::Label() : Label(Rect{}) {}

Label::Label(Rect frame) : View(frame) { setUserInteractionEnabled(false); }

void Label::setText(std::string text) {
    text_ = std::move(text);
    setNeedsDisplay();
}

Size Label::sizeThatFits(Size size) const {
    if (numberOfLines_ == 1) return font_.sizeOfText(text_);
    float maxHeight = numberOfLines_ > 0 ? font_.lineHeight() * static_cast<float>(numberOfLines_) : 0;
    return font_.sizeOfTextConstrainedToSize(text_, {size.width, maxHeight}, LineBreakModeWordWrap);
}

}  // namespace clipora::platform
