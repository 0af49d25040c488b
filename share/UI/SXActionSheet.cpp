#include "share/UI/SXActionSheet.h"

#include "share/Core/SX.h"
#include "share/Core/SXItem.h"
#include "share/Core/SXSharer.h"
#include "share/Core/SXSharerRegistry.h"
#include "share/UI/SXCustomActionSheet.h"
#include "share/UI/SXShareMenu.h"

namespace clipora {

SXActionSheet::SXActionSheet()
    : ActionSheet(localizedShareString("Share"), std::weak_ptr<platform::ActionSheetDelegate>(), std::nullopt,
                  std::nullopt) {}

std::shared_ptr<SXActionSheet> SXActionSheet::actionSheetForType(int shareType) {
    std::shared_ptr<SXActionSheet> sheet = std::make_shared<SXCustomActionSheet>();
    sheet->item_ = std::make_shared<SXItem>();
    sheet->item_->setShareType(shareType);
    for (const auto& id : SX::favoriteSharersForType(shareType)) {
        auto sharer = SXSharerRegistry::create(id);
        if (!sharer || !sharer->canShare()) continue;
        sheet->addButtonWithTitle(sharer->sharerTitle());
        sheet->sharers_.push_back(id);
    }
    sheet->addButtonWithTitle(localizedShareString("More..."));
    sheet->setCancelButtonIndex(sheet->addButtonWithTitle(localizedShareString("Cancel")));
    return sheet;
}

std::shared_ptr<SXActionSheet> SXActionSheet::actionSheetForItem(const std::shared_ptr<SXItem>& item) {
    auto sheet = actionSheetForType(item ? item->shareType() : 0);
    sheet->item_ = item;
    return sheet;
}

void SXActionSheet::dismissWithClickedButtonIndexAnimated(int index, bool animated) {
    auto keep = sharedAs<SXActionSheet>();
    if (index >= 0 && index < static_cast<int>(sharers_.size())) {
        if (auto sharer = SXSharerRegistry::create(sharers_[index])) {
            sharer->loadItem(item_);
            if (!shareDelegate_ || shareDelegate_->aboutToShareItemWithSharer(item_, sharer)) sharer->share();
        }
    } else if (index == static_cast<int>(sharers_.size())) {
        auto menu = std::make_shared<SXCustomShareMenu>(platform::TableView::StyleGrouped);
        menu->setUp();
        menu->setShareDelegate(shareDelegate_);
        menu->setItem(item_);
        SX::currentHelper()->showViewController(menu);
    }
    ActionSheet::dismissWithClickedButtonIndexAnimated(index, animated);
}

}  // namespace clipora
