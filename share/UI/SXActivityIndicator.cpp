#include "share/UI/SXActivityIndicator.h"

#include <cmath>
#include <numbers>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/Window.h"

namespace clipora {

using platform::Rect;
using platform::View;

namespace {

std::shared_ptr<SXActivityIndicator>& single() {
    static auto* indicator = new std::shared_ptr<SXActivityIndicator>;
    return *indicator;
}

constexpr const char* kHideTag = "hide";

}  // namespace

SXActivityIndicator::SXActivityIndicator() = default;

SXActivityIndicator::~SXActivityIndicator() {
    if (observing_) platform::NotificationCenter::defaultCenter().removeObserver(this);
}

std::shared_ptr<SXActivityIndicator> SXActivityIndicator::currentIndicator() {
    if (single()) return single();
    auto window = platform::Application::sharedApplication()->keyWindow();
    float w = window ? window->bounds().size.width : 320;
    float h = window ? window->bounds().size.height : 480;
    auto indicator = std::make_shared<SXActivityIndicator>();
    indicator->setFrame(Rect(std::round(w / 2 - kSide / 2), std::round(h / 2 - kSide / 2), kSide, kSide));
    indicator->setBackgroundColor(platform::Color::colorWithWhiteAlpha(0, 0.5f));
    indicator->setOpaque(false);
    indicator->setAlpha(0);
    indicator->layer()->setCornerRadius(10);
    indicator->setUserInteractionEnabled(false);
    indicator->setAutoresizesSubviews(true);
    indicator->setAutoresizingMask(View::AutoresizingFlexibleLeftMargin | View::AutoresizingFlexibleRightMargin |
                                   View::AutoresizingFlexibleTopMargin | View::AutoresizingFlexibleBottomMargin);
    indicator->setProperRotation(false);
    std::weak_ptr<SXActivityIndicator> weak = indicator;
    platform::NotificationCenter::defaultCenter().addObserver(
        platform::Device::kOrientationDidChangeNotification,
        [weak](const platform::Notification&) {
            if (auto self = weak.lock()) self->setProperRotation(true);
        },
        indicator.get());
    indicator->observing_ = true;
    single() = indicator;
    return indicator;
}

void SXActivityIndicator::reset() {
    if (auto indicator = single()) {
        platform::RunLoop::main()->cancelPreviousPerformRequests(indicator.get());
        indicator->removeFromSuperview();
    }
    single().reset();
}

bool SXActivityIndicator::isInWindow() const { return window() != nullptr; }

void SXActivityIndicator::displayActivity(const std::optional<std::string>& text) {
    setSubMessage(text);
    showSpinner();
    if (centerMessageLabel_) centerMessageLabel_->removeFromSuperview();
    centerMessageLabel_.reset();
    if (isInWindow()) {
        persist();
    } else {
        show();
    }
}

void SXActivityIndicator::displayCompleted(const std::optional<std::string>& text) {
    setCenterMessage(std::string(kCheckMark));
    setSubMessage(text);
    if (spinner_) spinner_->removeFromSuperview();
    spinner_.reset();
    if (isInWindow()) {
        persist();
    } else {
        show();
    }
    hideAfterDelay();
}

std::shared_ptr<platform::Label> SXActivityIndicator::makeLabel(Rect frame, float fontSize) {
    auto label = std::make_shared<platform::Label>(frame);
    label->setFont(platform::Font::boldSystemFontOfSize(fontSize));
    label->setBackgroundColor(platform::Color::clearColor());
    label->setOpaque(false);
    label->setTextColor(platform::Color::whiteColor());
    label->setTextAlignment(platform::TextAlignmentCenter);
    label->setShadowColor(platform::Color::darkGrayColor());
    label->setShadowOffset(platform::Size{1, 1});
    label->setAdjustsFontSizeToFitWidth(true);
    addSubview(label);
    return label;
}

void SXActivityIndicator::setCenterMessage(const std::optional<std::string>& text) {
    if (!text) {
        centerMessageLabel_.reset();
        return;
    }
    auto b = bounds().size;
    if (!centerMessageLabel_)
        centerMessageLabel_ = makeLabel(Rect(12, std::round(b.height / 2 - 25), b.width - 24, 50), 40);
    centerMessageLabel_->setText(*text);
}

void SXActivityIndicator::setSubMessage(const std::optional<std::string>& text) {
    if (!text) {
        subMessageLabel_.reset();
        return;
    }
    auto b = bounds().size;
    if (!subMessageLabel_) subMessageLabel_ = makeLabel(Rect(12, b.height - 45, b.width - 24, 30), 17);
    subMessageLabel_->setText(*text);
}

void SXActivityIndicator::showSpinner() {
    if (!spinner_)
        spinner_ = std::make_shared<platform::ActivityIndicatorView>(platform::ActivityIndicatorView::StyleWhiteLarge);
    auto b = bounds().size;
    auto s = spinner_->frame().size;
    spinner_->setFrame(
        Rect(std::round(b.width / 2 - s.width / 2), std::round(b.height / 2 - s.height / 2), s.width, s.height));
    addSubview(spinner_);
    spinner_->startAnimating();
}

void SXActivityIndicator::show() {
    auto window = platform::Application::sharedApplication()->keyWindow();
    if (window && superview() != window) window->addSubview(sharedAs<View>());
    platform::RunLoop::main()->cancelPreviousPerformRequests(this, kHideTag);
    View::animateWithDurationAnimations(0.3, [this] { setAlpha(1); });
}

void SXActivityIndicator::persist() {
    platform::RunLoop::main()->cancelPreviousPerformRequests(this, kHideTag);
    View::animateWithDurationDelayOptionsAnimationsCompletion(0.1, 0, View::AnimationOptionBeginFromCurrentState,
                                                              [this] { setAlpha(1); }, {});
}

void SXActivityIndicator::hideAfterDelay() {
    std::weak_ptr<SXActivityIndicator> weak = std::static_pointer_cast<SXActivityIndicator>(sharedAs<View>());
    platform::RunLoop::main()->performAfterDelay(
        kHideDelay,
        [weak] {
            if (auto self = weak.lock()) self->hide();
        },
        this, kHideTag);
}

void SXActivityIndicator::hide() {
    std::weak_ptr<SXActivityIndicator> weak = std::static_pointer_cast<SXActivityIndicator>(sharedAs<View>());
    View::animateWithDurationAnimationsCompletion(
        0.4, [this] { setAlpha(0); },
        [weak](bool) {
            if (auto self = weak.lock()) self->hidden();
        });
}

void SXActivityIndicator::hidden() {
    // A show or persist since the fade began keeps the indicator up.
    if (alpha() > 0) return;
    removeFromSuperview();
}

void SXActivityIndicator::setProperRotation(bool animated) {
    auto orientation = platform::Application::sharedApplication()->statusBarOrientation();
    std::optional<float> angle;
    switch (orientation) {
    case platform::InterfaceOrientationPortrait: angle = 0; break;
    case platform::InterfaceOrientationPortraitUpsideDown: angle = std::numbers::pi_v<float>; break;
    case platform::InterfaceOrientationLandscapeRight: angle = std::numbers::pi_v<float> / 2; break;
    case platform::InterfaceOrientationLandscapeLeft: angle = -std::numbers::pi_v<float> / 2; break;
    }
    if (!angle) return;
    auto transform = platform::AffineTransform::makeRotation(*angle);
    if (animated) {
        View::animateWithDurationAnimations(0.3, [this, transform] { setTransform(transform); });
    } else {
        setTransform(transform);
    }
}

}  // namespace clipora
