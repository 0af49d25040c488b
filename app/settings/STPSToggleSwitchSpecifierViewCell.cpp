#include "app/settings/STPSToggleSwitchSpecifierViewCell.h"

namespace clipora {

using namespace platform;

std::shared_ptr<STPSToggleSwitchSpecifierViewCell> STPSToggleSwitchSpecifierViewCell::create(
    std::string reuseIdentifier) {
    auto cell = std::make_shared<STPSToggleSwitchSpecifierViewCell>(std::move(reuseIdentifier));
    cell->build();
    return cell;
}

STPSToggleSwitchSpecifierViewCell::STPSToggleSwitchSpecifierViewCell(std::string reuseIdentifier)
    : TableViewCell(CellStyleDefault, std::move(reuseIdentifier)) {}

void STPSToggleSwitchSpecifierViewCell::build() {
    setFrame(Rect(0, 0, 300, 44));
    auto content = contentView();
    label_ = std::make_shared<Label>(Rect(10, 11, 190, 21));
    label_->setFont(Font::boldSystemFontOfSize(17));
    label_->setAutoresizingMask(View::AutoresizingFlexibleWidth);
    toggle_ = std::make_shared<STSwitch>(Rect(300 - 10 - Switch::kWidth, 8, Switch::kWidth, Switch::kHeight));
    toggle_->setAutoresizingMask(View::AutoresizingFlexibleLeftMargin);
    content->addSubview(label_);
    content->addSubview(toggle_);
    setSelectionStyle(SelectionStyleNone);
}

}  // namespace clipora
