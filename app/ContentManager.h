#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/AppInfo.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Reads the maker's remote update and news list (a property-list dictionary)
// on a thread of its own, keeps what it learns in the standard user
// defaults and a picture folder, and announces news. Counters only grow: a
// value at or below the stored one changes nothing.
//
// The list and the promotion pictures come from outside, so they are read
// only over https, with a ceiling on their size, and the list with the
// bounds-checked property-list reader; a list that cannot be had for any of
// these reasons reads as an empty one ("unreadable list").
//
// The checker's thread only loads: every change of the user defaults (and so
// every change notification, which settings screens observe) is handed to
// the main thread, which the thread waits for.
class ContentManager : public std::enable_shared_from_this<ContentManager> {
public:
    static constexpr const char* kNewsUpdateNotification = "NewsUpdateNotificationName";
    static constexpr const char* kDoneNotification = "DoneGettingAllUpdateContent";
    static constexpr const char* kShowAdsKey = "ShowAds";
    static constexpr const char* kNewsKey = "News";
    static constexpr const char* kFullApp = "FullApp";
    static constexpr const char* kAdsApp = "AdsApp";
    static constexpr std::size_t kMaxListBytes = 1024 * 1024;
    static constexpr std::size_t kMaxImageBytes = 5 * 1024 * 1024;

    // The shared instance, made on first call (main thread).
    static std::shared_ptr<ContentManager> shareContentManager();

    ContentManager() = default;

    // Starts checkUpdateHelper with the address on a new detached thread and
    // returns at once.
    void checkForNewsUpdate(const std::string& address);
    // The check itself, blocking the calling thread on its loads. Checks run
    // one at a time and each write waits for the main thread, so the main
    // thread calls it only when no other check runs.
    void checkUpdateHelper(const std::string& address);
    // NO when the stored integer under `key` is at least `value`; else stores
    // `value` and answers YES.
    bool isNewerVersion(std::int64_t value, const std::string& key);
    // Stores one promotion (texts and picture) under `which`.
    void getDetail(const platform::Value::Dictionary& detail, const std::string& which);
    // Posts `name` on the default centre, on the main thread, without waiting.
    void postNotification(const std::string& name);

    std::shared_ptr<AppInfo> getAppInfoHelper(const std::string& which);
    std::shared_ptr<AppInfo> getFullAppInfo() { return getAppInfoHelper(kFullApp); }
    std::shared_ptr<AppInfo> getAdsAppInfo() { return getAppInfoHelper(kAdsApp); }
    bool showAds();

    // "Documents/AppUpdate" under the home folder.
    static std::string pictureFolder();
    // The picture file of a promotion.
    static std::string picturePath(const std::string& which);
    // The list at `address`, or an empty dictionary when it is not an https
    // address, cannot be fetched, is larger than kMaxListBytes, is answered
    // with an error status or is not a property-list dictionary.
    static platform::Value::Dictionary fetchList(const std::string& address);
};

}  // namespace clipora
