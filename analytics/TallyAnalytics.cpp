#include "analytics/TallyAnalytics.h"

#include <atomic>
#include <mutex>

#include "analytics/TallyAutoIncrement.h"
#include "analytics/TallyFileCache.h"
#include "analytics/TallyHeartBeater.h"
#include "analytics/TallyPageViewDelegate.h"
#include "analytics/TallyProtocolData.h"
#include "analytics/TallySession.h"
#include "analytics/TallyUtil.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Thread.h"
#include "platform/uikit/AlertView.h"
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

std::atomic<int> uploadThreads{0};

// Runs an upload on a detached thread of its own.
void detachUpload(void (*upload)(), const char* name) {
    ++uploadThreads;
    Thread::detach(
        [upload] {
            TallyUtil::guarded(upload);
            --uploadThreads;
        },
        name);
}

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
    NotificationCenter::defaultCenter().removeObserver(observerOwner());
}

// ---------------------------------------------------------------------------
// Starting and the life cycle

namespace {

void showAlert(const std::string& message) {
    auto alert = std::make_shared<AlertView>("", message, std::weak_ptr<AlertViewDelegate>(), "Cancel",
                                             std::vector<std::string>{});
    alert->show();
}

// The session that forwarding operations act on; none before the start.
template <class Body>
void withCurrent(Body&& body) {
    TallyUtil::guarded([&] {
        if (auto session = TallySession::currentSession()) body(*session);
    });
}

}  // namespace

int TallyAnalytics::uploadsInFlight() { return uploadThreads; }

const void* TallyAnalytics::observerOwner() {
    static const char owner = 0;
    return &owner;
}

void TallyAnalytics::startSession(const std::string& apiKey) {
    TallyUtil::guarded([&] {
        const bool already = withSettings([](Settings& s) { return std::exchange(s.started, true); });
        if (already) {
            TallyUtil::debugLog("TallyAnalytics: startSession called already. Returning.");
            showAlert("startSession has been called already. It should only be called once.");
            return;
        }
        TallyUtil::debugLog("TallyAnalytics: startSession called for the first time");
        TallyUtil::debugLog("TallyAnalytics: Start session called with apiKey[%@]", apiKey);
        std::string kept;
        for (char c : apiKey)
            if (c != ' ') kept += c;
        withSettings([&](Settings& s) { s.apiKey = kept; });
        TallyUtil::debugLog("TallyAnalytics: Trim white space and use apiKey[%@]", kept);
        TallyHeartBeater::createAndStartInstance(1.0);
        TallyFileCache::createInstanceWithApiKeyAgentVersion(kept, TallySession::getAgentVersion());
        createAndSendSession();
        auto& center = NotificationCenter::defaultCenter();
        center.addObserver(
            Application::kWillTerminateNotification, [](const Notification&) { endSession(); }, observerOwner());
        center.addObserver(
            Application::kWillResignActiveNotification, [](const Notification&) { pauseSession(); }, observerOwner());
        center.addObserver(
            Application::kDidBecomeActiveNotification, [](const Notification&) { resumeSession(); }, observerOwner());
        TallyUtil::debugLog("TallyAnalytics: Finish starting session with apiKey[%@]", kept);
    });
}

void TallyAnalytics::createAndSendSession() {
    TallyUtil::guarded([] {
        const Settings kept = withSettings([](Settings& s) { return s; });
        TallySession::createActiveTallySession(kept.apiKey.value_or(""));
        setSessionReportsOnCloseEnabled(kept.reportsOnClose);
        setSessionReportsOnPauseEnabled(kept.reportsOnPause);
        setEventLoggingEnabled(kept.eventLogging);
        setAge(kept.age);
        if (kept.userID) setUserID(*kept.userID);
        if (kept.gender) setGender(*kept.gender);
        detachUpload(&TallySession::sendSessionsToServerForAdRing, "Tally upload");
    });
}

void TallyAnalytics::pauseSession() {
    TallyUtil::guarded([] {
        withSettings([](Settings& s) { s.pauseTime = Date::now(); });
        auto session = TallySession::currentSession();
        if (!session) return;
        session->pauseSession();
        session->endSessionAndSendRemoveCurrentSession(false, false);
        if (!session->sessionReportsOnPauseEnabled()) return;
        auto application = Application::sharedApplication();
        stopBackgroundTask();
        TallyUtil::debugLog("TallyAnalytics: start background task");
        backgroundTask = application->beginBackgroundTaskWithExpirationHandler([] { stopBackgroundTask(); });
        detachUpload(&TallySession::sendSessionsToServerForSessionPause, "Tally pause upload");
    });
}

void TallyAnalytics::resumeSession() {
    TallyUtil::guarded([] {
        const auto [pauseTime, continueSeconds] =
            withSettings([](Settings& s) { return std::pair(s.pauseTime, s.sessionContinueSeconds); });
        const std::int64_t elapsed = pauseTime ? TallyProtocolData::timeIntervalFromTo(pauseTime, Date::now()) : 0;
        const std::int64_t limit = static_cast<std::int64_t>(continueSeconds) * 1000;
        auto session = TallySession::currentSession();
        if (elapsed <= limit) {
            if (session) session->resumeSession();
            return;
        }
        if (session) session->saveSession();
        createAndSendSession();
        TallyAutoIncrement::instance()->resetAll();
    });
}

void TallyAnalytics::endSession() {
    withCurrent([](TallySession& session) { session.endSession(); });
}

std::string TallyAnalytics::getTallyAgentVersion() { return TallySession::getAgentVersion(); }

void TallyAnalytics::setMaxSessionsSaved(std::int32_t count) { TallySession::setMaxSessions(count); }

void TallyAnalytics::setAppVersion(const std::string& version) {
    TallyUtil::guarded([&] {
        if (TallySession::currentSession()) {
            showAlert("TallyAnalytics: Please call setAppVersion before startSession.");
            return;
        }
        TallyUtil::debugLog("TallyAnalytics: setAppVersion[%@]", version);
        withSettings([&](Settings& s) { s.appVersion = version; });
    });
}

// ---------------------------------------------------------------------------
// Recording

void TallyAnalytics::logEvent(const std::string& eventName) {
    withCurrent([&](TallySession& session) { session.recordEventWithParametersTimed(eventName, std::nullopt, false); });
}

void TallyAnalytics::logEventWithParameters(const std::string& eventName, const Value::Dictionary& parameters) {
    withCurrent([&](TallySession& session) { session.recordEventWithParametersTimed(eventName, parameters, false); });
}

void TallyAnalytics::logEventTimed(const std::string& eventName, bool timed) {
    withCurrent([&](TallySession& session) { session.recordEventWithParametersTimed(eventName, std::nullopt, timed); });
}

void TallyAnalytics::logEventWithParametersTimed(const std::string& eventName, const Value::Dictionary& parameters,
                                                 bool timed) {
    withCurrent([&](TallySession& session) { session.recordEventWithParametersTimed(eventName, parameters, timed); });
}

void TallyAnalytics::endTimedEventWithParameters(const std::string& eventName,
                                                 const std::optional<Value::Dictionary>& parameters) {
    withCurrent([&](TallySession& session) { session.endTimedEventWithParameters(eventName, parameters); });
}

void TallyAnalytics::logErrorMessageException(const std::string& errorId, const std::string& message,
                                              const std::optional<Exception>& exception) {
    withCurrent([&](TallySession& session) { session.recordErrorMessageException(errorId, message, exception); });
}

void TallyAnalytics::logErrorMessageError(const std::string& errorId, const std::string& message,
                                          const std::optional<Error>& error) {
    withCurrent([&](TallySession& session) { session.recordErrorMessageError(errorId, message, error); });
}

void TallyAnalytics::logAllPageViews(const std::shared_ptr<ViewController>& controller) {
    TallyUtil::guarded([&] { TallyPageViewDelegate::createDelegateOnTarget(controller); });
}

void TallyAnalytics::logPageView() {
    withCurrent([](TallySession& session) { session.maybeIncrementPageView(); });
}

void TallyAnalytics::setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(double latitude, double longitude,
                                                                            float horizontalAccuracy,
                                                                            float verticalAccuracy) {
    withCurrent([&](TallySession& session) {
        session.setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(latitude, longitude, horizontalAccuracy,
                                                                       verticalAccuracy);
    });
}

void TallyAnalytics::setUserID(const std::string& userID) {
    TallyUtil::guarded([&] {
        if (auto session = TallySession::currentSession()) session->setUserID(userID);
        TallyUtil::debugLog("TallyAnalytics: setUserID[%@]", userID);
        withSettings([&](Settings& s) { s.userID = userID; });
    });
}

void TallyAnalytics::setGender(const std::string& gender) {
    TallyUtil::guarded([&] {
        if (auto session = TallySession::currentSession()) session->setGender(gender);
        TallyUtil::debugLog("TallyAnalytics: setGender[%@]", gender);
        withSettings([&](Settings& s) { s.gender = gender; });
    });
}

void TallyAnalytics::setAge(std::int32_t age) {
    TallyUtil::guarded([&] {
        withSettings([&](Settings& s) { s.age = age; });
        if (auto session = TallySession::currentSession()) session->setAge(age);
    });
}

void TallyAnalytics::setEventLoggingEnabled(bool enabled) {
    TallyUtil::guarded([&] {
        withSettings([&](Settings& s) { s.eventLogging = enabled; });
        if (auto session = TallySession::currentSession()) session->setEventLoggingEnabled(enabled);
    });
}

void TallyAnalytics::setSessionReportsOnCloseEnabled(bool enabled) {
    TallyUtil::guarded([&] {
        withSettings([&](Settings& s) { s.reportsOnClose = enabled; });
        if (auto session = TallySession::currentSession()) session->setSessionReportsOnCloseEnabled(enabled);
    });
}

void TallyAnalytics::setSessionReportsOnPauseEnabled(bool enabled) {
    TallyUtil::guarded([&] {
        withSettings([&](Settings& s) { s.reportsOnPause = enabled; });
        if (auto session = TallySession::currentSession()) session->setSessionReportsOnPauseEnabled(enabled);
    });
}

}  // namespace clipora
