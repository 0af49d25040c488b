#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Rect.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/InterfaceOrientation.h"
#include "platform/uikit/Responder.h"

namespace clipora::platform {

class ApplicationDelegate;
class ViewController;
class Window;

// The shared application object: its state and life cycle, URL opening, the
// windows, the status bar, background tasks and the network-activity
// indicator.
//
// Life-cycle steps are driven from outside (the device program or a test):
// launch(), enterBackground(), enterForeground(), terminate(),
// simulateMemoryWarning(). Each tells the delegate and posts the platform's
// notification with the application as object.
//
// URLs opened with openURL() go to a registry of scheme handlers, which play
// the other applications installed on the device; canOpenURL() answers from
// that registry. "http" and "https" (the system browser) are registered from
// the start with a handler that only accepts; every URL opened successfully is
// recorded in openedURLs().
//
// Main thread, except the network-activity indicator and background tasks,
// which any thread may use.
class Application : public Responder {
public:
    static constexpr const char* kDidFinishLaunchingNotification = "UIApplicationDidFinishLaunchingNotification";
    static constexpr const char* kDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
    static constexpr const char* kWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
    static constexpr const char* kDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
    static constexpr const char* kWillEnterForegroundNotification = "UIApplicationWillEnterForegroundNotification";
    static constexpr const char* kWillTerminateNotification = "UIApplicationWillTerminateNotification";
    static constexpr const char* kDidReceiveMemoryWarningNotification =
        "UIApplicationDidReceiveMemoryWarningNotification";
    static constexpr const char* kDidChangeStatusBarOrientationNotification =
        "UIApplicationDidChangeStatusBarOrientationNotification";
    static constexpr const char* kLaunchOptionsURLKey = "UIApplicationLaunchOptionsURLKey";
    static constexpr const char* kLaunchOptionsSourceApplicationKey = "UIApplicationLaunchOptionsSourceApplicationKey";
    static constexpr const char* kLaunchOptionsAnnotationKey = "UIApplicationLaunchOptionsAnnotationKey";
    static constexpr float kStatusBarHeight = 20;

    enum State : int { StateActive = 0, StateInactive = 1, StateBackground = 2 };
    enum StatusBarStyle : int {
        StatusBarStyleDefault = 0,
        StatusBarStyleBlackTranslucent = 1,
        StatusBarStyleBlackOpaque = 2
    };
    enum StatusBarAnimation : int {
        StatusBarAnimationNone = 0,
        StatusBarAnimationFade = 1,
        StatusBarAnimationSlide = 2
    };

    using BackgroundTaskIdentifier = std::uint64_t;
    static constexpr BackgroundTaskIdentifier kBackgroundTaskInvalid = 0;
    // Answers whether the "other application" accepted the URL.
    using URLHandler = std::function<bool(const URL&)>;

    static std::shared_ptr<Application> sharedApplication();
    // Replaces the shared application, device, screen, keyboard, first
    // responder and alert registry with fresh ones (tests).
    static void reset();

    Application();
    ~Application() override;

    // --- Delegate and life cycle ---
    std::shared_ptr<ApplicationDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
    // Starts the application with this delegate, which the application keeps
    // for the life of the process: did-finish-launching with the options;
    // then, when it answered true and the options carry a URL, the URL is
    // handed over as opened in the application; then the application becomes
    // active. Answers the delegate's launch answer.
    bool launch(const std::shared_ptr<ApplicationDelegate>& delegate, const Value& launchOptions = {});
    State applicationState() const { return state_; }
    void enterBackground();
    void enterForeground();
    void terminate();
    // The delegate, the notification, then every view controller on screen.
    void simulateMemoryWarning();
    // A URL another application opens in this one: answers the delegate's reply.
    bool handleIncomingURL(const URL& url, const std::string& sourceApplication = {}, const Value& annotation = {});

    // --- Opening URLs ---
    bool openURL(const URL& url);
    bool canOpenURL(const URL& url) const;
    // Schemes compare without regard to case. Replaces an existing handler.
    void registerURLSchemeHandler(const std::string& scheme, URLHandler handler);
    void unregisterURLScheme(const std::string& scheme);
    std::vector<std::string> registeredURLSchemes() const;
    const std::vector<URL>& openedURLs() const { return openedURLs_; }

    // --- Windows ---
    // Visible windows, by level then in the order they became visible.
    std::vector<std::shared_ptr<Window>> windows() const;
    std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }

    // --- Status bar ---
    InterfaceOrientation statusBarOrientation() const { return statusBarOrientation_; }
    void setStatusBarOrientation(InterfaceOrientation orientation) {
        setStatusBarOrientationAnimated(orientation, false);
    }
    void setStatusBarOrientationAnimated(InterfaceOrientation orientation, bool animated);
    StatusBarStyle statusBarStyle() const { return statusBarStyle_; }
    void setStatusBarStyle(StatusBarStyle style) { statusBarStyle_ = style; }
    void setStatusBarStyleAnimated(StatusBarStyle style, bool animated);
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden) { statusBarHidden_ = hidden; }
    void setStatusBarHiddenWithAnimation(bool hidden, StatusBarAnimation animation);
    // In screen coordinates: a 20-point strip along the edge the orientation
    // puts it on; a zero rectangle while hidden.
    Rect statusBarFrame() const;

    // --- Network activity indicator (any thread) ---
    bool isNetworkActivityIndicatorVisible() const { return networkActivityIndicatorVisible_.load(); }
    void setNetworkActivityIndicatorVisible(bool visible) { networkActivityIndicatorVisible_.store(visible); }

    // --- Background tasks (any thread) ---
    BackgroundTaskIdentifier beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
    void endBackgroundTask(BackgroundTaskIdentifier identifier);
    std::size_t activeBackgroundTaskCount() const;
    // Seconds the system still grants in the background (600 while in the
    // background, unlimited otherwise).
    double backgroundTimeRemaining() const;
    // The system's time is up: runs the expiry handler of every task still
    // open (on the calling thread, which should be the main thread). The
    // handlers are expected to end their tasks.
    void expireBackgroundTasks();

    // --- Events ---
    void beginIgnoringInteractionEvents() { ++ignoringEvents_; }
    void endIgnoringInteractionEvents() {
        if (ignoringEvents_ > 0) --ignoringEvents_;
    }
    bool isIgnoringInteractionEvents() const { return ignoringEvents_ > 0; }
    bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool disabled) { idleTimerDisabled_ = disabled; }

    // --- Used by the interface objects ---
    void windowDidBecomeVisible(const std::shared_ptr<Window>& window);
    void windowDidBecomeHidden(const Window* window);
    void windowDidBecomeKey(const std::shared_ptr<Window>& window);
    // Called by the device when it turns: the interface follows when the
    // topmost controller allows the orientation.
    void deviceOrientationDidChange(int deviceOrientation);
    // The controllers on screen, each window's root (with what it presents).
    std::vector<std::shared_ptr<ViewController>> rootViewControllers() const;

private:
    void post(const char* name);
    std::shared_ptr<Application> self();

    std::weak_ptr<ApplicationDelegate> delegate_;
    std::shared_ptr<ApplicationDelegate> launchedDelegate_;
    State state_ = StateInactive;
    std::map<std::string, URLHandler> urlHandlers_;
    std::vector<URL> openedURLs_;
    struct WindowEntry {
        std::weak_ptr<Window> window;
        std::uint64_t order;
    };
    std::vector<WindowEntry> windows_;
    std::uint64_t nextWindowOrder_ = 0;
    std::weak_ptr<Window> keyWindow_;
    InterfaceOrientation statusBarOrientation_ = InterfaceOrientationPortrait;
    StatusBarStyle statusBarStyle_ = StatusBarStyleDefault;
    bool statusBarHidden_ = false;
    std::atomic<bool> networkActivityIndicatorVisible_{false};
    mutable std::mutex tasksMutex_;
    std::map<BackgroundTaskIdentifier, std::function<void()>> backgroundTasks_;
    BackgroundTaskIdentifier nextTask_ = 1;
    int ignoringEvents_ = 0;
    bool idleTimerDisabled_ = false;
};

}  // namespace clipora::platform
