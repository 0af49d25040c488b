#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Rect.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/AffineTransform.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/View.h"
#include "platform/uikit/WebView.h"
#include "platform/uikit/WebViewDelegate.h"
#include "social/sdk/FBDialogDelegate.h"

namespace clipora {

class FBFrictionlessRequestSettings;

// One of the social network's web dialogs (wall post, application request,
// login) in an embedded web view, framed by a grey border with a close
// button, centred over the window with a bounce, kept upright through
// rotations and the keyboard. The page ends by navigating to an "fbconnect"
// URL, from which the dialog reads success, cancel or an error and tells its
// delegate. Made with std::make_shared. Main thread only.
class FBDialog : public platform::View, public platform::WebViewDelegate {
public:
    static constexpr float kBorderWidth = 10;
    static constexpr float kPadding = 1;
    static constexpr float kPadScale = 0.6f;
    static constexpr double kAppearDuration = 0.2;
    static constexpr double kBounceDuration = 0.15;
    static constexpr double kDismissDuration = 0.3;
    static constexpr double kRotationDuration = 0.3;
    static constexpr double kInvisibleShowDelay = 0.05;
    static constexpr float kKeyboardOutset = 10;
    static constexpr const char* kCloseImageName = "FBDialog.bundle/images/close.png";
    static constexpr const char* kEscapedCharacters = "!*'();:@&=+$,/?%#[]";

    FBDialog();
    FBDialog(std::string serverURL, platform::Value::Dictionary params, bool isViewInvisible,
             std::shared_ptr<FBFrictionlessRequestSettings> frictionlessSettings,
             std::weak_ptr<FBDialogDelegate> delegate);
    ~FBDialog() override;

    static std::shared_ptr<FBDialog> initWithURLParamsIsViewInvisibleFrictionlessSettingsDelegate(
        std::string serverURL, platform::Value::Dictionary params, bool isViewInvisible,
        std::shared_ptr<FBFrictionlessRequestSettings> frictionlessSettings, std::weak_ptr<FBDialogDelegate> delegate);

    // Loads the page, lays the dialog out and, unless invisible, shows it.
    void show();
    void load();
    void loadURLGet(const std::string& url, const platform::Value::Dictionary& params);
    // The page URL with the parameters as its query ("?" always); none when
    // the text is not a URL.
    static std::optional<platform::URL> generateURLParams(const std::string& url,
                                                          const platform::Value::Dictionary& params);

    void showWebView();
    void bounce1AnimationStopped();
    void bounce2AnimationStopped();
    void showSpinner();
    void hideSpinner();

    void dismiss(bool animated);
    void postDismissCleanup();
    void dismissWithSuccessAnimated(bool success, bool animated);
    void dismissWithErrorAnimated(const platform::Error& error, bool animated);
    virtual void dialogDidSucceed(const platform::URL& url);
    virtual void dialogDidCancel(const std::optional<platform::URL>& url);
    // The close button.
    void cancel();
    virtual void dialogWillAppear() {}
    virtual void dialogWillDisappear() {}

    // The value of "name=" in a URL text, unescaped: the first occurrence
    // that starts the text or follows '#', '?' or '&'.
    static std::optional<std::string> getStringFromUrlNeedle(std::string_view url, std::string_view needle);
    static bool testBoolUrlParamParam(const platform::URL& url, std::string_view needle);
    void dialogSuccessHandleFrictionlessResponses(const platform::URL& url);

    // --- The web view's delegate ---
    bool webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<platform::WebView>& webView,
                                                         const std::shared_ptr<platform::URLRequest>& request,
                                                         platform::WebViewNavigationType navigationType) override;
    void webViewDidFinishLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void webViewDidFailLoadWithError(const std::shared_ptr<platform::WebView>& webView,
                                     const platform::Error& error) override;

    // --- Orientation and keyboard ---
    void addObservers();
    void removeObservers();
    void deviceOrientationDidChange();
    void keyboardWillShow();
    void keyboardWillHide();
    bool shouldRotateToOrientation(int orientation) const;
    platform::AffineTransform transformForOrientation() const;
    void sizeToFitOrientation(bool transform);
    void updateWebOrientation();

    // --- Drawing ---
    void drawRect(platform::Rect rect) override;
    void drawRectFillRadius(platform::Rect rect, const platform::Color& fillColor, float radius);
    void addRoundedRectToPathRectRadius(platform::Rect rect, float radius);
    void strokeLinesStroke(platform::Rect rect, const platform::Color& strokeColor);

    // --- Fields ---
    std::shared_ptr<FBDialogDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<FBDialogDelegate> delegate) { delegate_ = std::move(delegate); }
    const platform::Value::Dictionary& params() const { return params_; }
    void setParams(platform::Value::Dictionary params) { params_ = std::move(params); }
    const std::string& serverURL() const { return serverURL_; }
    const std::optional<platform::URL>& loadingURL() const { return loadingURL_; }
    const std::shared_ptr<platform::WebView>& webView() const { return webView_; }
    const std::shared_ptr<platform::ActivityIndicatorView>& spinner() const { return spinner_; }
    const std::shared_ptr<platform::Button>& closeButton() const { return closeButton_; }
    int orientation() const { return orientation_; }
    bool showingKeyboard() const { return showingKeyboard_; }
    bool isViewInvisible() const { return isViewInvisible_; }
    const std::shared_ptr<FBFrictionlessRequestSettings>& frictionlessSettings() const { return frictionlessSettings_; }
    const std::shared_ptr<platform::View>& modalBackgroundView() const { return modalBackgroundView_; }

    std::string className() const override { return "FBDialog"; }

protected:
    // Connects the web view and the close button to this dialog (needs the
    // dialog's shared pointer, so not in the constructor).
    void wire();

private:
    bool isPad() const;

    std::weak_ptr<FBDialogDelegate> delegate_;
    platform::Value::Dictionary params_;
    std::string serverURL_;
    std::optional<platform::URL> loadingURL_;
    std::shared_ptr<platform::WebView> webView_;
    std::shared_ptr<platform::ActivityIndicatorView> spinner_;
    std::shared_ptr<platform::Button> closeButton_;
    int orientation_ = 0;
    bool showingKeyboard_ = false;
    bool isViewInvisible_ = false;
    std::shared_ptr<FBFrictionlessRequestSettings> frictionlessSettings_;
    std::shared_ptr<platform::View> modalBackgroundView_;
    bool wired_ = false;
    bool observing_ = false;
};

}  // namespace clipora
