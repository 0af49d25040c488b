#include "app/settings/STPSSliderSpecifierViewCell.h"

namespace clipora {

using namespace platform;

std::shared_ptr<STPSSliderSpecifierViewCell> STPSSliderSpecifierViewCell::create(std::string reuseIdentifier) {
    auto cell = std::make_shared<STPSSliderSpecifierViewCell>(std::move(reuseIdentifier));
    cell->build();
    return cell;
}

STPSSliderSpecifierViewCell::STPSSliderSpecifierViewCell(std::string reuseIdentifier)
    : TableViewCell(CellStyleDefault, std::move(reuseIdentifier)) {}

void STPSSliderSpecifierViewCell::build() {
    setFrame(Rect(0, 0, 300, 44));
    auto content = contentView();
    minImage_ = std::make_shared<ImageView>(Rect(9, 11, 21, 21));
    maxImage_ = std::make_shared<ImageView>(Rect(270, 11, 21, 21));
    maxImage_->setAutoresizingMask(View::AutoresizingFlexibleLeftMargin);
    slider_ = std::make_shared<STSlider>(Rect(11, 11, 278, 23));
    content->addSubview(minImage_);
    content->addSubview(slider_);
    content->addSubview(maxImage_);
    setSelectionStyle(SelectionStyleNone);
}

void STPSSliderSpecifierViewCell::prepareForReuse() {
    TableViewCell::prepareForReuse();
    minImage_->setImage(nullptr);
    maxImage_->setImage(nullptr);
}

void STPSSliderSpecifierViewCell::layoutSubviews() {
    TableViewCell::layoutSubviews();
    auto parent = slider_->superview();
    const float W = parent ? parent->bounds().size.width : frame().size.width;
    const bool hasMin = minImage_->image() != nullptr;
    const bool hasMax = maxImage_->image() != nullptr;
    Point center = slider_->center();
    center.x = W / 2;
    float width = W - 22;
    minImage_->setHidden(!hasMin);
    maxImage_->setHidden(!hasMax);
    if (hasMin && hasMax) {
        width = W - 86;
    } else if (hasMin) {
        width = W - 54;
        center.x += 16;
    } else if (hasMax) {
        width = W - 54;
        center.x -= 16;
    }
    Rect bounds = slider_->bounds();
    bounds.size.width = width;
    slider_->setBounds(bounds);
    slider_->setCenter(center);
}

}  // namespace clipora
