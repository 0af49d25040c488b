#include "platform/uikit/TextField.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Keyboard.h"

namespace clipora::platform {

namespace {
// Set while one text input hands the keyboard to another, so the keyboard
// does not hide and show again in between.
bool& handingOver() {
    static bool flag = false;
    return flag;
}
}  // namespace

TextField::TextField() : TextField(Rect{}) {}

TextField::TextField(Rect frame) : Control(frame) {}

std::string TextField::displayedText() const {
    if (!secure_) return text_;
    std::string bullets;
    for (std::size_t i = 0, n = Text::utf16Length(text_); i < n; ++i) bullets += "\u2022";
    return bullets;
}

void TextField::postNotification(const char* name) {
    NotificationCenter::defaultCenter().post(name, Value(std::shared_ptr<Object>(shared_from_this())));
}

bool TextField::canBecomeFirstResponder() const { return isEnabled(); }

bool TextField::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    auto self = std::static_pointer_cast<TextField>(shared_from_this());
    if (auto d = delegate_.lock(); d && !d->textFieldShouldBeginEditing(self)) return false;
    handingOver() = true;
    bool became = Control::becomeFirstResponder();
    handingOver() = false;
    if (!became) return false;
    editing_ = true;
    if (clearsOnBeginEditing_) text_.clear();
    if (auto d = delegate_.lock()) d->textFieldDidBeginEditing(self);
    sendActionsForControlEvents(EventEditingDidBegin);
    postNotification(kTextDidBeginEditingNotification);
    Keyboard::show();
    return true;
}

bool TextField::resignFirstResponder() {
    if (!isFirstResponder()) return Control::resignFirstResponder();
    auto self = std::static_pointer_cast<TextField>(shared_from_this());
    if (auto d = delegate_.lock(); d && !d->textFieldShouldEndEditing(self)) return false;
    if (!Control::resignFirstResponder()) return false;
    editing_ = false;
    if (auto d = delegate_.lock()) d->textFieldDidEndEditing(self);
    sendActionsForControlEvents(EventEditingDidEnd);
    postNotification(kTextDidEndEditingNotification);
    if (!handingOver() && !Responder::firstResponder()) Keyboard::hide();
    return true;
}

bool TextField::tap() {
    if (!acceptsTouches()) return false;
    auto keep = shared_from_this();
    sendActionsForControlEvents(EventTouchDown);
    sendActionsForControlEvents(EventTouchUpInside);
    becomeFirstResponder();
    return true;
}

bool TextField::replace(TextRange range, const std::string& replacement) {
    auto self = std::static_pointer_cast<TextField>(shared_from_this());
    if (auto d = delegate_.lock();
        d && !d->textFieldShouldChangeCharactersInRangeReplacementString(self, range, replacement))
        return false;
    std::string before = Text::utf16Prefix(text_, range.location);
    std::string upToEnd = Text::utf16Prefix(text_, range.location + range.length);
    text_ = before + replacement + text_.substr(upToEnd.size());
    sendActionsForControlEvents(EventEditingChanged);
    postNotification(kTextDidChangeNotification);
    return true;
}

bool TextField::typeText(const std::string& text) {
    if (!editing_ && !tap()) return false;
    if (!editing_) return false;
    auto keep = shared_from_this();
    auto codePoints = Text::decodeUTF8(text);
    if (!codePoints) return false;
    for (char32_t c : *codePoints) {
        if (!editing_) break;
        replace({Text::utf16Length(text_), 0}, Text::encodeUTF8(c));
    }
    return true;
}

bool TextField::deleteBackward() {
    if (!editing_ || text_.empty()) return false;
    auto keep = shared_from_this();
    auto codePoints = Text::decodeUTF8(text_);
    if (!codePoints || codePoints->empty()) return false;
    std::string last = Text::encodeUTF8(codePoints->back());
    std::size_t length = Text::utf16Length(last);
    return replace({Text::utf16Length(text_) - length, length}, "");
}

bool TextField::tapClearButton() {
    auto self = std::static_pointer_cast<TextField>(shared_from_this());
    if (auto d = delegate_.lock(); d && !d->textFieldShouldClear(self)) return false;
    text_.clear();
    if (editing_) {
        sendActionsForControlEvents(EventEditingChanged);
        postNotification(kTextDidChangeNotification);
    }
    return true;
}

bool TextField::pressReturn() {
    if (!editing_) return false;
    auto self = std::static_pointer_cast<TextField>(shared_from_this());
    bool should = true;
    if (auto d = delegate_.lock()) should = d->textFieldShouldReturn(self);
    if (!should) return false;
    bool hasExitActions = actionCountForControlEvents(EventEditingDidEndOnExit) > 0;
    sendActionsForControlEvents(EventEditingDidEndOnExit);
    if (hasExitActions) resignFirstResponder();
    return true;
}

}  // namespace clipora::platform
