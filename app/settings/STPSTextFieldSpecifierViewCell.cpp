#include "app/settings/STPSTextFieldSpecifierViewCell.h"

#include <algorithm>

namespace clipora {

using namespace platform;

std::shared_ptr<STPSTextFieldSpecifierViewCell> STPSTextFieldSpecifierViewCell::create(std::string reuseIdentifier) {
    auto cell = std::make_shared<STPSTextFieldSpecifierViewCell>(std::move(reuseIdentifier));
    cell->build();
    return cell;
}

STPSTextFieldSpecifierViewCell::STPSTextFieldSpecifierViewCell(std::string reuseIdentifier)
    : TableViewCell(CellStyleDefault, std::move(reuseIdentifier)) {}

void STPSTextFieldSpecifierViewCell::build() {
    setFrame(Rect(0, 0, 300, 44));
    auto content = contentView();
    label_ = std::make_shared<Label>(Rect(10, 11, 140, 21));
    label_->setFont(Font::boldSystemFontOfSize(17));
    textField_ = std::make_shared<STTextField>(Rect(112, 11, 178, 21));
    content->addSubview(label_);
    content->addSubview(textField_);
    setSelectionStyle(SelectionStyleNone);
}

void STPSTextFieldSpecifierViewCell::layoutSubviews() {
    TableViewCell::layoutSubviews();
    const Rect labelFrame = label_->frame();
    const float fitting = label_->sizeThatFits(Size{0, 0}).width;
    const float width = std::min(fitting, labelFrame.size.width);
    Rect fieldFrame = textField_->frame();
    fieldFrame.origin.x =
        label_->text().empty() ? labelFrame.origin.x : labelFrame.origin.x + std::max(width, kMinimumLabelWidth) + 5;
    auto parent = textField_->superview();
    const float parentWidth = parent ? parent->bounds().size.width : frame().size.width;
    fieldFrame.size.width = parentWidth - fieldFrame.origin.x - labelFrame.origin.x;
    textField_->setFrame(fieldFrame);
}

}  // namespace clipora
