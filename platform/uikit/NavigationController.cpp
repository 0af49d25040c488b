#include "platform/uikit/NavigationController.h"

#include <algorithm>
#include <utility>

#include "platform/foundation/InvalidArgumentException.h"

namespace clipora::platform {

NavigationController::NavigationController() = default;

NavigationController::NavigationController(NavigationBarFactory makeBar) : makeNavigationBar_(std::move(makeBar)) {}

std::shared_ptr<NavigationController> NavigationController::self() {
    return std::static_pointer_cast<NavigationController>(shared_from_this());
}

bool NavigationController::isOnScreen() const {
    return appearanceState() == Appearing || appearanceState() == Appeared;
}

void NavigationController::adopt(const std::shared_ptr<ViewController>& controller) {
    if (!controller) throw InvalidArgumentException("Cannot push a null view controller.");
    if (std::find(stack_.begin(), stack_.end(), controller) != stack_.end() || controller->parentViewController() ||
        controller.get() == this)
        throw InvalidArgumentException("Pushing a view controller that is already in a container or presented (" +
                                       controller->description() + ") is not supported.");
    controller->setParentViewController(self());
}

void NavigationController::initWithRootViewController(const std::shared_ptr<ViewController>& root) {
    setViewControllersAnimated({root}, false);
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const {
    if (auto presented = presentedViewController()) return presented;
    auto top = topViewController();
    if (top && top->presentedViewController()) return top->presentedViewController();
    return top;
}

void NavigationController::setViewControllersAnimated(std::vector<std::shared_ptr<ViewController>> controllers,
                                                      bool animated) {
    auto keep = self();
    auto oldTop = topViewController();
    auto oldStack = stack_;
    for (auto& c : oldStack) {
        if (std::find(controllers.begin(), controllers.end(), c) == controllers.end() && c != oldTop)
            c->setParentViewController(nullptr);
    }
    stack_.clear();
    for (auto& c : controllers) {
        bool wasHere = std::find(oldStack.begin(), oldStack.end(), c) != oldStack.end();
        if (wasHere) {
            stack_.push_back(c);
        } else {
            adopt(c);
            stack_.push_back(c);
        }
    }
    if (oldTop != topViewController()) {
        transition(oldTop, animated);
    } else {
        updateBarsAndContent();
    }
    if (oldTop && std::find(stack_.begin(), stack_.end(), oldTop) == stack_.end())
        oldTop->setParentViewController(nullptr);
}

void NavigationController::pushViewControllerAnimated(const std::shared_ptr<ViewController>& controller,
                                                      bool animated) {
    auto keep = self();
    adopt(controller);
    auto oldTop = topViewController();
    stack_.push_back(controller);
    transition(oldTop, animated);
}

std::shared_ptr<ViewController> NavigationController::popViewControllerAnimated(bool animated) {
    if (stack_.size() <= 1) return nullptr;
    auto keep = self();
    auto popped = stack_.back();
    stack_.pop_back();
    transition(popped, animated);
    popped->setParentViewController(nullptr);
    return popped;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewControllerAnimated(bool animated) {
    if (stack_.empty()) return {};
    return popToViewControllerAnimated(stack_.front(), animated);
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToViewControllerAnimated(
    const std::shared_ptr<ViewController>& controller, bool animated) {
    auto it = std::find(stack_.begin(), stack_.end(), controller);
    if (it == stack_.end() || it + 1 == stack_.end()) return {};
    auto keep = self();
    std::vector<std::shared_ptr<ViewController>> popped(it + 1, stack_.end());
    stack_.erase(it + 1, stack_.end());
    transition(popped.back(), animated);
    for (auto& c : popped) c->setParentViewController(nullptr);
    return popped;
}

void NavigationController::transition(const std::shared_ptr<ViewController>& from, bool animated) {
    auto to = topViewController();
    if (!isOnScreen() || from == to) {
        updateBarsAndContent();
        return;
    }
    auto keep = self();
    if (to) to->view();
    auto d = delegate_.lock();
    if (d && to) d->navigationControllerWillShowViewControllerAnimated(keep, to, animated);
    if (from) from->notifyWillDisappear(animated);
    if (to) to->notifyWillAppear(animated);
    updateBarsAndContent();
    if (from) from->notifyDidDisappear(animated);
    if (to) to->notifyDidAppear(animated);
    d = delegate_.lock();
    if (d && to) d->navigationControllerDidShowViewControllerAnimated(keep, to, animated);
}

std::shared_ptr<NavigationBar> NavigationController::navigationBar() {
    if (!navigationBar_) {
        if (makeNavigationBar_) navigationBar_ = makeNavigationBar_();
        if (!navigationBar_) navigationBar_ = std::make_shared<NavigationBar>();
        navigationBar_->setAutoresizingMask(View::AutoresizingFlexibleWidth);
        std::weak_ptr<Responder> weak = weak_from_this();
        navigationBar_->backAction_ = [weak] {
            auto nav = std::static_pointer_cast<NavigationController>(weak.lock());
            return nav && nav->popViewControllerAnimated(true) != nullptr;
        };
        std::vector<std::shared_ptr<NavigationItem>> items;
        for (auto& c : stack_) items.push_back(c->navigationItem());
        navigationBar_->setItems(std::move(items));
    }
    return navigationBar_;
}

std::shared_ptr<Toolbar> NavigationController::toolbar() {
    if (!toolbar_) {
        toolbar_ = std::make_shared<Toolbar>();
        toolbar_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleTopMargin);
        toolbar_->setHidden(toolbarHidden_);
    }
    return toolbar_;
}

void NavigationController::setNavigationBarHiddenAnimated(bool hidden, bool) {
    navigationBarHidden_ = hidden;
    updateBarsAndContent();
}

void NavigationController::setToolbarHiddenAnimated(bool hidden, bool) {
    toolbarHidden_ = hidden;
    updateBarsAndContent();
}

void NavigationController::loadView() {
    auto container = std::make_shared<View>(fullScreenFrame());
    container->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    setView(container);
    shownView_.reset();
    updateBarsAndContent();
}

void NavigationController::updateBarsAndContent() {
    auto bar = navigationBar();
    std::vector<std::shared_ptr<NavigationItem>> items;
    for (auto& c : stack_) items.push_back(c->navigationItem());
    bar->setItems(std::move(items));
    auto top = topViewController();
    auto tools = toolbar();
    tools->setItems(top ? top->toolbarItems() : std::vector<std::shared_ptr<BarButtonItem>>{});
    if (!isViewLoaded()) return;

    auto container = view();
    Rect b = container->bounds();
    bar->setFrame({0, 0, b.size.width, bar->sizeThatFits(b.size).height});
    bar->setHidden(navigationBarHidden_);
    if (bar->superview() != container) container->addSubview(bar);
    const bool toolbarShown = !toolbarHidden_ && !(top && top->hidesBottomBarWhenPushed());
    tools->setFrame({0, b.size.height - Toolbar::kHeight, b.size.width, Toolbar::kHeight});
    tools->setHidden(!toolbarShown);
    if (tools->superview() != container) container->addSubview(tools);

    std::shared_ptr<View> wanted = top ? top->view() : nullptr;
    if (shownView_ != wanted) {
        if (shownView_ && shownView_->superview() == container) shownView_->removeFromSuperview();
        shownView_ = wanted;
        if (wanted) container->insertSubviewBelowSubview(wanted, bar);
    }
    if (wanted) {
        float top0 = navigationBarHidden_ ? 0 : bar->frame().size.height;
        float bottom = toolbarShown ? Toolbar::kHeight : 0;
        wanted->setFrame({0, top0, b.size.width, b.size.height - top0 - bottom});
    }
}

bool NavigationController::shouldAutorotateToInterfaceOrientation(int orientation) {
    if (auto top = topViewController()) return top->shouldAutorotateToInterfaceOrientation(orientation);
    return ViewController::shouldAutorotateToInterfaceOrientation(orientation);
}

}  // namespace clipora::platform
