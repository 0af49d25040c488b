#include "app/settings/STPSTitleValueSpecifierViewCell.h"

#include <algorithm>

#include "app/settings/STSpecifier.h"
#include "platform/uikit/Label.h"

namespace clipora {

using namespace platform;

void STPSTitleValueSpecifierViewCell::layoutSubviews() {
    auto text = textLabel();
    auto detail = detailTextLabel();
    if (text->text().empty() && detail) {
        text->setText(detail->text());
        detail->setText("");
        if (reuseIdentifier() == STSpecifier::kMultiValue) {
            text->setFont(Font::systemFontOfSize(Font::labelFontSize()));
            text->setTextColor(detail->textColor());
        }
    }
    TableViewCell::layoutSubviews();

    auto parent = text->superview();
    if (!parent) return;
    const float H = parent->bounds().size.height - 2;
    const float W = parent->bounds().size.width;
    const bool hasDetail = detail && !detail->text().empty();
    const float textWidth = std::min(text->sizeThatFits(Size{0, 0}).width, W - 9 - 10 - (hasDetail ? 40.0f : 0.0f));
    text->setFrame(Rect(9, 0, textWidth, H));
    if (hasDetail) {
        const float x = textWidth + 9 + 5;
        detail->setFrame(Rect(x, 0, W - x - 10, H));
    }
}

}  // namespace clipora
