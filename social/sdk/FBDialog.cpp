#include "social/sdk/FBDialog.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/InterfaceOrientation.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Window.h"
#include "social/json/SNJsonParser.h"
#include "social/sdk/FBFrictionlessRequestSettings.h"
#include "social/sdk/FBRequest.h"

namespace clipora {

using platform::AffineTransform;
using platform::Application;
using platform::Color;
using platform::Error;
using platform::Rect;
using platform::Text;
using platform::URL;
using platform::Value;

namespace {

const char* const kShowWebViewTag = "showWebView";

Color borderColor() { return Color::colorWithRedGreenBlueAlpha(0.3f, 0.3f, 0.3f, 0.8f); }
Color lineColor() { return Color::colorWithRedGreenBlueAlpha(0.3f, 0.3f, 0.3f, 1.0f); }

int statusBarOrientation() { return Application::sharedApplication()->statusBarOrientation(); }

}  // namespace

FBDialog::FBDialog() {
    setBackgroundColor(Color::clearColor());
    setAutoresizesSubviews(true);
    setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    setContentMode(ContentModeRedraw);

    webView_ = std::make_shared<platform::WebView>(Rect(kBorderWidth + 1, kBorderWidth + 1, 480, 480));
    webView_->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);

    closeButton_ = std::make_shared<platform::Button>(platform::Button::ButtonTypeCustom);
    closeButton_->setImageForState(platform::Image::imageNamed(kCloseImageName), platform::Control::StateNormal);
    closeButton_->setTitleColorForState(Color::colorWithRedGreenBlueAlpha(167.0f / 255, 184.0f / 255, 216.0f / 255, 1),
                                        platform::Control::StateNormal);
    closeButton_->setTitleColorForState(Color::whiteColor(), platform::Control::StateHighlighted);
    closeButton_->titleLabel()->setFont(platform::Font::boldSystemFontOfSize(12));
    closeButton_->setShowsTouchWhenHighlighted(true);
    closeButton_->setAutoresizingMask(AutoresizingFlexibleRightMargin | AutoresizingFlexibleBottomMargin);
    closeButton_->setFrame(Rect(2, 2, 29, 29));

    spinner_ = std::make_shared<platform::ActivityIndicatorView>(platform::ActivityIndicatorView::StyleWhiteLarge);
    spinner_->setColor(Color::grayColor());
    spinner_->setAutoresizingMask(AutoresizingFlexibleTopMargin | AutoresizingFlexibleBottomMargin |
                                  AutoresizingFlexibleLeftMargin | AutoresizingFlexibleRightMargin);

    modalBackgroundView_ = std::make_shared<platform::View>();
}

FBDialog::FBDialog(std::string serverURL, Value::Dictionary params, bool isViewInvisible,
                   std::shared_ptr<FBFrictionlessRequestSettings> frictionlessSettings,
                   std::weak_ptr<FBDialogDelegate> delegate)
    : FBDialog() {
    serverURL_ = std::move(serverURL);
    params_ = std::move(params);
    isViewInvisible_ = isViewInvisible;
    frictionlessSettings_ = std::move(frictionlessSettings);
    delegate_ = std::move(delegate);
}

FBDialog::~FBDialog() {
    webView_->setDelegate({});
    webView_->stopLoading();
    platform::RunLoop::main()->cancelPreviousPerformRequests(this);
    if (observing_) platform::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

std::shared_ptr<FBDialog> FBDialog::initWithURLParamsIsViewInvisibleFrictionlessSettingsDelegate(
    std::string serverURL, Value::Dictionary params, bool isViewInvisible,
    std::shared_ptr<FBFrictionlessRequestSettings> frictionlessSettings, std::weak_ptr<FBDialogDelegate> delegate) {
    return std::make_shared<FBDialog>(std::move(serverURL), std::move(params), isViewInvisible,
                                      std::move(frictionlessSettings), std::move(delegate));
}

void FBDialog::wire() {
    if (wired_) return;
    wired_ = true;
    auto self = sharedAs<FBDialog>();
    webView_->setDelegate(std::weak_ptr<platform::WebViewDelegate>(self));
    if (webView_->superview().get() != this) addSubview(webView_);
    if (closeButton_->superview().get() != this) addSubview(closeButton_);
    if (spinner_->superview().get() != this) addSubview(spinner_);
    closeButton_->addTargetActionForControlEvents(self, &FBDialog::cancel, platform::Control::EventTouchUpInside);
}

// --- Loading and showing ---------------------------------------------------

void FBDialog::show() {
    wire();
    load();
    sizeToFitOrientation(false);
    float innerWidth = frame().width() - (kBorderWidth + 1) * 2;
    closeButton_->setFrame(Rect(2, 2, 29, 29));
    webView_->setFrame(Rect(kBorderWidth + 1, kBorderWidth + 1, innerWidth, frame().height() - (1 + kBorderWidth * 2)));
    if (!isViewInvisible_) {
        showSpinner();
        showWebView();
    }
}

void FBDialog::load() { loadURLGet(serverURL_, params_); }

void FBDialog::loadURLGet(const std::string& url, const Value::Dictionary& params) {
    wire();
    loadingURL_ = generateURLParams(url, params);
    if (!loadingURL_) {
        dismissWithErrorAnimated(platform::URLConnection::urlError(Error::kURLErrorBadURL, std::nullopt), true);
        return;
    }
    webView_->loadRequest(platform::URLRequest(*loadingURL_));
}

std::optional<URL> FBDialog::generateURLParams(const std::string& url, const Value::Dictionary& params) {
    if (params.empty()) return URL::fromString(url);
    std::vector<std::string> pairs;
    for (const auto& [name, value] : params) {
        std::string text = value.string() ? *value.string() : value.description();
        pairs.push_back(name + "=" + Text::percentEscapeLegalURL(text, kEscapedCharacters));
    }
    return URL::fromString(url + "?" + Text::join(pairs, "&"));
}

void FBDialog::showWebView() {
    auto self = sharedAs<FBDialog>();
    auto app = Application::sharedApplication();
    std::shared_ptr<platform::Window> window = app->keyWindow();
    if (!window) {
        auto windows = app->windows();
        if (!windows.empty()) window = windows.front();
    }
    if (window) {
        modalBackgroundView_->setFrame(window->frame());
        modalBackgroundView_->addSubview(self);
        window->addSubview(modalBackgroundView_);
    }
    setTransform(transformForOrientation().scale(0.001f, 0.001f));
    std::weak_ptr<FBDialog> weak = self;
    View::animateWithDurationAnimationsCompletion(
        kAppearDuration, [this] { setTransform(transformForOrientation().scale(1.1f, 1.1f)); },
        [weak](bool) {
            if (auto dialog = weak.lock()) dialog->bounce1AnimationStopped();
        });
    dialogWillAppear();
    addObservers();
}

void FBDialog::bounce1AnimationStopped() {
    std::weak_ptr<FBDialog> weak = sharedAs<FBDialog>();
    View::animateWithDurationAnimationsCompletion(
        kBounceDuration, [this] { setTransform(transformForOrientation().scale(0.9f, 0.9f)); },
        [weak](bool) {
            if (auto dialog = weak.lock()) dialog->bounce2AnimationStopped();
        });
}

void FBDialog::bounce2AnimationStopped() {
    View::animateWithDurationAnimations(kBounceDuration, [this] { setTransform(transformForOrientation()); });
}

void FBDialog::showSpinner() {
    spinner_->sizeToFit();
    spinner_->startAnimating();
    spinner_->setCenter(webView_->center());
}

void FBDialog::hideSpinner() {
    spinner_->stopAnimating();
    spinner_->setHidden(true);
}

// --- Closing -----------------------------------------------------------------

void FBDialog::dismiss(bool animated) {
    auto self = sharedAs<FBDialog>();
    dialogWillDisappear();
    platform::RunLoop::main()->cancelPreviousPerformRequests(this, kShowWebViewTag);
    loadingURL_.reset();
    if (animated) {
        View::animateWithDurationAnimationsCompletion(
            kDismissDuration, [this] { setAlpha(0); }, [self](bool) { self->postDismissCleanup(); });
    } else {
        postDismissCleanup();
    }
}

void FBDialog::postDismissCleanup() {
    removeObservers();
    removeFromSuperview();
    modalBackgroundView_->removeFromSuperview();
}

void FBDialog::dismissWithSuccessAnimated(bool success, bool animated) {
    auto self = sharedAs<FBDialog>();
    if (auto d = delegate()) {
        if (success) {
            d->dialogDidComplete(self);
        } else {
            d->dialogDidNotComplete(self);
        }
    }
    dismiss(animated);
}

void FBDialog::dismissWithErrorAnimated(const Error& error, bool animated) {
    auto self = sharedAs<FBDialog>();
    if (auto d = delegate()) d->dialogDidFailWithError(self, error);
    dismiss(animated);
}

void FBDialog::dialogDidSucceed(const URL& url) {
    auto self = sharedAs<FBDialog>();
    if (auto d = delegate()) d->dialogCompleteWithUrl(url);
    dismissWithSuccessAnimated(true, true);
}

void FBDialog::dialogDidCancel(const std::optional<URL>& url) {
    auto self = sharedAs<FBDialog>();
    if (auto d = delegate()) d->dialogDidNotCompleteWithUrl(url);
    dismissWithSuccessAnimated(false, true);
}

void FBDialog::cancel() { dialogDidCancel(std::nullopt); }

// --- Reading the return URL --------------------------------------------------

std::optional<std::string> FBDialog::getStringFromUrlNeedle(std::string_view url, std::string_view needle) {
    if (needle.empty()) return std::nullopt;
    std::size_t from = 0;
    while (auto at = Text::find(url, needle, from)) {
        // A parameter whose name merely ends in the needle is another one:
        // look further instead of giving up.
        if (*at == 0 || url[*at - 1] == '#' || url[*at - 1] == '?' || url[*at - 1] == '&') {
            std::size_t start = *at + needle.size();
            std::size_t end = url.find('&', start);
            std::string_view raw =
                url.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
            if (auto value = Text::percentUnescape(raw)) return value;
            return std::string(raw);
        }
        from = *at + 1;
    }
    return std::nullopt;
}

bool FBDialog::testBoolUrlParamParam(const URL& url, std::string_view needle) {
    auto value = getStringFromUrlNeedle(url.absoluteString(), needle);
    return value && Text::boolValue(*value);
}

void FBDialog::dialogSuccessHandleFrictionlessResponses(const URL& url) {
    auto text = getStringFromUrlNeedle(url.absoluteString(), "frictionless_recipients=");
    if (!text || !frictionlessSettings_) return;
    SNJsonParser parser;
    std::optional<Value> parsed = parser.objectWithString(*text);
    if (!parsed || !parsed->isArray()) return;
    std::vector<std::string> recipients;
    for (const auto& item : *parsed->array()) recipients.push_back(item.description());
    frictionlessSettings_->updateRecipientCacheWithRecipients(recipients);
}

// --- Web view delegate ---------------------------------------------------------

bool FBDialog::webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<platform::WebView>&,
                                                               const std::shared_ptr<platform::URLRequest>& request,
                                                               platform::WebViewNavigationType navigationType) {
    auto self = sharedAs<FBDialog>();
    const URL& url = request->url();
    if (Text::equalsCaseInsensitive(url.scheme(), "fbconnect")) {
        std::string rest = url.resourceSpecifier();
        if (Text::hasPrefix(rest, "//cancel")) {
            auto errorCode = getStringFromUrlNeedle(url.absoluteString(), "error_code=");
            auto errorMessage = getStringFromUrlNeedle(url.absoluteString(), "error_msg=");
            if (errorCode) {
                Value::Dictionary info;
                if (errorMessage) info["error_msg"] = Value(*errorMessage);
                dismissWithErrorAnimated(
                    Error(std::string(FBRequest::kErrorDomain), Text::intValue(*errorCode), std::move(info)), true);
            } else {
                dialogDidCancel(url);
            }
        } else {
            if (frictionlessSettings_ && frictionlessSettings_->enabled())
                dialogSuccessHandleFrictionlessResponses(url);
            dialogDidSucceed(url);
        }
        return false;
    }
    if ((loadingURL_ && url == *loadingURL_) || navigationType != platform::WebViewNavigationTypeLinkClicked)
        return true;
    auto d = delegate();
    if (d && !d->dialogShouldOpenURLInExternalBrowser(self, url)) return false;
    Application::sharedApplication()->openURL(url);
    return false;
}

void FBDialog::webViewDidFinishLoad(const std::shared_ptr<platform::WebView>&) {
    if (!loadingURL_) return;  // dismissed meanwhile
    if (isViewInvisible_) {
        std::weak_ptr<FBDialog> weak = sharedAs<FBDialog>();
        platform::RunLoop::main()->performAfterDelay(
            kInvisibleShowDelay,
            [weak] {
                if (auto dialog = weak.lock()) dialog->showWebView();
            },
            this, kShowWebViewTag);
    } else {
        hideSpinner();
    }
    updateWebOrientation();
}

void FBDialog::webViewDidFailLoadWithError(const std::shared_ptr<platform::WebView>&, const Error& error) {
    // A load replaced by a newer one (a script or meta redirect) or
    // interrupted by the dialog's own decision is not a failure.
    if (error.domain() == Error::kWebKitErrorDomain && error.code() == Error::kWebKitErrorFrameLoadInterrupted) return;
    if (error.domain() == Error::kURLErrorDomain && error.code() == Error::kURLErrorCancelled) return;
    if (!loadingURL_) return;  // dismissed meanwhile
    dismissWithErrorAnimated(error, true);
}

// --- Orientation and keyboard ----------------------------------------------

void FBDialog::addObservers() {
    if (observing_) return;
    observing_ = true;
    std::weak_ptr<FBDialog> weak = sharedAs<FBDialog>();
    auto& center = platform::NotificationCenter::defaultCenter();
    const void* owner = this;
    center.addObserver(
        platform::Device::kOrientationDidChangeNotification,
        [weak](const platform::Notification&) {
            if (auto dialog = weak.lock()) dialog->deviceOrientationDidChange();
        },
        owner);
    center.addObserver(
        platform::Keyboard::kWillShowNotification,
        [weak](const platform::Notification&) {
            if (auto dialog = weak.lock()) dialog->keyboardWillShow();
        },
        owner);
    center.addObserver(
        platform::Keyboard::kWillHideNotification,
        [weak](const platform::Notification&) {
            if (auto dialog = weak.lock()) dialog->keyboardWillHide();
        },
        owner);
}

void FBDialog::removeObservers() {
    if (!observing_) return;
    observing_ = false;
    platform::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

void FBDialog::deviceOrientationDidChange() {
    int orientation = statusBarOrientation();
    if (showingKeyboard_ || !shouldRotateToOrientation(orientation)) return;
    updateWebOrientation();
    View::animateWithDurationAnimations(kRotationDuration, [this] { sizeToFitOrientation(true); });
}

bool FBDialog::shouldRotateToOrientation(int orientation) const {
    if (orientation == orientation_) return false;
    return orientation >= platform::InterfaceOrientationPortrait &&
           orientation <= platform::InterfaceOrientationLandscapeLeft;
}

AffineTransform FBDialog::transformForOrientation() const {
    switch (statusBarOrientation()) {
    case platform::InterfaceOrientationLandscapeRight:
        return AffineTransform::makeRotation(static_cast<float>(std::numbers::pi / 2));
    case platform::InterfaceOrientationLandscapeLeft:
        return AffineTransform::makeRotation(static_cast<float>(std::numbers::pi * 1.5));
    case platform::InterfaceOrientationPortraitUpsideDown:
        return AffineTransform::makeRotation(static_cast<float>(-std::numbers::pi));
    default: return AffineTransform::identity();
    }
}

bool FBDialog::isPad() const {
    auto device = platform::Device::currentDevice();
    return device->answersUserInterfaceIdiom() &&
           device->userInterfaceIdiom() == platform::Device::UserInterfaceIdiomPad;
}

void FBDialog::sizeToFitOrientation(bool transform) {
    if (transform) setTransform(AffineTransform::identity());
    Rect frame = platform::Screen::mainScreen()->applicationFrame();
    platform::Point center{frame.origin.x + std::ceil(frame.size.width / 2),
                           frame.origin.y + std::ceil(frame.size.height / 2)};
    float scale = isPad() ? kPadScale : 1.0f;
    float width = std::floor(scale * frame.size.width);
    float height = std::floor(scale * frame.size.height);
    orientation_ = statusBarOrientation();
    if (platform::interfaceOrientationIsLandscape(orientation_)) {
        setFrame(Rect(0, 0, height, width));
    } else {
        setFrame(Rect(0, 0, width, height));
    }
    setCenter(center);
    if (transform) setTransform(transformForOrientation());
}

void FBDialog::updateWebOrientation() {
    if (platform::interfaceOrientationIsLandscape(statusBarOrientation())) {
        webView_->stringByEvaluatingJavaScriptFromString("document.body.setAttribute('orientation', 90);");
    } else {
        webView_->stringByEvaluatingJavaScriptFromString("document.body.removeAttribute('orientation');");
    }
}

void FBDialog::keyboardWillShow() {
    showingKeyboard_ = true;
    if (!isPad() && platform::interfaceOrientationIsLandscape(statusBarOrientation()))
        webView_->setFrame(webView_->frame().insetBy(-kKeyboardOutset, -kKeyboardOutset));
}

void FBDialog::keyboardWillHide() {
    showingKeyboard_ = false;
    if (!isPad() && platform::interfaceOrientationIsLandscape(statusBarOrientation()))
        webView_->setFrame(webView_->frame().insetBy(kKeyboardOutset, kKeyboardOutset));
}

// --- Drawing -------------------------------------------------------------------

void FBDialog::drawRect(Rect) {
    drawRectFillRadius(bounds(), borderColor(), kBorderWidth);
    strokeLinesStroke(webView_->frame().insetBy(-1, -1), lineColor());
}

void FBDialog::drawRectFillRadius(Rect rect, const Color& fillColor, float radius) {
    auto context = platform::GraphicsContext::current();
    if (!context) return;
    context->setFillColor(fillColor);
    if (radius <= 0) {
        context->fillRect(rect);
        return;
    }
    context->beginPath();
    addRoundedRectToPathRectRadius(rect, radius);
    context->fillPath();
}

void FBDialog::addRoundedRectToPathRectRadius(Rect rect, float radius) {
    auto context = platform::GraphicsContext::current();
    if (!context) return;
    // Inset and offset by half a point so one-point edges fall on whole pixels.
    Rect r = rect.insetBy(0.5f, 0.5f).offsetBy(0.5f, 0.5f);
    float minX = r.minX(), midX = r.midX(), maxX = r.maxX();
    float minY = r.minY(), midY = r.midY(), maxY = r.maxY();
    context->moveToPoint({minX, midY});
    context->addArcToPoint({minX, minY}, {midX, minY}, radius);
    context->addArcToPoint({maxX, minY}, {maxX, midY}, radius);
    context->addArcToPoint({maxX, maxY}, {midX, maxY}, radius);
    context->addArcToPoint({minX, maxY}, {minX, midY}, radius);
    context->closePath();
}

void FBDialog::strokeLinesStroke(Rect rect, const Color& strokeColor) {
    auto context = platform::GraphicsContext::current();
    if (!context) return;
    float x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    context->saveGState();
    context->setStrokeColor(strokeColor);
    context->setLineWidth(1);
    context->strokeLineSegments({{x + 0.5f, y - 0.5f},
                                 {x + w, y - 0.5f},
                                 {x + 0.5f, y + h - 0.5f},
                                 {x + w - 0.5f, y + h - 0.5f},
                                 {x + w - 0.5f, y},
                                 {x + w - 0.5f, y + h},
                                 {x + 0.5f, y},
                                 {x + 0.5f, y + h}});
    context->restoreGState();
}

}  // namespace clipora
