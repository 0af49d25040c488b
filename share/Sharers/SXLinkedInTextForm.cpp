#include "share/Sharers/SXLinkedInTextForm.h"

#include "platform/foundation/Text.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TextView.h"
#include "share/Core/SXStrings.h"

namespace clipora {

void SXLinkedInTextForm::loadView() {
    SXFormControllerLargeTextField::loadView();
    auto bounds = view()->bounds();
    counter_ =
        std::make_shared<platform::Label>(platform::Rect(bounds.size.width - 165, bounds.size.height - 24, 150, 15));
    counter_->setFont(platform::Font::boldSystemFontOfSize(14));
    counter_->setTextAlignment(platform::TextAlignmentRight);
    counter_->setBackgroundColor(platform::Color::clearColor());
    counter_->setAutoresizingMask(platform::View::AutoresizingFlexibleLeftMargin |
                                  platform::View::AutoresizingFlexibleTopMargin);
    view()->addSubview(counter_);
}

void SXLinkedInTextForm::viewWillAppear(bool animated) {
    SXFormControllerLargeTextField::viewWillAppear(animated);
    updateCounter();
}

std::size_t SXLinkedInTextForm::length() { return platform::Text::utf16Length(textView()->text()); }

void SXLinkedInTextForm::updateCounter() {
    if (!counter_) return;
    auto left = kMaxLength - static_cast<long long>(length());
    counter_->setText(platform::Text::format("%lld", left));
    counter_->setTextColor(left < 0 ? platform::Color::redColor() : platform::Color::blackColor());
}

void SXLinkedInTextForm::textViewDidChange(const std::shared_ptr<platform::TextView>& textView) {
    SXFormControllerLargeTextField::textViewDidChange(textView);
    updateCounter();
}

void SXLinkedInTextForm::save() {
    if (length() > static_cast<std::size_t>(kMaxLength)) {
        auto alert = std::make_shared<platform::AlertView>(
            localizedShareString("Message is too long"),
            localizedShareString("LinkedIn posts can only be 700 characters in length."),
            std::weak_ptr<platform::AlertViewDelegate>(), localizedShareString("Close"));
        alert->show();
        return;
    }
    sendText();
}

}  // namespace clipora
