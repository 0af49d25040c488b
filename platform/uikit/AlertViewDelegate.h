#pragma once

#include <memory>

namespace clipora::platform {

class AlertView;

// Told when an alert is shown, when one of its buttons is pressed and when it
// goes away. Every operation is optional.
class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(const std::shared_ptr<AlertView>&, int) {}
    virtual void alertViewCancel(const std::shared_ptr<AlertView>&) {}
    virtual void willPresentAlertView(const std::shared_ptr<AlertView>&) {}
    virtual void didPresentAlertView(const std::shared_ptr<AlertView>&) {}
    virtual void alertViewWillDismissWithButtonIndex(const std::shared_ptr<AlertView>&, int) {}
    virtual void alertViewDidDismissWithButtonIndex(const std::shared_ptr<AlertView>&, int) {}
};

}  // namespace clipora::platform
