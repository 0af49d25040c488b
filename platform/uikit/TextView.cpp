#include "platform/uikit/TextView.h"

#include "platform/foundation/Text.h"
#include "platform/uikit/Keyboard.h"

namespace clipora::platform {

bool TextView::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    auto keep = self();
    if (auto d = delegate_.lock(); d && !d->textViewShouldBeginEditing(keep)) return false;
    if (!View::becomeFirstResponder()) return false;
    editing_ = true;
    if (auto d = delegate_.lock()) d->textViewDidBeginEditing(keep);
    Keyboard::show();
    return true;
}

bool TextView::resignFirstResponder() {
    if (!isFirstResponder()) return View::resignFirstResponder();
    auto keep = self();
    if (!View::resignFirstResponder()) return false;
    editing_ = false;
    if (auto d = delegate_.lock()) d->textViewDidEndEditing(keep);
    if (!Responder::firstResponder()) Keyboard::hide();
    return true;
}

bool TextView::typeText(const std::string& text) {
    if (!editing_ && !becomeFirstResponder()) return false;
    auto keep = self();
    auto codePoints = Text::decodeUTF8(text);
    if (!codePoints) return false;
    for (char32_t c : *codePoints) {
        if (!editing_) break;
        text_ += Text::encodeUTF8(c);
        if (auto d = delegate_.lock()) d->textViewDidChange(keep);
    }
    return true;
}

bool TextView::deleteBackward() {
    if (!editing_ || text_.empty()) return false;
    auto keep = self();
    auto codePoints = Text::decodeUTF8(text_);
    if (!codePoints || codePoints->empty()) return false;
    text_.resize(text_.size() - Text::encodeUTF8(codePoints->back()).size());
    if (auto d = delegate_.lock()) d->textViewDidChange(keep);
    return true;
}

}  // namespace clipora::platform
