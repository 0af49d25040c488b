#include "app/AlbumCell.h"

#include "app/DefaultStyleSheet.h"
#include "platform/foundation/EdgeInsets.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"

namespace clipora {

using namespace platform;

AlbumCell::AlbumCell(std::string reuseIdentifier) : TableViewCell(CellStyleSubtitle, std::move(reuseIdentifier)) {}

std::shared_ptr<AlbumCell> AlbumCell::create() {
    auto cell = std::make_shared<AlbumCell>();
    cell->setUpAppearance();
    return cell;
}

void AlbumCell::setUpAppearance() {
    auto background = Image::imageNamed("table_cell_bg.png");
    auto selected = Image::imageNamed("table_cell_bg_selected.png");
    if (Device::currentDevice()->userInterfaceIdiom() == Device::UserInterfaceIdiomPad) {
        if (background) background = background->resizableImageWithCapInsets(EdgeInsets{8, 40, 30, 40});
        if (selected) selected = selected->resizableImageWithCapInsets(EdgeInsets{8, 40, 8, 40});
    }
    setBackgroundView(std::make_shared<ImageView>(background));
    setSelectedBackgroundView(std::make_shared<ImageView>(selected));
    setAccessoryType(AccessoryDisclosureIndicator);

    auto sheet = DefaultStyleSheet::globalStyleSheet();
    auto title = textLabel();
    title->setTextColor(sheet->myHeadingColor());
    title->setFont(sheet->myHeadingFont());
    title->setTextAlignment(TextAlignmentLeft);
    title->setContentMode(View::ContentModeTop);
    title->setLineBreakMode(LineBreakModeWordWrap);
    title->setNumberOfLines(1);
    auto detail = detailTextLabel();
    detail->setTextColor(sheet->mySubtextColor());
    detail->setFont(sheet->mySubtextFont());
    detail->setTextAlignment(TextAlignmentLeft);
    detail->setContentMode(View::ContentModeTop);
    detail->setLineBreakMode(LineBreakModeWordWrap);
    detail->setNumberOfLines(0);
}

}  // namespace clipora
