#include "app/ProgressHUD.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/AffineTransform.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/Window.h"

namespace clipora {

using namespace platform;

namespace {

std::shared_ptr<ProgressHUD>& sharedSlot() {
    static std::shared_ptr<ProgressHUD> hud;
    return hud;
}

constexpr float kAutomaticPosition = -1;

}  // namespace

// --- Class operations -------------------------------------------------------

std::shared_ptr<ProgressHUD> ProgressHUD::sharedView() {
    auto& hud = sharedSlot();
    if (!hud) {
        hud = std::make_shared<ProgressHUD>();
        hud->addSubview(hud->hudView_);
        hud->observeKeyboard();
    }
    return hud;
}

std::shared_ptr<ProgressHUD> ProgressHUD::existingSharedView() { return sharedSlot(); }

bool ProgressHUD::isVisible() {
    auto hud = sharedSlot();
    return hud && hud->superview() && hud->alpha() > 0;
}

void ProgressHUD::resetSharedView() {
    auto& hud = sharedSlot();
    if (!hud) return;
    hud->stopFadeOutTimer();
    hud->removeFromSuperview();
    hud.reset();
}

void ProgressHUD::show() { showInViewStatus(nullptr, std::nullopt); }

void ProgressHUD::showInView(const ViewPtr& view) { showInViewStatus(view, std::nullopt); }

void ProgressHUD::showInViewStatus(const ViewPtr& view, const Text& status) {
    showInViewStatusNetworkIndicator(view, status, true);
}

void ProgressHUD::showInViewStatusNetworkIndicator(const ViewPtr& view, const Text& status, bool networkIndicator) {
    showInViewStatusNetworkIndicatorPosY(view, status, networkIndicator, kAutomaticPosition);
}

void ProgressHUD::showInViewStatusNetworkIndicatorPosY(const ViewPtr& view, const Text& status, bool networkIndicator,
                                                       float posY) {
    showInViewStatusNetworkIndicatorPosYMaskType(view, status, networkIndicator, posY, MaskTypeNone);
}

void ProgressHUD::showWithStatus(const Text& status) { showInViewStatus(nullptr, status); }

void ProgressHUD::showWithMaskType(MaskType maskType) {
    showInViewStatusNetworkIndicatorPosYMaskType(nullptr, std::nullopt, true, kAutomaticPosition, maskType);
}

void ProgressHUD::showWithStatusMaskType(const Text& status, MaskType maskType) {
    showInViewStatusNetworkIndicatorPosYMaskType(nullptr, status, true, kAutomaticPosition, maskType);
}

void ProgressHUD::showWithStatusNetworkIndicator(const Text& status, bool networkIndicator) {
    showInViewStatusNetworkIndicator(nullptr, status, networkIndicator);
}

void ProgressHUD::showWithMaskTypeNetworkIndicator(MaskType maskType, bool networkIndicator) {
    showInViewStatusNetworkIndicatorPosYMaskType(nullptr, std::nullopt, networkIndicator, kAutomaticPosition, maskType);
}

void ProgressHUD::showWithStatusMaskTypeNetworkIndicator(const Text& status, MaskType maskType, bool networkIndicator) {
    showInViewStatusNetworkIndicatorPosYMaskType(nullptr, status, networkIndicator, kAutomaticPosition, maskType);
}

void ProgressHUD::showInViewStatusNetworkIndicatorPosYMaskType(const ViewPtr& view, const Text& status,
                                                               bool networkIndicator, float posY, MaskType maskType) {
    sharedView()->showInViewStatusNetworkIndicatorPosYMaskTypeNow(view, status, networkIndicator, posY, maskType);
}

void ProgressHUD::showSuccessWithStatus(const Text& status) {
    show();
    dismissWithSuccessAfterDelay(status, 1.0);
}

void ProgressHUD::setStatus(const Text& status) { sharedView()->updateStatus(status); }

void ProgressHUD::dismiss() { sharedView()->fadeOut(); }

void ProgressHUD::dismissWithSuccess(const Text& status) { sharedView()->dismissWithStatusError(status, false); }

void ProgressHUD::dismissWithSuccessAfterDelay(const Text& status, double seconds) {
    sharedView()->dismissWithStatusErrorAfterDelay(status, false, seconds);
}

void ProgressHUD::dismissWithError(const Text& status) { sharedView()->dismissWithStatusError(status, true); }

void ProgressHUD::dismissWithErrorAfterDelay(const Text& status, double seconds) {
    sharedView()->dismissWithStatusErrorAfterDelay(status, true, seconds);
}

// --- Instance -----------------------------------------------------------------

ProgressHUD::ProgressHUD() : View(Rect()) {
    setUserInteractionEnabled(false);
    setBackgroundColor(Color::clearColor());
    setAlpha(0);
    setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);

    hudView_ = std::make_shared<View>(Rect(0, 0, 100, 100));
    hudView_->layer()->setCornerRadius(10);
    hudView_->layer()->setMasksToBounds(true);
    hudView_->setBackgroundColor(Color::colorWithWhiteAlpha(0, 0.8f));
    hudView_->setAutoresizingMask(AutoresizingFlexibleBottomMargin | AutoresizingFlexibleTopMargin |
                                  AutoresizingFlexibleRightMargin | AutoresizingFlexibleLeftMargin);
}

ProgressHUD::~ProgressHUD() {
    if (fadeOutTimer_) fadeOutTimer_->invalidate();
    if (observing_) NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

std::shared_ptr<Label> ProgressHUD::stringLabel() {
    if (!stringLabel_) {
        stringLabel_ = std::make_shared<Label>(Rect());
        stringLabel_->setTextColor(Color::whiteColor());
        stringLabel_->setBackgroundColor(Color::clearColor());
        stringLabel_->setAdjustsFontSizeToFitWidth(true);
        stringLabel_->setTextAlignment(TextAlignmentCenter);
        stringLabel_->setBaselineAdjustment(1);  // centred baselines
        stringLabel_->setFont(Font::boldSystemFontOfSize(16));
        stringLabel_->setShadowColor(Color::blackColor());
        stringLabel_->setShadowOffset(Size{0, -1});
        stringLabel_->setNumberOfLines(0);
    }
    if (!stringLabel_->superview()) hudView_->addSubview(stringLabel_);
    return stringLabel_;
}

std::shared_ptr<ImageView> ProgressHUD::imageView() {
    if (!imageView_) imageView_ = std::make_shared<ImageView>(Rect(0, 0, 28, 28));
    if (!imageView_->superview()) hudView_->addSubview(imageView_);
    return imageView_;
}

std::shared_ptr<ActivityIndicatorView> ProgressHUD::spinnerView() {
    if (!spinnerView_) {
        spinnerView_ = std::make_shared<ActivityIndicatorView>(ActivityIndicatorView::StyleWhiteLarge);
        spinnerView_->setHidesWhenStopped(true);
        spinnerView_->setBounds(Rect(0, 0, 37, 37));
    }
    if (!spinnerView_->superview()) hudView_->addSubview(spinnerView_);
    return spinnerView_;
}

std::optional<std::string> ProgressHUD::statusText() const {
    if (!stringLabel_ || stringLabel_->isHidden() || stringLabel_->text().empty()) return std::nullopt;
    return stringLabel_->text();
}

void ProgressHUD::observeKeyboard() {
    if (observing_) return;
    observing_ = true;
    auto& center = NotificationCenter::defaultCenter();
    std::weak_ptr<ProgressHUD> weak = std::static_pointer_cast<ProgressHUD>(shared_from_this());
    auto moveBox = [weak](const Notification& note, float direction) {
        auto self = weak.lock();
        if (!self) return;
        float height = 0;
        double duration = Keyboard::kAnimationDuration;
        if (const auto* info = note.userInfo.dictionary()) {
            if (auto it = info->find(Keyboard::kFrameBeginUserInfoKey); it != info->end())
                if (auto rect = GeometryValue::rectFrom(it->second)) height = rect->size.height;
            if (auto it = info->find(Keyboard::kAnimationDurationUserInfoKey); it != info->end())
                duration = it->second.doubleValue();
        }
        const float shift = std::floor(height / 2) * direction;
        auto box = self->hudView_;
        View::animateWithDurationDelayOptionsAnimationsCompletion(
            duration, 0, View::AnimationOptionAllowUserInteraction,
            [box, shift] {
                Point c = box->center();
                box->setCenter(Point{c.x, c.y + shift});
            },
            nullptr);
    };
    center.addObserver(
        Keyboard::kWillShowNotification, [moveBox](const Notification& n) { moveBox(n, -1); }, this);
    center.addObserver(
        Keyboard::kWillHideNotification, [moveBox](const Notification& n) { moveBox(n, 1); }, this);
    center.addObserver(
        Application::kDidReceiveMemoryWarningNotification,
        [weak](const Notification&) {
            if (auto self = weak.lock()) self->memoryWarning();
        },
        this);
}

void ProgressHUD::stopFadeOutTimer() {
    if (fadeOutTimer_) {
        fadeOutTimer_->invalidate();
        fadeOutTimer_.reset();
    }
}

void ProgressHUD::showInViewStatusNetworkIndicatorPosYMaskTypeNow(const ViewPtr& given, const Text& status,
                                                                  bool networkIndicator, float posY,
                                                                  MaskType maskType) {
    auto app = Application::sharedApplication();
    ViewPtr view = given;
    bool inWindow = false;
    if (!view) {
        auto windows = app->windows();
        if (windows.empty()) return;  // nothing on screen to show in
        auto window = windows.back();
        if (auto root = window->rootViewController())
            view = root->view();
        else
            view = window;
        inWindow = true;
    }

    if (posY == kAutomaticPosition) {
        float height = view->bounds().size.height;
        if (inWindow) {
            if (Keyboard::isVisible()) height += 2 * Application::kStatusBarHeight;
            height -= visibleKeyboardHeight();
            height -= view->frame().origin.y;
        }
        posY = std::floor(height * 0.45f);
    }

    stopFadeOutTimer();
    app->setNetworkActivityIndicatorVisible(networkIndicator);

    imageView()->setHidden(true);
    markImageName_.reset();
    maskType_ = maskType;
    updateStatus(status);
    spinnerView()->startAnimating();
    setUserInteractionEnabled(maskType != MaskTypeNone);

    auto self = std::static_pointer_cast<ProgressHUD>(shared_from_this());
    if (superview() != view) {
        setAlpha(0);
        view->addSubview(self);
    }
    if (auto key = app->keyWindow())
        setFrame(key->frame());
    else
        setFrame(view->bounds());

    if (alpha() != 1) {
        auto parent = superview();
        const float width = parent ? parent->bounds().size.width : bounds().size.width;
        hudView_->setCenter(Point{width / 2, posY});
        hudView_->setTransform(AffineTransform::makeScale(1.3f, 1.3f));
        auto box = hudView_;
        View::animateWithDurationDelayOptionsAnimationsCompletion(
            kFadeDuration, 0, AnimationOptionAllowUserInteraction,
            [self, box] {
                box->setTransform(AffineTransform::makeScale(1, 1));
                self->setAlpha(1);
            },
            nullptr);
    }
    setNeedsDisplay();
}

void ProgressHUD::updateStatus(const Text& status) {
    float boxWidth = 100;
    float boxHeight = 100;
    Rect labelFrame;
    auto label = stringLabel();
    if (status && !status->empty()) {
        const Size text = label->font().sizeOfTextConstrainedToSize(*status, Size{200, 300}, LineBreakModeWordWrap);
        boxHeight = 80 + text.height;
        if (text.width > 100) boxWidth = std::ceil(text.width / 2) * 2;
        if (boxHeight > 100)
            labelFrame = Rect(12, 66, boxWidth, text.height);
        else
            labelFrame = Rect(0, 66, boxWidth + 24, text.height);
        boxWidth += 24;
    }
    hudView_->setBounds(Rect(0, 0, boxWidth, boxHeight));
    imageView()->setCenter(Point{boxWidth / 2, 36});
    label->setHidden(false);
    label->setText(status.value_or(std::string()));
    label->setFrame(labelFrame);
    const float spinnerX = std::ceil(boxWidth / 2) + 0.5f;
    const float spinnerY = (status && !status->empty()) ? 40.5f : std::ceil(boxHeight / 2) + 0.5f;
    spinnerView()->setCenter(Point{spinnerX, spinnerY});
}

void ProgressHUD::dismissWithStatusError(const Text& status, bool error) {
    dismissWithStatusErrorAfterDelay(status, error, 0.9);
}

void ProgressHUD::dismissWithStatusErrorAfterDelay(const Text& status, bool error, double seconds) {
    if (alpha() != 1 || !superview()) return;
    Application::sharedApplication()->setNetworkActivityIndicatorVisible(false);
    markImageName_ = error ? kErrorImage : kSuccessImage;
    imageView()->setImage(Image::imageNamed(*markImageName_));
    imageView()->setHidden(false);
    updateStatus(status);
    spinnerView()->stopAnimating();
    stopFadeOutTimer();
    std::weak_ptr<ProgressHUD> weak = std::static_pointer_cast<ProgressHUD>(shared_from_this());
    fadeOutTimer_ = Timer::scheduled(seconds, false, [weak](Timer&) {
        if (auto self = weak.lock()) self->fadeOut();
    });
}

void ProgressHUD::fadeOut() {
    Application::sharedApplication()->setNetworkActivityIndicatorVisible(false);
    stopFadeOutTimer();
    auto self = std::static_pointer_cast<ProgressHUD>(shared_from_this());
    auto box = hudView_;
    View::animateWithDurationDelayOptionsAnimationsCompletion(
        kFadeDuration, 0, AnimationOptionLayoutSubviews | AnimationOptionAllowUserInteraction,
        [self, box] {
            box->setTransform(AffineTransform::makeScale(0.8f, 0.8f));
            self->setAlpha(0);
        },
        [self](bool) {
            // A show during the fade brought the HUD back: it stays.
            if (self->alpha() == 0) self->removeFromSuperview();
        });
}

float ProgressHUD::visibleKeyboardHeight() const { return Keyboard::visibleHeight(); }

void ProgressHUD::memoryWarning() {
    if (superview()) return;
    if (observing_) {
        NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
        observing_ = false;
    }
    if (sharedSlot().get() == this) sharedSlot().reset();
}

void ProgressHUD::drawRect(Rect) {
    auto context = GraphicsContext::current();
    if (!context) return;
    const Rect b = bounds();
    if (maskType_ == MaskTypeBlack) {
        context->setFillColor(Color::colorWithWhiteAlpha(0, 0.5f));
        context->fillRect(b);
    } else if (maskType_ == MaskTypeGradient) {
        const Point centre{b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2};
        const float radius = std::min(b.size.width, b.size.height);
        auto gradient =
            GraphicsContext::Gradient::twoStops(Color::colorWithWhiteAlpha(0, 0), Color::colorWithWhiteAlpha(0, 0.75f));
        context->drawRadialGradient(gradient, centre, 0, centre, radius,
                                    GraphicsContext::kGradientDrawsAfterEndLocation);
    }
}

}  // namespace clipora
