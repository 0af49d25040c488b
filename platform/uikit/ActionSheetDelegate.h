#pragma once

#include <memory>

namespace clipora::platform {

class ActionSheet;

// Told when an action sheet is shown, when one of its buttons is pressed and
// when it goes away. Every operation is optional.
class ActionSheetDelegate {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void actionSheetClickedButtonAtIndex(const std::shared_ptr<ActionSheet>&, int) {}
    virtual void actionSheetCancel(const std::shared_ptr<ActionSheet>&) {}
    virtual void willPresentActionSheet(const std::shared_ptr<ActionSheet>&) {}
    virtual void didPresentActionSheet(const std::shared_ptr<ActionSheet>&) {}
    virtual void actionSheetWillDismissWithButtonIndex(const std::shared_ptr<ActionSheet>&, int) {}
    virtual void actionSheetDidDismissWithButtonIndex(const std::shared_ptr<ActionSheet>&, int) {}
};

}  // namespace clipora::platform
