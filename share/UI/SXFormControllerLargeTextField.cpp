#include "share/UI/SXFormControllerLargeTextField.h"

#include "platform/uikit/AlertView.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Screen.h"
#include "share/Core/SX.h"

namespace clipora {

using platform::BarButtonItem;

SXFormControllerLargeTextField::~SXFormControllerLargeTextField() {
    if (keyboardObserver_) platform::NotificationCenter::defaultCenter().removeObserver(keyboardObserver_);
}

void SXFormControllerLargeTextField::setUp(std::weak_ptr<SXFormControllerLargeTextFieldDelegate> delegate) {
    delegate_ = std::move(delegate);
    auto self = sharedAs<SXFormControllerLargeTextField>();
    auto cancelItem = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemCancel);
    cancelItem->setTargetAction(self, &SXFormControllerLargeTextField::cancel);
    navigationItem()->setLeftBarButtonItem(cancelItem);
    auto owner = delegate_.lock();
    auto sendItem = std::make_shared<BarButtonItem>(
        localizedShareFormat("Send to %@", owner ? owner->sharerTitle() : ""), BarButtonItem::StyleDone);
    sendItem->setTargetAction(self, &SXFormControllerLargeTextField::save);
    navigationItem()->setRightBarButtonItem(sendItem);
}

void SXFormControllerLargeTextField::loadView() {
    ViewController::loadView();
    auto root = view();
    root->setBackgroundColor(platform::Color::whiteColor());
    textView_ = std::make_shared<platform::TextView>(root->bounds());
    textView_->setDelegate(sharedAs<platform::TextViewDelegate>());
    textView_->setFont(platform::Font::systemFontOfSize(15));
    textView_->setContentInset({5, 5, 0, 0});
    textView_->setBackgroundColor(platform::Color::whiteColor());
    textView_->setAutoresizesSubviews(true);
    textView_->setAutoresizingMask(platform::View::AutoresizingFlexibleWidth |
                                   platform::View::AutoresizingFlexibleHeight);
    root->addSubview(textView_);
}

const std::shared_ptr<platform::TextView>& SXFormControllerLargeTextField::textView() {
    view();
    return textView_;
}

void SXFormControllerLargeTextField::viewDidAppear(bool animated) {
    ViewController::viewDidAppear(animated);
    if (!keyboardObserver_) {
        std::weak_ptr<SXFormControllerLargeTextField> weak = sharedAs<SXFormControllerLargeTextField>();
        keyboardObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
            platform::Keyboard::kWillShowNotification, [weak](const platform::Notification& notification) {
                if (auto form = weak.lock()) form->keyboardWillShow(notification);
            });
    }
    textView()->becomeFirstResponder();
}

void SXFormControllerLargeTextField::viewDidDisappear(bool animated) {
    ViewController::viewDidDisappear(animated);
    if (keyboardObserver_) platform::NotificationCenter::defaultCenter().removeObserver(keyboardObserver_);
    keyboardObserver_ = 0;
    SX::currentHelper()->viewWasDismissed();
}

void SXFormControllerLargeTextField::keyboardWillShow(const platform::Notification& notification) {
    std::optional<platform::Rect> keyboard;
    if (auto* frame = notification.userInfo.find(platform::Keyboard::kFrameEndUserInfoKey)) {
        keyboard = platform::GeometryValue::rectFrom(*frame);
    }
    if (!keyboard) return;
    auto deviceOrientation = platform::Device::currentDevice()->orientation();
    const bool portrait = deviceOrientation == platform::Device::OrientationPortrait ||
                          deviceOrientation == platform::Device::OrientationPortraitUpsideDown;
    fitTextViewAboveKeyboardHeight(portrait ? keyboard->size.height : keyboard->size.width);
}

void SXFormControllerLargeTextField::fitTextViewAboveKeyboardHeight(float k) {
    auto application = platform::Application::sharedApplication();
    const int o = static_cast<int>(application->statusBarOrientation());
    const bool landscape = o == 3 || o == 4;
    const bool flipped = o == 2 || o == 3;
    auto root = view();
    auto origin = root->convertPointToView({0, 0}, nullptr);
    auto screen = platform::Screen::mainScreen()->applicationFrame();
    float c = landscape ? origin.x : origin.y;
    const float s = landscape ? screen.size.width : screen.size.height;
    if (flipped) c = s - c;
    float gap = s - (c + root->bounds().size.height);
    if (!application->isStatusBarHidden() && !flipped) gap += 20;
    textView()->setFrame({0, 0, root->bounds().size.width, root->bounds().size.height - k + gap});
}

void SXFormControllerLargeTextField::cancel() {
    auto keep = shared_from_this();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    if (auto owner = delegate()) owner->sendDidCancel();
}

void SXFormControllerLargeTextField::save() { sendText(); }

void SXFormControllerLargeTextField::sendText() {
    auto keep = shared_from_this();
    if (textView()->text().empty()) {
        auto alert = std::make_shared<platform::AlertView>(
            localizedShareString("Message is empty"),
            localizedShareString("You must enter a message in order to post."),
            std::weak_ptr<platform::AlertViewDelegate>(), localizedShareString("Close"));
        alert->show();
        return;
    }
    if (auto owner = delegate()) owner->sendForm(sharedAs<SXFormControllerLargeTextField>());
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
}

}  // namespace clipora
