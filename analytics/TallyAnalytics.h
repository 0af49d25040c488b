#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {
class ViewController;
}

namespace clipora {

// The analytics agent's entry point for its host: class operations only.
//
// The agent-wide settings live here. The host writes them on its main
// thread while upload threads read them, so every setting is kept behind
// one lock and handed out as a copy.
class TallyAnalytics {
public:
    // The collector's upload endpoint, in its two forms. Uploads carry device
    // identifiers and user data, so the encrypted form is the default.
    static constexpr const char* kSecureServerURL = "https://collector.clipora.example/aas.do";
    static constexpr const char* kPlainServerURL = "http://collector.clipora.example/aas.do";

    TallyAnalytics() = delete;

    // ---- Starting and the life cycle ----
    // Starts the agent once per process: heartbeat, file cache, a first
    // session with its upload, and the three life-cycle observers.
    static void startSession(const std::string& apiKey);
    static void createAndSendSession();
    static void pauseSession();
    static void resumeSession();
    static void endSession();
    static std::string getTallyAgentVersion();
    static void setMaxSessionsSaved(std::int32_t count);
    static void setAppVersion(const std::string& version);

    // ---- Recording (nothing happens while no session is current) ----
    static void logEvent(const std::string& eventName);
    static void logEventWithParameters(const std::string& eventName, const platform::Value::Dictionary& parameters);
    static void logEventTimed(const std::string& eventName, bool timed);
    static void logEventWithParametersTimed(const std::string& eventName, const platform::Value::Dictionary& parameters,
                                            bool timed);
    static void endTimedEventWithParameters(const std::string& eventName,
                                            const std::optional<platform::Value::Dictionary>& parameters);
    static void logErrorMessageException(const std::string& errorId, const std::string& message,
                                         const std::optional<platform::Exception>& exception);
    static void logErrorMessageError(const std::string& errorId, const std::string& message,
                                     const std::optional<platform::Error>& error);
    static void logAllPageViews(const std::shared_ptr<platform::ViewController>& controller);
    static void logPageView();
    static void setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(double latitude, double longitude,
                                                                       float horizontalAccuracy,
                                                                       float verticalAccuracy);
    static void setUserID(const std::string& userID);
    static void setGender(const std::string& gender);
    static void setAge(std::int32_t age);
    static void setEventLoggingEnabled(bool enabled);
    static void setSessionReportsOnCloseEnabled(bool enabled);
    static void setSessionReportsOnPauseEnabled(bool enabled);

    // ---- Settings ----
    static void setDebugLogEnabled(bool enabled);
    static void setShowErrorInLogEnabled(bool enabled);
    static void setAdRingEnabled(bool enabled);
    static void setVideoAdsEnabled(bool enabled);
    static void setAdSlotEnabled(bool enabled);
    static void setRevisitEnabled(bool enabled);
    static bool appCircleEnabled();
    static bool videoAdsEnabled();
    static bool appSpotEnabled();
    static bool reEngageEnabled();
    static void setSessionContinueSeconds(std::int32_t seconds);
    static std::int32_t sessionContinueSeconds();
    static void setSavedResponseURL(const std::string& url);
    static std::optional<std::string> savedResponseURL();
    static void setServerURL(const std::string& url);
    static std::string serverURL();
    static void setSecureTransportEnabled(bool enabled);
    static std::optional<std::string> appVersion();
    static std::optional<std::string> apiKey();
    static bool udidEnabled() { return true; }
    static bool sendUsageInfo() { return true; }
    // Ends the background task of a pause upload, once, whichever thread
    // (the task's expiry on the main thread, the upload thread) gets there
    // first.
    static void stopBackgroundTask();

    // Upload threads started by the interface that have not finished yet.
    static int uploadsInFlight();

    // Every setting back to its initial value and the agent not started,
    // its observers removed (tests).
    static void resetSettings();

private:
    static const void* observerOwner();
};

}  // namespace clipora
