#include "platform/uikit/ViewController.h"

#include "platform/foundation/InvalidArgumentException.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Window.h"

namespace clipora::platform {

ViewController::ViewController() = default;

ViewController::~ViewController() = default;

// --- The view ---

std::shared_ptr<View> ViewController::view() {
    if (!view_ && !loadingView_) {
        auto keep = shared_from_this();
        loadingView_ = true;
        loadView();
        loadingView_ = false;
        if (!view_) setView(std::make_shared<View>(fullScreenFrame()));
        viewDidLoad();
    }
    return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
    if (view_ && view_ != view) view_->viewController_.reset();
    view_ = std::move(view);
    if (!view_) return;
    if (auto self = weak_from_this().lock()) view_->viewController_ = std::static_pointer_cast<ViewController>(self);
}

void ViewController::loadView() {
    auto v = std::make_shared<View>(fullScreenFrame());
    v->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    setView(v);
}

Rect ViewController::fullScreenFrame() { return Screen::mainScreen()->applicationFrame(); }

void ViewController::didReceiveMemoryWarning() {
    if (!view_ || view_->superview() || appearance_ != Disappeared) return;
    setView(nullptr);
    viewDidUnload();
}

// --- Appearance ---

void ViewController::notifyWillAppear(bool animated) {
    if (appearance_ == Appearing || appearance_ == Appeared) return;
    auto keep = shared_from_this();
    view();
    appearance_ = Appearing;
    viewWillAppear(animated);
    if (auto child = childOnScreen()) child->notifyWillAppear(animated);
}

void ViewController::notifyDidAppear(bool animated) {
    if (appearance_ == Appeared) return;
    auto keep = shared_from_this();
    if (appearance_ != Appearing) notifyWillAppear(animated);
    appearance_ = Appeared;
    viewDidAppear(animated);
    if (auto child = childOnScreen()) child->notifyDidAppear(animated);
}

void ViewController::notifyWillDisappear(bool animated) {
    if (appearance_ == Disappeared || appearance_ == Disappearing) return;
    auto keep = shared_from_this();
    appearance_ = Disappearing;
    viewWillDisappear(animated);
    if (auto child = childOnScreen()) child->notifyWillDisappear(animated);
}

void ViewController::notifyDidDisappear(bool animated) {
    if (appearance_ == Disappeared) return;
    auto keep = shared_from_this();
    if (appearance_ != Disappearing) notifyWillDisappear(animated);
    appearance_ = Disappeared;
    viewDidDisappear(animated);
    if (auto child = childOnScreen()) child->notifyDidDisappear(animated);
}

// --- Rotation ---

bool ViewController::shouldAutorotateToInterfaceOrientation(int orientation) {
    return orientation == InterfaceOrientationPortrait;
}

InterfaceOrientation ViewController::interfaceOrientation() const {
    return Application::sharedApplication()->statusBarOrientation();
}

void ViewController::rotateToInterfaceOrientation(InterfaceOrientation orientation) {
    constexpr double kDuration = 0.3;
    auto keep = shared_from_this();
    std::vector<std::shared_ptr<ViewController>> targets{std::static_pointer_cast<ViewController>(keep)};
    for (auto child = childOnScreen(); child; child = child->childOnScreen()) targets.push_back(child);
    auto app = Application::sharedApplication();
    int old = app->statusBarOrientation();
    for (auto& t : targets) t->willRotateToInterfaceOrientationDuration(orientation, kDuration);
    for (auto& t : targets) t->willAnimateRotationToInterfaceOrientationDuration(orientation, kDuration);
    app->setStatusBarOrientation(orientation);
    for (auto& t : targets) t->didRotateFromInterfaceOrientation(old);
}

// --- Title, bars, editing ---

void ViewController::setTitle(std::string title) {
    title_ = title;
    navigationItem()->setTitle(std::move(title));
}

std::shared_ptr<NavigationItem> ViewController::navigationItem() {
    if (!navigationItem_) navigationItem_ = std::make_shared<NavigationItem>(title_);
    return navigationItem_;
}

void ViewController::setEditingAnimated(bool editing, bool) {
    editing_ = editing;
    if (editButtonItem_) {
        editButtonItem_->setTitle(editing ? "Done" : "Edit");
        editButtonItem_->setStyle(editing ? BarButtonItem::StyleDone : BarButtonItem::StyleBordered);
    }
}

std::shared_ptr<BarButtonItem> ViewController::editButtonItem() {
    if (!editButtonItem_) {
        editButtonItem_ = std::make_shared<BarButtonItem>(
            editing_ ? "Done" : "Edit", editing_ ? BarButtonItem::StyleDone : BarButtonItem::StyleBordered);
        std::weak_ptr<Responder> weak = weak_from_this();
        editButtonItem_->setAction([weak](const std::shared_ptr<BarButtonItem>&) {
            if (auto self = std::static_pointer_cast<ViewController>(weak.lock()))
                self->setEditingAnimated(!self->isEditing(), true);
        });
    }
    return editButtonItem_;
}

// --- Containers ---

void ViewController::setParentViewController(const std::shared_ptr<ViewController>& parent) { parent_ = parent; }

std::shared_ptr<ViewController> ViewController::parentViewController() const {
    if (auto parent = parent_.lock()) return parent;
    return presenting_.lock();
}

std::shared_ptr<NavigationController> ViewController::navigationController() const {
    for (auto p = parent_.lock(); p; p = p->parent_.lock()) {
        if (auto nav = std::dynamic_pointer_cast<NavigationController>(p)) return nav;
    }
    return nullptr;
}

std::shared_ptr<ViewController> ViewController::presentingViewController() const {
    for (const ViewController* c = this; c; c = c->parent_.lock().get()) {
        if (auto presenting = c->presenting_.lock()) return presenting;
    }
    return nullptr;
}

std::shared_ptr<ViewController> ViewController::modalViewController() const {
    for (const ViewController* c = this; c; c = c->parent_.lock().get()) {
        if (c->presented_) return c->presented_;
    }
    return nullptr;
}

std::shared_ptr<ViewController> ViewController::outermost() {
    auto c = std::static_pointer_cast<ViewController>(shared_from_this());
    while (auto p = c->parent_.lock()) c = p;
    return c;
}

// --- Presentation ---

void ViewController::presentModalViewControllerAnimated(const std::shared_ptr<ViewController>& controller,
                                                        bool animated) {
    presentViewControllerAnimatedCompletion(controller, animated, nullptr);
}

void ViewController::presentViewControllerAnimatedCompletion(const std::shared_ptr<ViewController>& controller,
                                                             bool animated, std::function<void()> completion) {
    if (!controller) throw InvalidArgumentException("Cannot present a null view controller.");
    auto keepSelf = shared_from_this();
    auto keep = controller;
    auto presenter = outermost();
    while (presenter->presented_) presenter = presenter->presented_;
    if (controller == presenter || controller->presenting_.lock() || controller->parent_.lock())
        throw InvalidArgumentException("Application tried to present an active controller " +
                                       controller->description() + ".");

    const bool onScreen = presenter->appearance_ == Appearing || presenter->appearance_ == Appeared;
    const bool sheet = controller->modalPresentationStyle_ == ModalPresentationStylePageSheet ||
                       controller->modalPresentationStyle_ == ModalPresentationStyleFormSheet;
    const bool covers = !(sheet && Device::currentDevice()->userInterfaceIdiom() == Device::UserInterfaceIdiomPad);
    std::shared_ptr<Window> window = presenter->view_ ? presenter->view_->window() : nullptr;

    presenter->presented_ = controller;
    controller->presenting_ = presenter;

    auto view = controller->view();
    Rect frame = fullScreenFrame();
    if (!covers) {
        Rect screen = Screen::mainScreen()->bounds();
        Size size = controller->modalPresentationStyle_ == ModalPresentationStyleFormSheet
                        ? Size{540, 620}
                        : Size{768, frame.size.height};
        frame = {screen.midX() - size.width / 2, frame.midY() - size.height / 2, size.width, size.height};
    }
    view->setFrame(frame);

    if (onScreen && covers) presenter->notifyWillDisappear(animated);
    if (onScreen) controller->notifyWillAppear(animated);
    if (onScreen && window) window->addSubview(view);
    if (onScreen && covers) presenter->notifyDidDisappear(animated);
    if (onScreen) controller->notifyDidAppear(animated);
    if (completion) completion();
}

void ViewController::dismissModalViewControllerAnimated(bool animated) {
    dismissViewControllerAnimatedCompletion(animated, nullptr);
}

void ViewController::dismissViewControllerAnimatedCompletion(bool animated, std::function<void()> completion) {
    auto keepSelf = shared_from_this();
    std::shared_ptr<ViewController> presenter;
    for (auto c = std::static_pointer_cast<ViewController>(keepSelf); c && !presenter; c = c->parent_.lock()) {
        if (c->presented_) presenter = c;
    }
    for (auto c = std::static_pointer_cast<ViewController>(keepSelf); c && !presenter; c = c->parent_.lock()) {
        presenter = c->presenting_.lock();
    }
    if (!presenter) return;

    std::vector<std::shared_ptr<ViewController>> chain;
    for (auto c = presenter->presented_; c; c = c->presented_) chain.push_back(c);
    auto top = chain.back();
    const bool onScreen = top->appearance_ == Appearing || top->appearance_ == Appeared;
    const bool reappear = onScreen && presenter->appearance_ != Appeared;

    if (onScreen) top->notifyWillDisappear(animated);
    if (reappear) presenter->notifyWillAppear(animated);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        auto& c = *it;
        if (c->view_) c->view_->removeFromSuperview();
        c->presenting_.reset();
        c->presented_.reset();
    }
    presenter->presented_.reset();
    if (onScreen) top->notifyDidDisappear(animated);
    if (reappear) presenter->notifyDidAppear(animated);
    if (completion) completion();
}

std::shared_ptr<Responder> ViewController::nextResponder() const {
    if (view_) {
        if (auto s = view_->superview()) return s;
    }
    return nullptr;
}

std::string ViewController::description() const { return "<ViewController: " + title_ + ">"; }

}  // namespace clipora::platform
