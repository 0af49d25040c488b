#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/AlertViewDelegate.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

// A modal alert: title, message and buttons. The cancel button, when given,
// has index 0 and the other buttons follow in order. show() lists the alert in
// the AlertRegistry, which keeps it alive while it is shown. A press on a
// button (pressButtonAtIndex) tells the delegate of the click, then dismisses
// the alert with that index; a programmatic dismissal tells only of the
// dismissal. An alert may hold subviews of its own (a text field, an image).
class AlertView : public View {
public:
    AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
              std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles = {});

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::string& message() const { return message_; }
    void setMessage(std::string message) { message_ = std::move(message); }
    std::shared_ptr<AlertViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<AlertViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // Answers the new button's index.
    int addButtonWithTitle(std::string title);
    // Empty for an index out of range.
    std::string buttonTitleAtIndex(int index) const;
    int numberOfButtons() const { return static_cast<int>(buttons_.size()); }
    const std::vector<std::string>& buttonTitles() const { return buttons_; }
    // -1 when there is none.
    int cancelButtonIndex() const { return cancelIndex_; }
    void setCancelButtonIndex(int index) { cancelIndex_ = index; }
    // The first button that is not the cancel button, or -1.
    int firstOtherButtonIndex() const;

    // Shows the alert (again showing an alert already shown does nothing).
    void show();
    bool isVisible() const { return visible_; }
    // Will-dismiss, off the screen, did-dismiss, with the index.
    virtual void dismissWithClickedButtonIndexAnimated(int index, bool animated);

    // A finger on a button of the shown alert: clicked, then dismissal.
    // Answers false when the alert is not shown or there is no such button.
    bool pressButtonAtIndex(int index);
    bool pressButtonWithTitle(const std::string& title);

    std::string className() const override { return "AlertView"; }

private:
    std::string title_;
    std::string message_;
    std::weak_ptr<AlertViewDelegate> delegate_;
    std::vector<std::string> buttons_;
    int cancelIndex_ = -1;
    bool visible_ = false;
};

}  // namespace clipora::platform
