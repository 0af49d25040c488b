#include "analytics/TallyAnalytics.h"

#include <atomic>
#include <mutex>

#include "analytics/TallyUtil.h"
#include "platform/uikit/Application.h"

namespace clipora {

using namespace platform;

namespace {

// The agent-wide settings. Read and written under `mutex` only.
struct Settings {
    std::optional<std::string> appVersion;
    std::optional<std::string> apiKey;
    bool appCircle = false;
    bool videoAds = false;
    bool appSpot = false;
    bool reEngage = false;
    std::int32_t sessionContinueSeconds = 10;
    std::optional<std::string> userID;
    std::optional<std::string> gender;
    bool reportsOnClose = true;
    bool reportsOnPause = true;
    bool eventLogging = true;
    std::int32_t age = -1;
    bool started = false;
    std::optional<Date> pauseTime;
    std::optional<std::string> savedResponseURL;
    std::string serverURL = TallyAnalytics::kSecureServerURL;
};

std::mutex& settingsMutex() {
    static std::mutex mutex;
    return mutex;
}
Settings& settings() {
    static Settings values;
    return values;
}
template <class Body>
auto withSettings(Body&& body) {
    std::lock_guard lock(settingsMutex());
    return body(settings());
}

// The pause upload's background task; exchanged atomically so that only one
// of the two threads that may end it does.
std::atomic<Application::BackgroundTaskIdentifier> backgroundTask{Application::kBackgroundTaskInvalid};

}  // namespace

void TallyAnalytics::setDebugLogEnabled(bool enabled) { TallyUtil::setDebugLogEnabled(enabled); }
void TallyAnalytics::setShowErrorInLogEnabled(bool enabled) { TallyUtil::setShowErrorInLogEnabled(enabled); }

void TallyAnalytics::setAdRingEnabled(bool enabled) {
    withSettings([&](Settings& s) { s.appCircle = enabled; });
}
void TallyAnalytics::setVideoAdsEnabled(bool enabled) {
    withSettings([&](Settings& s) { s.videoAds = enabled; });
}
void TallyAnalytics::setAdSlotEnabled(bool enabled) {
    withSettings([&](Settings& s) { s.appSpot = enabled; });
}
void TallyAnalytics::setRevisitEnabled(bool enabled) {
    withSettings([&](Settings& s) { s.reEngage = enabled; });
}
bool TallyAnalytics::appCircleEnabled() {
    return withSettings([](Settings& s) { return s.appCircle; });
}
bool TallyAnalytics::videoAdsEnabled() {
    return withSettings([](Settings& s) { return s.videoAds; });
}
bool TallyAnalytics::appSpotEnabled() {
    return withSettings([](Settings& s) { return s.appSpot; });
}
bool TallyAnalytics::reEngageEnabled() {
    return withSettings([](Settings& s) { return s.reEngage; });
}
void TallyAnalytics::setSessionContinueSeconds(std::int32_t seconds) {
    withSettings([&](Settings& s) { s.sessionContinueSeconds = seconds; });
}
std::int32_t TallyAnalytics::sessionContinueSeconds() {
    return withSettings([](Settings& s) { return s.sessionContinueSeconds; });
}
void TallyAnalytics::setSavedResponseURL(const std::string& url) {
    withSettings([&](Settings& s) { s.savedResponseURL = url; });
}
std::optional<std::string> TallyAnalytics::savedResponseURL() {
    return withSettings([](Settings& s) { return s.savedResponseURL; });
}
void TallyAnalytics::setServerURL(const std::string& url) {
    withSettings([&](Settings& s) { s.serverURL = url; });
}
std::string TallyAnalytics::serverURL() {
    return withSettings([](Settings& s) { return s.serverURL; });
}
void TallyAnalytics::setSecureTransportEnabled(bool enabled) {
    setServerURL(enabled ? kSecureServerURL : kPlainServerURL);
}
std::optional<std::string> TallyAnalytics::appVersion() {
    return withSettings([](Settings& s) { return s.appVersion; });
}
std::optional<std::string> TallyAnalytics::apiKey() {
    return withSettings([](Settings& s) { return s.apiKey; });
}

void TallyAnalytics::stopBackgroundTask() {
    auto task = backgroundTask.exchange(Application::kBackgroundTaskInvalid);
    if (task == Application::kBackgroundTaskInvalid) return;
    TallyUtil::debugLog("TallyAnalytics: stop background task");
    Application::sharedApplication()->endBackgroundTask(task);
}

void TallyAnalytics::resetSettings() {
    withSettings([](Settings& s) { s = Settings{}; });
    backgroundTask = Application::kBackgroundTaskInvalid;
}

}  // namespace clipora
