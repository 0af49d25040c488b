#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "share/Core/SXStrings.h"

namespace clipora {

namespace platform {
class Timer;
class ViewController;
class OperationQueue;
}  // namespace platform

class SXItem;

// The sharing framework's hub: presents the framework's screens one at a
// time over the application's topmost screen, keeps the favourite sharers
// per share type, reaches the credential store, answers whether the device
// is online, makes the framework's errors and keeps the offline queue.
// Main thread only.
class SX : public std::enable_shared_from_this<SX> {
public:
    static constexpr const char* kErrorDomain = "sharecore";
    static constexpr const char* kHideCurrentViewFinishedNotification = "SXHideCurrentViewFinished";
    static constexpr const char* kExcludedKey = "SXExcluded";
    static constexpr const char* kOfflineQueueListName = "SXOfflineQueue.plist";
    // Delay between a dismissal being reported and the parked screen shown.
    static constexpr double kPendingViewDelay = 0.02;

    static std::shared_ptr<SX> currentHelper();
    // Forgets the hub and the cached sharer list (tests).
    static void reset();

    static void setRootViewController(const std::shared_ptr<platform::ViewController>& controller);

    // The configuration texts as platform values.
    static int barStyle();
    static int modalPresentationStyle();
    static int modalTransitionStyle();

    // --- Favourites and exclusions ---
    static std::vector<std::string> favoriteSharersForType(int type);
    static void pushOnFavoritesForType(const std::string& sharerId, int type);
    static void setFavoritesForType(const std::vector<std::string>& list, int type);
    static std::optional<platform::Value> getUserExclusions();
    static void setUserExclusions(const platform::Value& exclusions);

    // --- Credentials (keychain service "SX_AUTH_" + sharer id, account =
    // key). Store errors are not passed on; a failed read answers none. ---
    static std::optional<std::string> getAuthValueForKeyForSharer(const std::string& key, const std::string& sharerId);
    static void setAuthValueForKeyForSharer(const std::optional<std::string>& value, const std::string& key,
                                            const std::string& sharerId);
    static void removeAuthValueForKeyForSharer(const std::string& key, const std::string& sharerId);

    // "SXSharers.plist" of the main bundle ("actions" and "services"), read
    // once.
    static const platform::Value::Dictionary& sharersDictionary();

    // --- Offline queue (Caches/SX) ---
    static std::string offlineQueuePath();
    static std::string offlineQueueListPath();
    // The queued entries; none when there is no list. An unreadable list is
    // moved aside (never overwritten) and answers none.
    static std::optional<platform::Value::Array> getOfflineQueueList();
    static bool saveOfflineQueueList(const platform::Value::Array& list);
    // Queues the share: its picture or file in a data file named by the
    // entry's uid, the rest in the list. No when offline sharing is off or a
    // file cannot be written.
    static bool addToOfflineQueueForSharer(const SXItem& item, const std::string& sharerId);
    // Whether a uid read back from the list may name a data file: no "/",
    // not empty, not "." or "..".
    static bool isSafeQueueUid(std::string_view uid);
    // Removes the entry with the uid from the list and its data file.
    static void removeOfflineQueueEntry(const std::string& uid);

    // Replays the queued shares (when online) through quiet sharers on the
    // offline queue. Each entry leaves the list when its share has an
    // outcome; entries already being replayed are not started twice.
    static void flushOfflineQueue();
    // Every service of the sharer list logs out.
    static void logoutOfAll();
    static void logoutOfService(const std::string& sharerId);
    // Told by a replay worker when it is done with its entry.
    void offlineShareEnded(const std::string& uid) { replaying_.erase(uid); }

    // The framework error: domain "sharecore", code 1, description = the
    // localized, formatted text.
    template <class... Args>
    static platform::Error error(std::string_view format, const Args&... args) {
        return platform::Error::withDescription(kErrorDomain, 1, localizedShareFormat(format, args...));
    }

    // Whether the internet is reachable.
    static bool connected();

    // --- Presentation ---
    void showViewController(const std::shared_ptr<platform::ViewController>& controller);
    void hideCurrentViewController() { hideCurrentViewControllerAnimated(true); }
    void hideCurrentViewControllerAnimated(bool animated);
    void showPendingView();
    // Told by every framework screen when it disappears.
    void viewWasDismissed();
    std::shared_ptr<platform::ViewController> getCurrentRootViewController();
    static std::shared_ptr<platform::ViewController> getTopViewController(
        std::shared_ptr<platform::ViewController> controller);
    std::shared_ptr<platform::ViewController> rootViewForCustomUIDisplay();

    const std::shared_ptr<platform::ViewController>& currentView() const { return currentView_; }
    void setCurrentView(std::shared_ptr<platform::ViewController> view) { currentView_ = std::move(view); }
    const std::shared_ptr<platform::ViewController>& pendingView() const { return pendingView_; }
    void setPendingView(std::shared_ptr<platform::ViewController> view) { pendingView_ = std::move(view); }
    bool isDismissingView() const { return isDismissingView_; }
    void setIsDismissingView(bool dismissing) { isDismissingView_ = dismissing; }
    std::shared_ptr<platform::ViewController> rootViewController() const { return rootViewController_.lock(); }
    std::shared_ptr<platform::ViewController> currentRootViewController() const {
        return currentRootViewController_.lock();
    }
    const std::shared_ptr<platform::OperationQueue>& offlineQueue() const { return offlineQueue_; }
    void setOfflineQueue(std::shared_ptr<platform::OperationQueue> queue) { offlineQueue_ = std::move(queue); }

private:
    std::shared_ptr<platform::ViewController> currentView_;
    std::shared_ptr<platform::ViewController> pendingView_;
    bool isDismissingView_ = false;
    std::shared_ptr<platform::OperationQueue> offlineQueue_;
    std::weak_ptr<platform::ViewController> rootViewController_;
    std::weak_ptr<platform::ViewController> currentRootViewController_;
    std::shared_ptr<platform::Timer> pendingTimer_;
    std::set<std::string> replaying_;
};

}  // namespace clipora
