#pragma once

#include <memory>
#include <vector>

#include "platform/uikit/View.h"

namespace clipora::platform {

class ViewController;

// The root of a view hierarchy. A window is hidden until made visible; the
// application lists the visible windows and knows the key window. A
// controller whose view is put directly into a visible window (or whose
// window becomes visible) appears; taken out (or hidden), it disappears.
class Window : public View {
public:
    static constexpr float kLevelNormal = 0;
    static constexpr float kLevelStatusBar = 1000;
    static constexpr float kLevelAlert = 2000;

    Window();
    explicit Window(Rect frame);

    float windowLevel() const { return windowLevel_; }
    void setWindowLevel(float level) { windowLevel_ = level; }

    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;
    virtual void becomeKeyWindow() {}
    virtual void resignKeyWindow() {}
    void setHidden(bool hidden) override;

    // Puts the controller's view into the window (replacing the previous root's).
    std::shared_ptr<ViewController> rootViewController() const { return rootViewController_; }
    void setRootViewController(const std::shared_ptr<ViewController>& controller);
    // The root controller, or else the controllers whose views are direct
    // subviews, in subview order.
    std::vector<std::shared_ptr<ViewController>> rootViewControllers() const;

    std::shared_ptr<Window> window() const override;
    void didAddSubview(const std::shared_ptr<View>& subview) override;
    void willRemoveSubview(const std::shared_ptr<View>& subview) override;
    std::string className() const override { return "Window"; }

private:
    float windowLevel_ = kLevelNormal;
    std::shared_ptr<ViewController> rootViewController_;
};

}  // namespace clipora::platform
