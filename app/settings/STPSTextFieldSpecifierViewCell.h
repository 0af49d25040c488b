#pragma once

#include <memory>

#include "app/settings/STTextField.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableViewCell.h"

namespace clipora {

// A row with a title and an editable field beside it. The field starts where
// the title ends (at least 97 points after the title's left edge, 5 points
// apart) and fills the rest; without a title it takes the whole row.
class STPSTextFieldSpecifierViewCell : public platform::TableViewCell {
public:
    static constexpr float kMinimumLabelWidth = 97;

    // A cell with its controls (they go into the content view, which needs
    // the cell to be shared first).
    static std::shared_ptr<STPSTextFieldSpecifierViewCell> create(std::string reuseIdentifier);
    explicit STPSTextFieldSpecifierViewCell(std::string reuseIdentifier);

    const std::shared_ptr<platform::Label>& label() const { return label_; }
    const std::shared_ptr<STTextField>& textField() const { return textField_; }

    void layoutSubviews() override;
    std::string className() const override { return "STPSTextFieldSpecifierViewCell"; }

private:
    void build();
    std::shared_ptr<platform::Label> label_;
    std::shared_ptr<STTextField> textField_;
};

}  // namespace clipora
