#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Rect.h"
#include "platform/foundation/Timer.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/View.h"

namespace clipora {

// The heads-up display screens show while they wait: a rounded dark box with
// a spinner and an optional text, placed at 45 % of the free height, that
// ends with a success or error mark and fades out. One shared instance serves
// the application; callers use the class operations. Main thread only.
//
// Showing sets the alpha to 1 at once (the platform's animations give the
// model its target value when they start), so a dismissal right after a show
// is never ignored.
class ProgressHUD : public platform::View {
public:
    enum MaskType : unsigned {
        MaskTypeNone = 1,      // touches pass through to the screen
        MaskTypeClear = 2,     // touches blocked, nothing drawn
        MaskTypeBlack = 3,     // touches blocked, screen dimmed
        MaskTypeGradient = 4,  // touches blocked, a radial shade
    };
    using Text = std::optional<std::string>;
    using ViewPtr = std::shared_ptr<platform::View>;

    static constexpr double kFadeDuration = 0.15;
    static constexpr const char* kSuccessImage = "ProgressHUD.bundle/success.png";
    static constexpr const char* kErrorImage = "ProgressHUD.bundle/error.png";

    // --- Class operations (defaults: the application's window, no text,
    // network indicator on, automatic position -1, mask type none) ---
    static void show();
    static void showInView(const ViewPtr& view);
    static void showInViewStatus(const ViewPtr& view, const Text& status);
    static void showInViewStatusNetworkIndicator(const ViewPtr& view, const Text& status, bool networkIndicator);
    static void showInViewStatusNetworkIndicatorPosY(const ViewPtr& view, const Text& status, bool networkIndicator,
                                                     float posY);
    static void showWithStatus(const Text& status);
    static void showWithMaskType(MaskType maskType);
    static void showWithStatusMaskType(const Text& status, MaskType maskType);
    static void showWithStatusNetworkIndicator(const Text& status, bool networkIndicator);
    static void showWithMaskTypeNetworkIndicator(MaskType maskType, bool networkIndicator);
    static void showWithStatusMaskTypeNetworkIndicator(const Text& status, MaskType maskType, bool networkIndicator);
    static void showInViewStatusNetworkIndicatorPosYMaskType(const ViewPtr& view, const Text& status,
                                                             bool networkIndicator, float posY, MaskType maskType);
    static void showSuccessWithStatus(const Text& status);
    static void setStatus(const Text& status);
    static void dismiss();
    static void dismissWithSuccess(const Text& status);
    static void dismissWithSuccessAfterDelay(const Text& status, double seconds);
    static void dismissWithError(const Text& status);
    static void dismissWithErrorAfterDelay(const Text& status, double seconds);

    // The shared instance, made on first use.
    static std::shared_ptr<ProgressHUD> sharedView();
    // The shared instance when one exists (no side effect).
    static std::shared_ptr<ProgressHUD> existingSharedView();
    // Whether the shared HUD is on screen (in a view and not faded out).
    static bool isVisible();
    // Takes the shared HUD off screen and forgets it (tests).
    static void resetSharedView();

    ProgressHUD();
    ~ProgressHUD() override;

    // --- Instance operations ---
    void showInViewStatusNetworkIndicatorPosYMaskTypeNow(const ViewPtr& view, const Text& status, bool networkIndicator,
                                                         float posY, MaskType maskType);
    void updateStatus(const Text& status);
    // The same with a delay of 0.9 s.
    void dismissWithStatusError(const Text& status, bool error);
    // Only while fully shown: shows the mark and the text, stops the spinner
    // and fades out after the delay.
    void dismissWithStatusErrorAfterDelay(const Text& status, bool error, double seconds);
    void fadeOut();
    float visibleKeyboardHeight() const;
    void memoryWarning();

    MaskType maskType() const { return maskType_; }
    const std::shared_ptr<platform::View>& hudView() const { return hudView_; }
    std::shared_ptr<platform::Label> stringLabel();
    std::shared_ptr<platform::ImageView> imageView();
    std::shared_ptr<platform::ActivityIndicatorView> spinnerView();
    const std::shared_ptr<platform::Timer>& fadeOutTimer() const { return fadeOutTimer_; }
    // What the box shows: the text, and the mark's resource name once a
    // dismissal with a mark began (for the device program and tests).
    std::optional<std::string> statusText() const;
    std::optional<std::string> markImageName() const { return markImageName_; }

    void drawRect(platform::Rect rect) override;
    std::string className() const override { return "ProgressHUD"; }

private:
    void observeKeyboard();
    void stopFadeOutTimer();

    MaskType maskType_ = MaskTypeNone;
    std::shared_ptr<platform::Timer> fadeOutTimer_;
    std::shared_ptr<platform::View> hudView_;
    std::shared_ptr<platform::Label> stringLabel_;
    std::shared_ptr<platform::ImageView> imageView_;
    std::shared_ptr<platform::ActivityIndicatorView> spinnerView_;
    std::optional<std::string> markImageName_;
    bool observing_ = false;
};

}  // namespace clipora
