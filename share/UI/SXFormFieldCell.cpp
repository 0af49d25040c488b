#include "share/UI/SXFormFieldCell.h"

#include <cmath>

#include "platform/uikit/Switch.h"
#include "platform/uikit/TextField.h"
#include "share/UI/SXFormController.h"
#include "share/UI/SXFormFieldSettings.h"

namespace clipora {

using platform::Rect;
using platform::TextField;

SXFormFieldCell::SXFormFieldCell(CellStyle style, std::string reuseIdentifier)
    : TableViewCell(style, std::move(reuseIdentifier)) {}

void SXFormFieldCell::setSettings(std::shared_ptr<SXFormFieldSettings> settings) {
    settings_ = std::move(settings);
    setNeedsLayout();
}

std::shared_ptr<TextField> SXFormFieldCell::getTextField() {
    if (!textField_) {
        textField_ = std::make_shared<TextField>(Rect(0, 0, 0, 25));
        textField_->setClearsOnBeginEditing(false);
        textField_->setReturnKeyType(TextField::ReturnKeyDone);
        textField_->setFont(platform::Font::systemFontOfSize(17));
        textField_->setTextColor(platform::Color::darkGrayColor());
        if (auto form = form_.lock()) textField_->setDelegate(form->sharedAs<platform::TextFieldDelegate>());
        contentView()->addSubview(textField_);
        setValue(tmpValue_);
    }
    return textField_;
}

void SXFormFieldCell::setValue(const std::optional<std::string>& value) {
    tmpValue_ = value;
    if (!settings_) return;
    switch (settings_->type()) {
    case SXFormFieldSettings::SXFormFieldTypeText:
    case SXFormFieldSettings::SXFormFieldTypeTextNoCorrect:
    case SXFormFieldSettings::SXFormFieldTypePassword: getTextField()->setText(value.value_or("")); break;
    case SXFormFieldSettings::SXFormFieldTypeSwitch:
        if (toggle_) toggle_->setOnAnimated(value && *value == "1", false);
        break;
    default: break;
    }
}

std::optional<std::string> SXFormFieldCell::getValue() {
    if (settings_ && settings_->type() == SXFormFieldSettings::SXFormFieldTypeSwitch) {
        if (toggle_) return std::string(toggle_->isOn() ? "1" : "0");
        return std::string(tmpValue_ && *tmpValue_ == "1" ? "1" : "0");
    }
    if (textField_) return textField_->text();
    return tmpValue_;
}

void SXFormFieldCell::setSelectedAnimated(bool selected, bool animated) {
    // The row shows no highlight of its own: selecting it focuses the field.
    (void)animated;
    if (!textField_) return;
    if (selected) {
        textField_->becomeFirstResponder();
    } else {
        textField_->resignFirstResponder();
    }
}

void SXFormFieldCell::layoutSubviews() {
    TableViewCell::layoutSubviews();
    if (!settings_) return;
    auto size = contentView()->bounds().size;
    float w = size.width;
    float h = size.height;
    switch (settings_->type()) {
    case SXFormFieldSettings::SXFormFieldTypeText:
    case SXFormFieldSettings::SXFormFieldTypeTextNoCorrect:
    case SXFormFieldSettings::SXFormFieldTypePassword: {
        auto field = getTextField();
        if (!field->superview()) contentView()->addSubview(field);
        field->setSecureTextEntry(settings_->type() == SXFormFieldSettings::SXFormFieldTypePassword);
        if (settings_->type() != SXFormFieldSettings::SXFormFieldTypeText) {
            field->setAutocapitalizationType(TextField::AutocapitalizationNone);
            field->setAutocorrectionType(TextField::AutocorrectionNo);
        }
        float fieldHeight = field->frame().size.height;
        field->setFrame(
            Rect(labelWidth_ + 24, std::round(h / 2 - fieldHeight / 2) + 2, w - 10 - 24 - labelWidth_, fieldHeight));
        if (toggle_) toggle_->removeFromSuperview();
        break;
    }
    case SXFormFieldSettings::SXFormFieldTypeSwitch: {
        if (!toggle_) {
            toggle_ = std::make_shared<platform::Switch>();
            contentView()->addSubview(toggle_);
            setValue(tmpValue_);
        }
        if (!toggle_->superview()) contentView()->addSubview(toggle_);
        toggle_->setFrame(Rect(w - platform::Switch::kWidth - 10, std::round(h / 2 - platform::Switch::kHeight / 2),
                               platform::Switch::kWidth, platform::Switch::kHeight));
        if (textField_) textField_->removeFromSuperview();
        break;
    }
    default: break;
    }
    if (textField_ && textField_->superview()) contentView()->bringSubviewToFront(textField_);
}

}  // namespace clipora
