#include "platform/uikit/Application.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/ApplicationDelegate.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/LocalNotificationCenter.h"
#include "platform/uikit/Pasteboard.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/Window.h"

namespace clipora::platform {

namespace {

struct ApplicationSlot {
    std::mutex mutex;
    std::shared_ptr<Application> application = std::make_shared<Application>();
};

ApplicationSlot& slot() {
    // Never destroyed, and locked: background threads (request operations
    // finishing on queue workers) turn the network activity indicator on and
    // off, also while tests reset the application or statics die at exit.
    static ApplicationSlot& s = *new ApplicationSlot;
    return s;
}

// Every controller on screen below `controller`: itself, its children and
// what it presents, parents before children.
void collect(const std::shared_ptr<ViewController>& controller, std::vector<std::shared_ptr<ViewController>>& out) {
    if (!controller) return;
    out.push_back(controller);
    for (auto& child : controller->childViewControllers()) collect(child, out);
    collect(controller->presentedViewController(), out);
}

}  // namespace

std::shared_ptr<Application> Application::sharedApplication() {
    auto& s = slot();
    std::lock_guard lock(s.mutex);
    return s.application;
}

void Application::reset() {
    auto fresh = std::make_shared<Application>();
    {
        auto& s = slot();
        std::lock_guard lock(s.mutex);
        s.application.swap(fresh);
    }
    fresh.reset();  // the old application goes outside the lock
    Device::reset();
    Screen::reset();
    Keyboard::reset();
    Responder::clearFirstResponder();
    AlertRegistry::reset();
    Pasteboard::reset();
    LocalNotificationCenter::reset();
}

Application::Application() {
    auto accept = [](const URL&) { return true; };
    urlHandlers_["http"] = accept;
    urlHandlers_["https"] = accept;
}

Application::~Application() = default;

std::shared_ptr<Application> Application::self() { return std::static_pointer_cast<Application>(shared_from_this()); }

void Application::post(const char* name) {
    NotificationCenter::defaultCenter().post(name, Value(std::shared_ptr<Object>(shared_from_this())));
}

// --- Life cycle ---

bool Application::launch(const std::shared_ptr<ApplicationDelegate>& delegate, const Value& launchOptions) {
    auto keep = self();
    launchedDelegate_ = delegate;
    delegate_ = delegate;
    state_ = StateInactive;
    bool accepted = delegate ? delegate->applicationDidFinishLaunchingWithOptions(keep, launchOptions) : true;
    post(kDidFinishLaunchingNotification);
    if (accepted) {
        if (const Value* text = launchOptions.find(kLaunchOptionsURLKey)) {
            std::optional<URL> url = text->objectAs<URL>() ? std::optional<URL>(*text->objectAs<URL>())
                                     : text->string()      ? URL::fromString(*text->string())
                                                           : std::nullopt;
            if (url) {
                const Value* source = launchOptions.find(kLaunchOptionsSourceApplicationKey);
                const Value* annotation = launchOptions.find(kLaunchOptionsAnnotationKey);
                handleIncomingURL(*url, source && source->string() ? *source->string() : std::string(),
                                  annotation ? *annotation : Value());
            }
        }
    }
    state_ = StateActive;
    if (auto d = delegate_.lock()) d->applicationDidBecomeActive(keep);
    post(kDidBecomeActiveNotification);
    return accepted;
}

void Application::enterBackground() {
    if (state_ == StateBackground) return;
    auto keep = self();
    if (auto d = delegate_.lock()) d->applicationWillResignActive(keep);
    post(kWillResignActiveNotification);
    state_ = StateBackground;
    if (auto d = delegate_.lock()) d->applicationDidEnterBackground(keep);
    post(kDidEnterBackgroundNotification);
}

void Application::enterForeground() {
    if (state_ != StateBackground) return;
    auto keep = self();
    if (auto d = delegate_.lock()) d->applicationWillEnterForeground(keep);
    post(kWillEnterForegroundNotification);
    state_ = StateActive;
    if (auto d = delegate_.lock()) d->applicationDidBecomeActive(keep);
    post(kDidBecomeActiveNotification);
}

void Application::terminate() {
    auto keep = self();
    if (auto d = delegate_.lock()) d->applicationWillTerminate(keep);
    post(kWillTerminateNotification);
}

void Application::simulateMemoryWarning() {
    auto keep = self();
    if (auto d = delegate_.lock()) d->applicationDidReceiveMemoryWarning(keep);
    post(kDidReceiveMemoryWarningNotification);
    std::vector<std::shared_ptr<ViewController>> controllers;
    for (auto& root : rootViewControllers()) collect(root, controllers);
    for (auto& controller : controllers) controller->didReceiveMemoryWarning();
}

bool Application::handleIncomingURL(const URL& url, const std::string& sourceApplication, const Value& annotation) {
    auto keep = self();
    auto d = delegate_.lock();
    return d && d->applicationOpenURLSourceApplicationAnnotation(keep, url, sourceApplication, annotation);
}

// --- URLs ---

bool Application::openURL(const URL& url) {
    auto it = urlHandlers_.find(Text::lowercase(url.scheme()));
    if (it == urlHandlers_.end()) return false;
    URLHandler handler = it->second;  // the handler may change the registry
    if (!handler || !handler(url)) return false;
    openedURLs_.push_back(url);
    return true;
}

bool Application::canOpenURL(const URL& url) const { return urlHandlers_.count(Text::lowercase(url.scheme())) > 0; }

void Application::registerURLSchemeHandler(const std::string& scheme, URLHandler handler) {
    urlHandlers_[Text::lowercase(scheme)] = std::move(handler);
}

void Application::unregisterURLScheme(const std::string& scheme) { urlHandlers_.erase(Text::lowercase(scheme)); }

std::vector<std::string> Application::registeredURLSchemes() const {
    std::vector<std::string> out;
    for (auto& [scheme, handler] : urlHandlers_) out.push_back(scheme);
    return out;
}

// --- Windows ---

std::vector<std::shared_ptr<Window>> Application::windows() const {
    std::vector<std::pair<std::shared_ptr<Window>, std::uint64_t>> alive;
    for (auto& entry : windows_) {
        if (auto w = entry.window.lock()) alive.emplace_back(w, entry.order);
    }
    std::stable_sort(alive.begin(), alive.end(), [](const auto& a, const auto& b) {
        if (a.first->windowLevel() != b.first->windowLevel()) return a.first->windowLevel() < b.first->windowLevel();
        return a.second < b.second;
    });
    std::vector<std::shared_ptr<Window>> out;
    for (auto& [w, order] : alive) out.push_back(w);
    return out;
}

void Application::windowDidBecomeVisible(const std::shared_ptr<Window>& window) {
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                  [&](const WindowEntry& e) {
                                      auto w = e.window.lock();
                                      return !w || w == window;
                                  }),
                   windows_.end());
    windows_.push_back({window, nextWindowOrder_++});
}

void Application::windowDidBecomeHidden(const Window* window) {
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                  [&](const WindowEntry& e) {
                                      auto w = e.window.lock();
                                      return !w || w.get() == window;
                                  }),
                   windows_.end());
    if (keyWindow_.lock().get() == window) keyWindow_.reset();
}

void Application::windowDidBecomeKey(const std::shared_ptr<Window>& window) {
    auto previous = keyWindow_.lock();
    if (previous == window) return;
    keyWindow_ = window;
    if (previous) previous->resignKeyWindow();
    window->becomeKeyWindow();
}

std::vector<std::shared_ptr<ViewController>> Application::rootViewControllers() const {
    std::vector<std::shared_ptr<ViewController>> out;
    for (auto& window : windows()) {
        for (auto& controller : window->rootViewControllers()) out.push_back(controller);
    }
    return out;
}

// --- Status bar ---

void Application::setStatusBarOrientationAnimated(InterfaceOrientation orientation, bool) {
    if (orientation == statusBarOrientation_) return;
    int old = statusBarOrientation_;
    statusBarOrientation_ = orientation;
    if (auto d = delegate_.lock()) d->applicationDidChangeStatusBarOrientation(self(), old);
    Value info = Value::makeDictionary();
    info.set("UIApplicationStatusBarOrientationUserInfoKey", old);
    NotificationCenter::defaultCenter().post(kDidChangeStatusBarOrientationNotification,
                                             Value(std::shared_ptr<Object>(shared_from_this())), info);
}

void Application::setStatusBarStyleAnimated(StatusBarStyle style, bool) { statusBarStyle_ = style; }

void Application::setStatusBarHiddenWithAnimation(bool hidden, StatusBarAnimation) { statusBarHidden_ = hidden; }

Rect Application::statusBarFrame() const {
    if (statusBarHidden_) return {};
    Rect screen = Screen::mainScreen()->bounds();
    switch (statusBarOrientation_) {
    case InterfaceOrientationPortraitUpsideDown:
        return {0, screen.size.height - kStatusBarHeight, screen.size.width, kStatusBarHeight};
    case InterfaceOrientationLandscapeRight: return {0, 0, kStatusBarHeight, screen.size.height};
    case InterfaceOrientationLandscapeLeft:
        return {screen.size.width - kStatusBarHeight, 0, kStatusBarHeight, screen.size.height};
    default: return {0, 0, screen.size.width, kStatusBarHeight};
    }
}

// --- Background tasks ---

Application::BackgroundTaskIdentifier Application::beginBackgroundTaskWithExpirationHandler(
    std::function<void()> handler) {
    std::lock_guard lock(tasksMutex_);
    BackgroundTaskIdentifier id = nextTask_++;
    backgroundTasks_[id] = std::move(handler);
    return id;
}

void Application::endBackgroundTask(BackgroundTaskIdentifier identifier) {
    std::function<void()> dropped;  // destroyed outside the lock
    std::lock_guard lock(tasksMutex_);
    auto it = backgroundTasks_.find(identifier);
    if (it == backgroundTasks_.end()) return;
    dropped = std::move(it->second);
    backgroundTasks_.erase(it);
}

std::size_t Application::activeBackgroundTaskCount() const {
    std::lock_guard lock(tasksMutex_);
    return backgroundTasks_.size();
}

double Application::backgroundTimeRemaining() const {
    return state_ == StateBackground ? 600.0 : std::numeric_limits<double>::max();
}

void Application::expireBackgroundTasks() {
    std::vector<std::function<void()>> handlers;
    {
        std::lock_guard lock(tasksMutex_);
        for (auto& [id, handler] : backgroundTasks_) handlers.push_back(handler);
    }
    for (auto& handler : handlers) {
        if (handler) handler();
    }
}

// --- Rotation ---

void Application::deviceOrientationDidChange(int deviceOrientation) {
    if (deviceOrientation < InterfaceOrientationPortrait || deviceOrientation > InterfaceOrientationLandscapeLeft)
        return;
    // Device landscape left (home on the right) is interface landscape right:
    // the platform numbers both 3, so the values carry over.
    auto orientation = static_cast<InterfaceOrientation>(deviceOrientation);
    if (orientation == statusBarOrientation_) return;
    auto roots = rootViewControllers();
    if (roots.empty()) {
        setStatusBarOrientation(orientation);
        return;
    }
    // The topmost presented controller of the key (or last) window decides.
    auto top = roots.back();
    while (auto presented = top->presentedViewController()) top = presented;
    if (!top->shouldAutorotateToInterfaceOrientation(orientation)) return;
    top->rotateToInterfaceOrientation(orientation);
}

}  // namespace clipora::platform
