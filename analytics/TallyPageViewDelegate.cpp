#include "analytics/TallyPageViewDelegate.h"

#include <mutex>

#include "analytics/TallySession.h"
#include "analytics/TallyUtil.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/TabBarController.h"

namespace clipora {

using namespace platform;

namespace {

// The controllers hold their delegates weakly; installed proxies live here.
std::mutex& installedMutex() {
    static std::mutex mutex;
    return mutex;
}
std::vector<std::shared_ptr<TallyPageViewDelegate>>& installed() {
    static std::vector<std::shared_ptr<TallyPageViewDelegate>> proxies;
    return proxies;
}

Value describe(const std::shared_ptr<ViewController>& controller) {
    return controller ? Value(std::static_pointer_cast<Object>(controller)) : Value();
}

std::string describeList(const std::vector<std::shared_ptr<ViewController>>& controllers) {
    Value::Array list;
    for (const auto& c : controllers) list.push_back(describe(c));
    return Value(std::move(list)).description();
}

using EndCustomizing = void (TabBarControllerDelegate::*)(const std::shared_ptr<TabBarController>&,
                                                          const std::vector<std::shared_ptr<ViewController>>&, bool);

// The two ends of a customisation (will end, did end) are logged alike and
// handed on to the application's own delegate.
void forwardEndCustomizing(const std::shared_ptr<TabBarControllerDelegate>& next, EndCustomizing call,
                           const std::shared_ptr<TabBarController>& controller,
                           const std::vector<std::shared_ptr<ViewController>>& controllers, bool changed) {
    TallyUtil::guarded([&] {
        TallyUtil::debugLog("Tally: TallyPageViewDelegate [%@] [%@] [%d]", describe(controller),
                            describeList(controllers), changed ? 1 : 0);
        if (next) (next.get()->*call)(controller, controllers, changed);
    });
}

}  // namespace

std::shared_ptr<TallyPageViewDelegate> TallyPageViewDelegate::createDelegateOnTarget(
    const std::shared_ptr<ViewController>& controller) {
    std::shared_ptr<TallyPageViewDelegate> proxy;
    if (auto navigation = std::dynamic_pointer_cast<NavigationController>(controller)) {
        proxy = initWithSessionDelegate(TallySession::currentSession(), navigation->delegate(), nullptr);
        navigation->setDelegate(proxy);
    } else if (auto tabBar = std::dynamic_pointer_cast<TabBarController>(controller)) {
        proxy = initWithSessionDelegate(TallySession::currentSession(), nullptr, tabBar->delegate());
        tabBar->setDelegate(proxy);
    } else {
        return nullptr;
    }
    std::lock_guard lock(installedMutex());
    installed().push_back(proxy);
    return proxy;
}

std::shared_ptr<TallyPageViewDelegate> TallyPageViewDelegate::initWithSessionDelegate(
    std::shared_ptr<TallySession> session, std::shared_ptr<NavigationControllerDelegate> navigationDelegate,
    std::shared_ptr<TabBarControllerDelegate> tabBarDelegate) {
    auto proxy = std::make_shared<TallyPageViewDelegate>();
    proxy->session_ = std::move(session);
    proxy->navigationDelegate_ = std::move(navigationDelegate);
    proxy->tabBarDelegate_ = std::move(tabBarDelegate);
    TallyUtil::debugLog("Tally: TallyPageViewDelegate session[%@] delegate[%@] created",
                        proxy->session_ ? Value(std::static_pointer_cast<Object>(proxy->session_)) : Value(),
                        Value(proxy->navigationDelegate_ || proxy->tabBarDelegate_ ? "delegate" : "(null)"));
    return proxy;
}

void TallyPageViewDelegate::reset() {
    std::vector<std::shared_ptr<TallyPageViewDelegate>> old;
    std::lock_guard lock(installedMutex());
    old.swap(installed());
}

void TallyPageViewDelegate::count() {
    if (!session_) return;
    session_->maybeIncrementPageView();
    TallyUtil::debugLog("Tally: pageViewCount[%d]", session_->pageViewCount());
}

void TallyPageViewDelegate::navigationControllerDidShowViewControllerAnimated(
    const std::shared_ptr<NavigationController>& controller, const std::shared_ptr<ViewController>& shown,
    bool animated) {
    TallyUtil::guarded([&] {
        TallyUtil::debugLog("Tally: TallyPageViewDelegate [%@]", describe(controller));
        if (navigationDelegate_)
            navigationDelegate_->navigationControllerDidShowViewControllerAnimated(controller, shown, animated);
        TallyUtil::debugLog("Tally: Navigation View [%@]", describe(controller));
        count();
    });
}

void TallyPageViewDelegate::navigationControllerWillShowViewControllerAnimated(
    const std::shared_ptr<NavigationController>& controller, const std::shared_ptr<ViewController>& shown,
    bool animated) {
    TallyUtil::guarded([&] {
        TallyUtil::debugLog("Tally: TallyPageViewDelegate [%@] [%@] [%d]", describe(controller), describe(shown),
                            animated ? 1 : 0);
        if (navigationDelegate_)
            navigationDelegate_->navigationControllerWillShowViewControllerAnimated(controller, shown, animated);
    });
}

bool TallyPageViewDelegate::tabBarControllerShouldSelectViewController(
    const std::shared_ptr<TabBarController>& controller, const std::shared_ptr<ViewController>& selected) {
    bool answer = true;
    TallyUtil::guarded([&] {
        TallyUtil::debugLog("Tally: TallyPageViewDelegate [%@] [%@]", describe(controller), describe(selected));
        if (tabBarDelegate_) answer = tabBarDelegate_->tabBarControllerShouldSelectViewController(controller, selected);
    });
    return answer;
}

void TallyPageViewDelegate::tabBarControllerDidSelectViewController(const std::shared_ptr<TabBarController>& controller,
                                                                    const std::shared_ptr<ViewController>& selected) {
    TallyUtil::guarded([&] {
        TallyUtil::debugLog("Tally: TallyPageViewDelegate [%@] [%@]", describe(controller), describe(selected));
        if (tabBarDelegate_) tabBarDelegate_->tabBarControllerDidSelectViewController(controller, selected);
        count();
    });
}

void TallyPageViewDelegate::tabBarControllerWillBeginCustomizingViewControllers(
    const std::shared_ptr<TabBarController>& controller,
    const std::vector<std::shared_ptr<ViewController>>& controllers) {
    TallyUtil::guarded([&] {
        TallyUtil::debugLog("Tally: TallyPageViewDelegate [%@] [%@]", describe(controller), describeList(controllers));
        if (tabBarDelegate_)
            tabBarDelegate_->tabBarControllerWillBeginCustomizingViewControllers(controller, controllers);
    });
}

void TallyPageViewDelegate::tabBarControllerWillEndCustomizingViewControllersChanged(
    const std::shared_ptr<TabBarController>& controller,
    const std::vector<std::shared_ptr<ViewController>>& controllers, bool changed) {
    forwardEndCustomizing(tabBarDelegate_,
                          &TabBarControllerDelegate::tabBarControllerWillEndCustomizingViewControllersChanged,
                          controller, controllers, changed);
}

void TallyPageViewDelegate::tabBarControllerDidEndCustomizingViewControllersChanged(
    const std::shared_ptr<TabBarController>& controller,
    const std::vector<std::shared_ptr<ViewController>>& controllers, bool changed) {
    forwardEndCustomizing(tabBarDelegate_,
                          &TabBarControllerDelegate::tabBarControllerDidEndCustomizingViewControllersChanged,
                          controller, controllers, changed);
}

}  // namespace clipora
