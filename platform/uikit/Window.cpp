#include "platform/uikit/Window.h"

#include <algorithm>

#include "platform/uikit/Application.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ViewController.h"

namespace clipora::platform {

Window::Window() : Window(Screen::mainScreen()->bounds()) {}

Window::Window(Rect frame) : View(frame) { View::setHidden(true); }

std::shared_ptr<Window> Window::window() const {
    return std::static_pointer_cast<Window>(std::const_pointer_cast<Responder>(shared_from_this()));
}

void Window::makeKeyAndVisible() {
    setHidden(false);
    makeKeyWindow();
}

void Window::makeKeyWindow() {
    auto self = window();
    Application::sharedApplication()->windowDidBecomeKey(self);
}

bool Window::isKeyWindow() const { return Application::sharedApplication()->keyWindow().get() == this; }

void Window::setHidden(bool hidden) {
    bool wasHidden = isHidden();
    View::setHidden(hidden);
    if (wasHidden == hidden) return;
    auto self = window();
    auto app = Application::sharedApplication();
    if (!hidden) {
        app->windowDidBecomeVisible(self);
        for (auto& controller : rootViewControllers()) {
            if (controller->appearanceState() == ViewController::Disappeared) controller->notifyDidAppear(false);
        }
    } else {
        for (auto& controller : rootViewControllers()) {
            if (controller->appearanceState() == ViewController::Appeared) controller->notifyDidDisappear(false);
        }
        app->windowDidBecomeHidden(this);
    }
}

void Window::setRootViewController(const std::shared_ptr<ViewController>& controller) {
    if (controller == rootViewController_) return;
    auto old = rootViewController_;
    rootViewController_ = nullptr;
    if (old && old->isViewLoaded() && old->view()->superview().get() == this) old->view()->removeFromSuperview();
    rootViewController_ = controller;
    if (!controller) return;
    auto view = controller->view();
    view->setFrame(Screen::mainScreen()->applicationFrame());
    if (view->superview().get() != this) addSubview(view);
}

std::vector<std::shared_ptr<ViewController>> Window::rootViewControllers() const {
    std::vector<std::shared_ptr<ViewController>> out;
    if (rootViewController_) out.push_back(rootViewController_);
    for (auto& subview : subviews()) {
        auto controller = subview->viewController();
        // A controller presented over another is reached through its presenter.
        if (!controller || controller->presentingViewController()) continue;
        if (std::find(out.begin(), out.end(), controller) == out.end()) out.push_back(controller);
    }
    return out;
}

void Window::didAddSubview(const std::shared_ptr<View>& subview) {
    View::didAddSubview(subview);
    if (isHidden()) return;
    auto controller = subview->viewController();
    if (controller && controller->appearanceState() == ViewController::Disappeared) controller->notifyDidAppear(false);
}

void Window::willRemoveSubview(const std::shared_ptr<View>& subview) {
    View::willRemoveSubview(subview);
    if (isHidden()) return;
    auto controller = subview->viewController();
    if (controller && controller->appearanceState() == ViewController::Appeared) controller->notifyDidDisappear(false);
}

}  // namespace clipora::platform
