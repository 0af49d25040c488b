#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/TableViewCell.h"

namespace clipora {

namespace platform {
class Switch;
class TextField;
}  // namespace platform

class SXFormController;
class SXFormFieldSettings;

// Draws one form row: its caption and a text field, a password field or a
// switch. Main thread only.
class SXFormFieldCell : public platform::TableViewCell {
public:
    SXFormFieldCell(CellStyle style, std::string reuseIdentifier);

    const std::shared_ptr<SXFormFieldSettings>& settings() const { return settings_; }
    // Replaces the settings and asks for a new layout.
    void setSettings(std::shared_ptr<SXFormFieldSettings> settings);
    float labelWidth() const { return labelWidth_; }
    void setLabelWidth(float width) { labelWidth_ = width; }
    // The text field, made on first call.
    std::shared_ptr<platform::TextField> getTextField();
    const std::shared_ptr<platform::TextField>& textFieldIfLoaded() const { return textField_; }
    const std::shared_ptr<platform::Switch>& toggle() const { return toggle_; }
    std::shared_ptr<SXFormController> form() const { return form_.lock(); }
    void setForm(std::weak_ptr<SXFormController> form) { form_ = std::move(form); }
    const std::optional<std::string>& tmpValue() const { return tmpValue_; }

    // Shows the value: the text of a text row; a switch row is on exactly
    // for "1".
    void setValue(const std::optional<std::string>& value);
    // "1" / "0" for a switch row, the text otherwise.
    std::optional<std::string> getValue();

    void setSelectedAnimated(bool selected, bool animated) override;
    void layoutSubviews() override;
    std::string className() const override { return "SXFormFieldCell"; }

private:
    std::shared_ptr<SXFormFieldSettings> settings_;
    float labelWidth_ = 0;
    std::shared_ptr<platform::TextField> textField_;
    std::shared_ptr<platform::Switch> toggle_;
    std::optional<std::string> tmpValue_;
    std::weak_ptr<SXFormController> form_;
};

}  // namespace clipora
