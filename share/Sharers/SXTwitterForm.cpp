#include "share/Sharers/SXTwitterForm.h"

#include "platform/foundation/Text.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Label.h"
#include "share/Core/SXStrings.h"

namespace clipora {

long SXTwitterForm::remaining() {
    return static_cast<long>(limit()) - static_cast<long>(platform::Text::utf16Length(textView()->text()));
}

void SXTwitterForm::keyboardWillShow(const platform::Notification& notification) {
    SXFormControllerLargeTextField::keyboardWillShow(notification);
    layoutCounter();
}

void SXTwitterForm::updateCounter() {
    if (!counter_) {
        counter_ = std::make_shared<platform::Label>(platform::Rect{});
        counter_->setBackgroundColor(platform::Color::clearColor());
        counter_->setOpaque(false);
        counter_->setFont(platform::Font::boldSystemFontOfSize(14));
        counter_->setTextAlignment(platform::TextAlignmentRight);
        counter_->setAutoresizingMask(platform::View::AutoresizingFlexibleLeftMargin |
                                      platform::View::AutoresizingFlexibleTopMargin);
        view()->addSubview(counter_);
        layoutCounter();
    }
    const long left = remaining();
    counter_->setText(
        platform::Text::format("%@%i", hasAttachment_ ? localizedShareString("Image + ") : std::string(), left));
    counter_->setTextColor(left < 0 ? platform::Color::redColor() : platform::Color::blackColor());
}

void SXTwitterForm::layoutCounter() {
    if (!counter_) return;
    const auto frame = textView()->frame();
    counter_->setFrame({frame.size.width - 150 - 15, frame.size.height - 15 - 9, 150, 15});
}

void SXTwitterForm::save() {
    if (remaining() < 0) {
        auto alert = std::make_shared<platform::AlertView>(
            localizedShareString("Message is too long"),
            localizedShareString("Twitter posts can only be 140 characters in length."),
            std::weak_ptr<platform::AlertViewDelegate>(), localizedShareString("Close"));
        alert->show();
        return;
    }
    sendText();
}

}  // namespace clipora
