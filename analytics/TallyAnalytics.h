#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"

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

    // Every setting back to its initial value and the agent not started (tests).
    static void resetSettings();
};

}  // namespace clipora
