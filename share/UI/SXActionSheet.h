#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/ActionSheet.h"
#include "share/UI/SXShareItemDelegate.h"

namespace clipora {

class SXItem;

// The favourite sharers for a share type as a sheet, with "More..." (the
// full share menu) and "Cancel". Made as SXCustomActionSheet.
class SXActionSheet : public platform::ActionSheet {
public:
    SXActionSheet();

    static std::shared_ptr<SXActionSheet> actionSheetForType(int shareType);
    static std::shared_ptr<SXActionSheet> actionSheetForItem(const std::shared_ptr<SXItem>& item);

    void dismissWithClickedButtonIndexAnimated(int index, bool animated) override;

    const std::vector<std::string>& sharers() const { return sharers_; }
    const std::shared_ptr<SXItem>& item() const { return item_; }
    void setItem(std::shared_ptr<SXItem> item) { item_ = std::move(item); }
    const std::shared_ptr<SXShareItemDelegate>& shareDelegate() const { return shareDelegate_; }
    void setShareDelegate(std::shared_ptr<SXShareItemDelegate> delegate) { shareDelegate_ = std::move(delegate); }

    std::string className() const override { return "SXActionSheet"; }

private:
    std::vector<std::string> sharers_;
    std::shared_ptr<SXItem> item_;
    std::shared_ptr<SXShareItemDelegate> shareDelegate_;
};

}  // namespace clipora
