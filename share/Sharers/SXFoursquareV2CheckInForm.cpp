#include "share/Sharers/SXFoursquareV2CheckInForm.h"

#include "platform/uikit/AlertView.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/TextView.h"
#include "share/Core/SXItem.h"
#include "share/Core/SXStrings.h"
#include "share/Sharers/SXFoursquareV2.h"

namespace clipora {

std::shared_ptr<SXFoursquareV2CheckInForm> SXFoursquareV2CheckInForm::initWithDelegate(
    const std::shared_ptr<SXFoursquareV2>& delegate) {
    auto form = SXFormControllerLargeTextField::initWithDelegate<SXFoursquareV2CheckInForm>(
        std::static_pointer_cast<SXFormControllerLargeTextFieldDelegate>(delegate));
    form->sharer_ = delegate;
    form->setTitle(localizedShareString("Foursquare"));
    auto checkIn =
        std::make_shared<platform::BarButtonItem>(localizedShareString("Check In"), platform::BarButtonItem::StyleDone);
    checkIn->setTargetAction(form, &SXFoursquareV2CheckInForm::save);
    form->navigationItem()->setRightBarButtonItem(checkIn);
    return form;
}

void SXFoursquareV2CheckInForm::loadView() {
    SXTwitterForm::loadView();
    auto sharer = sharer_.lock();
    if (sharer && sharer->item() && sharer->item()->text()) textView()->setText(*sharer->item()->text());
}

void SXFoursquareV2CheckInForm::keyboardWillShow(const platform::Notification& notification) {
    const platform::Value* bounds = notification.userInfo.find(platform::Keyboard::kBoundsUserInfoKey);
    auto rect = bounds ? platform::GeometryValue::rectFrom(*bounds) : std::nullopt;
    if (!rect) return;
    fitTextViewAboveKeyboardHeight(rect->size.height);
    layoutCounter();
}

void SXFoursquareV2CheckInForm::save() {
    auto keep = sharedAs<SXFoursquareV2CheckInForm>();
    if (remaining() < 0) {
        auto alert = std::make_shared<platform::AlertView>(
            localizedShareString("Message is too long"),
            localizedShareString("Foursquare posts can only be 140 characters in length."),
            std::weak_ptr<platform::AlertViewDelegate>(), localizedShareString("Close"));
        alert->show();
        return;
    }
    if (!textView()->text().empty()) textView()->resignFirstResponder();
    sendText();
}

}  // namespace clipora
