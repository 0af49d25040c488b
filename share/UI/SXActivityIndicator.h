#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/View.h"

namespace clipora {

namespace platform {
class ActivityIndicatorView;
class Label;
}  // namespace platform

// The framework's one heads-up display: a 160-point dark square in the
// middle of the key window with a spinner and a short text while something
// runs, or a large check mark and a text when it completed (fading out
// 0.6 s later). A process-wide single instance. Main thread only.
class SXActivityIndicator : public platform::View {
public:
    static constexpr float kSide = 160;
    static constexpr double kHideDelay = 0.6;
    static constexpr const char* kCheckMark = "\u2713";

    SXActivityIndicator();
    ~SXActivityIndicator() override;

    static std::shared_ptr<SXActivityIndicator> currentIndicator();
    // Drops the single instance (tests).
    static void reset();

    void displayActivity(const std::optional<std::string>& text);
    void displayCompleted(const std::optional<std::string>& text);
    void setCenterMessage(const std::optional<std::string>& text);
    void setSubMessage(const std::optional<std::string>& text);
    void showSpinner();
    void show();
    void persist();
    void hideAfterDelay();
    void hide();
    void setProperRotation(bool animated);

    const std::shared_ptr<platform::Label>& centerMessageLabel() const { return centerMessageLabel_; }
    const std::shared_ptr<platform::Label>& subMessageLabel() const { return subMessageLabel_; }
    const std::shared_ptr<platform::ActivityIndicatorView>& spinner() const { return spinner_; }

    std::string className() const override { return "SXActivityIndicator"; }

private:
    void hidden();
    std::shared_ptr<platform::Label> makeLabel(platform::Rect frame, float fontSize);
    bool isInWindow() const;

    std::shared_ptr<platform::Label> centerMessageLabel_;
    std::shared_ptr<platform::Label> subMessageLabel_;
    std::shared_ptr<platform::ActivityIndicatorView> spinner_;
    bool observing_ = false;
};

}  // namespace clipora
