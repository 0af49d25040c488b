#pragma once

#include <memory>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/TextView.h"
#include "platform/uikit/ViewController.h"
#include "share/UI/SXFormControllerLargeTextFieldDelegate.h"

namespace clipora {

// A full-screen text view for composing a long text, with Cancel and
// "Send to <service>" buttons. Send refuses an empty text; otherwise the
// delegate gets the form and the hub closes it. Main thread only.
class SXFormControllerLargeTextField : public platform::ViewController, public platform::TextViewDelegate {
public:
    SXFormControllerLargeTextField() = default;
    ~SXFormControllerLargeTextField() override;

    // A form of the class T with its buttons and the (unretained) delegate.
    template <class T = SXFormControllerLargeTextField>
    static std::shared_ptr<T> initWithDelegate(std::weak_ptr<SXFormControllerLargeTextFieldDelegate> delegate) {
        auto form = std::make_shared<T>();
        form->setUp(std::move(delegate));
        return form;
    }

    void loadView() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int) override { return true; }

    // Fits the text view above the keyboard.
    virtual void keyboardWillShow(const platform::Notification& notification);
    // Ends the text view where a keyboard of that height begins (status-bar
    // orientation, application frame and status bar taken into account).
    void fitTextViewAboveKeyboardHeight(float keyboardHeight);
    void cancel();
    virtual void save();

    std::shared_ptr<SXFormControllerLargeTextFieldDelegate> delegate() const { return delegate_.lock(); }
    // The text view (the view is loaded first).
    const std::shared_ptr<platform::TextView>& textView();

protected:
    void setUp(std::weak_ptr<SXFormControllerLargeTextFieldDelegate> delegate);
    // The base save: the text goes to the delegate, or the empty-text alert.
    void sendText();

private:
    std::weak_ptr<SXFormControllerLargeTextFieldDelegate> delegate_;
    std::shared_ptr<platform::TextView> textView_;
    platform::NotificationCenter::ObserverId keyboardObserver_ = 0;
};

}  // namespace clipora
