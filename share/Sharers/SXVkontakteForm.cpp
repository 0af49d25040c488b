#include "share/Sharers/SXVkontakteForm.h"

#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Keyboard.h"

namespace clipora {

void SXVkontakteForm::keyboardWillShow(const platform::Notification& notification) {
    const platform::Value* bounds = notification.userInfo.find(platform::Keyboard::kBoundsUserInfoKey);
    auto rect = bounds ? platform::GeometryValue::rectFrom(*bounds) : std::nullopt;
    if (rect) fitTextViewAboveKeyboardHeight(rect->size.height);
}

}  // namespace clipora
