#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {
class KeyedUnarchiver;
}

namespace clipora {

class TallyAdParser;
class TallyEvent;

// One analytics session: what the agent records between the start of a use
// of the application and its end, its timing, and its binary record. The
// class also keeps the agent's class-wide state: the current session, the
// running agent's key, the saved sessions and the device identifiers.
//
// Threads: the host drives sessions from its main thread while upload
// threads read the current session and serialize it. Every session has its
// own lock, taken by every recording, every setter and by data(); the
// current session is held as a shared pointer swapped and read under the
// class lock, so a reader keeps a replaced session alive while it uses it.
class TallySession : public platform::Object,
                     public platform::Coding,
                     public std::enable_shared_from_this<TallySession> {
public:
    static constexpr const char* kClassName = "TallySession";
    static constexpr const char* kAgentVersion = "79";
    static constexpr std::size_t kMaxParameters = 10;
    static constexpr std::size_t kMaxEventNames = 100;
    static constexpr std::size_t kMaxEventLogEntries = 1000;
    static constexpr std::size_t kMaxErrors = 10;
    static constexpr std::size_t kMaxImpressions = 1000;
    static constexpr std::int64_t kPageViewSpacingMillis = 300;
    static constexpr std::int32_t kDefaultMaxSessions = 50;
    // Status of the pasteboard identifier.
    enum UIDStatus : int { UIDCreated = 1, UIDReadBack = 2, UIDBadChecksum = 3, UIDBadLength = 4 };

    // ---- Class-wide state and device facts ----
    // Starts a new current session: a former one that never ended is marked
    // crashed and saved for upload.
    static std::shared_ptr<TallySession> createActiveTallySession(const std::string& apiKey);
    static std::shared_ptr<TallySession> currentSession();
    static void setCurrentSession(std::shared_ptr<TallySession> session);
    static std::string getAgentVersion() { return kAgentVersion; }
    static std::string devicePlatform();
    // Installed memory in mebibytes (read as 64 bits).
    static std::int64_t deviceMemory();
    // Processor clock in hertz (64 bits: clocks pass 2^31 Hz).
    static std::int64_t deviceCPUFrequency();
    static platform::Value::Dictionary iTunesMetadataPlist();
    // Cut to three decimals, toward zero. Values beyond the 32-bit range of
    // thousandths are clamped to it, NaN gives 0.
    static double reduceLocationPrecision(double value);
    // Every class-wide value back to its initial state (tests: a new process).
    static void resetClassState();

    // ---- Making sessions ----
    static std::shared_ptr<TallySession> initWithAPIKeyAppVersion(const std::string& apiKey,
                                                                  const std::string& appVersion);
    static std::shared_ptr<TallySession> initWithCoder(platform::KeyedUnarchiver& coder);
    static void registerCoding();
    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;

    // ---- Life cycle ----
    void pauseSession();
    void resumeSession();
    void endSession();
    void endSessionAndSendRemoveCurrentSession(bool send, bool removeCurrent);
    // The record joins the saved sessions, and the agent is sessionless.
    void saveSession();
    // Milliseconds from start to end; -1 while running.
    std::int64_t sessionLength() const;
    std::int64_t timeIntervalSinceSessionStart(platform::Date date) const;
    void setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(double latitude, double longitude,
                                                                float horizontalAccuracy, float verticalAccuracy);

    // ---- User data and flags ----
    // The user id, "" when none.
    std::string userID() const;
    void setUserID(const std::optional<std::string>& userID);
    void setGender(const std::string& gender);
    void setAge(std::int32_t years);
    bool eventLoggingEnabled() const;
    void setEventLoggingEnabled(bool enabled);
    bool sessionReportsOnCloseEnabled() const;
    void setSessionReportsOnCloseEnabled(bool enabled);
    bool sessionReportsOnPauseEnabled() const;
    void setSessionReportsOnPauseEnabled(bool enabled);

    // ---- Recording ----
    void recordEventWithParameters(const std::string& name,
                                   const std::optional<platform::Value::Dictionary>& parameters);
    void recordEventWithParametersTimed(const std::string& name,
                                        const std::optional<platform::Value::Dictionary>& parameters, bool timed);
    void endTimedEventWithParameters(const std::string& name,
                                     const std::optional<platform::Value::Dictionary>& parameters);
    void endTimedEvents();
    void recordErrorMessageException(const std::optional<std::string>& errorId,
                                     const std::optional<std::string>& message,
                                     const std::optional<platform::Exception>& exception);
    void recordErrorMessageError(const std::optional<std::string>& errorId, const std::optional<std::string>& message,
                                 const std::optional<platform::Error>& error);
    void recordErrorMessageExceptionString(const std::optional<std::string>& errorId,
                                           const std::optional<std::string>& message,
                                           const std::optional<std::string>& detail);
    void recordAdImpression(const platform::Data& impression);
    void recordAdSlotAdImpression(const platform::Data& impression);
    void maybeIncrementPageView();

    // ---- Persistence ----
    static std::string filePathDirectory();
    static std::string sessionsFilePath();
    static std::string currentSessionFilePath();
    static std::string sessionSentFilePath();
    static std::string initialTimestampFilePath();
    static std::string adStateCallbacksFilePath();
    static std::string oldSessionsFilePath();
    static std::string oldCurrentSessionFilePath();
    static std::string oldSessionSentFilePath();
    static std::string oldInitialTimestampFilePath();
    static std::string oldAdStateCallbacksFilePath();
    // A hash of the running agent's key that is the same in every process.
    static std::int32_t apiKeyHash();
    // Archives the session to the current-session file (atomically).
    void saveToDisk();
    // The saved records, oldest first; an unreadable file reads as none.
    static platform::Value::Array savedSessions();
    static void setSavedSessions(const platform::Value::Array& sessions);
    static void addToSavedSessions(const TallySession& session);
    static platform::Value::Array& removeOldSessionsIfNecessary(platform::Value::Array& sessions);
    static void setMaxSessions(std::int32_t count);
    static std::int32_t maxSessions();
    static bool sentSession();
    static void setSentSession();
    static platform::Date initialTimestamp();

    // ---- Device identifiers ----
    static platform::Data getMACBasedUID();
    static platform::Data getMACUID();
    // "en0"'s hardware address as "AA:BB:...", "" when there is none.
    static std::string macAddressText();
    static std::string getCFUUIDBasedUIDAndStatus(int& status);
    static std::string generateCFUUID();
    static std::string generateCFUUIDBasedUID();
    static std::string getCFUUIDBasedUIDWithChecksum(const std::string& identifier);
    static std::uint32_t generateCFUUIDBasedUIDChecksum(const std::string& identifier);
    static platform::Data hashData(const platform::Data& bytes);
    static std::string hashDataToHexStringLength(const platform::Data& bytes, std::size_t length);
    static std::string tallyIDsList();

    // ---- Record ----
    // The session's binary record; std::nullopt when it cannot be built.
    std::optional<platform::Data> data() const;

    // ---- Upload body ----
    // The body for `sessions` (each a TallySession or a stored record as
    // data) and the ad kinds asked for, with its CRC-32 trailer.
    static platform::Data dataForSessionsRequestAdRingAdsRequestVideoAdsRequestAdSlotAdsRequestRevisitAds(
        const platform::Value::Array& sessions, bool requestAdRing, bool requestVideo, bool requestAdSlot,
        bool requestRevisit);
    static platform::Data dataForSessions(const platform::Value::Array& sessions);
    // The checksum is zlib's CRC-32, ready before any use: nothing to build.
    static void generateChecksumTable() {}
    static std::uint32_t appendSessionsDataChecksum(platform::Data& body);

    // ---- Upload ----
    static constexpr double kLongTimeout = 20;
    static constexpr double kShortTimeout = 5;
    static void
    sendSessionsToServerWithTimeoutUseWebViewRequestAdRingAdsRequestVideoAdsRequestAdSlotAdsRequestRevisitAdsSendCurrentSession(
        bool shortTimeout, bool useWebView, bool requestAdRing, bool requestVideo, bool requestAdSlot,
        bool requestRevisit, bool sendCurrentSession);
    static void sendSessionsToServerForAdRing();
    static void sendSessionsToServerForSessionPause();
    static void sendSessionsToServerForEndOfSession();
    static void sendSessionsToServerForAdditionalInfo();
    static std::mutex& getNetworkLock();
    static void setAdRingAdParser(std::weak_ptr<TallyAdParser> parser);
    static void setVideoAdParser(std::weak_ptr<TallyAdParser> parser);
    static void setAdSlotAdParser(std::weak_ptr<TallyAdParser> parser);
    static void setRevisitAdParser(std::weak_ptr<TallyAdParser> parser);
    // Walks the reply's blocks through the registered parsers, never past
    // the end of `body`.
    static void parseReplyBlocks(const platform::Data& body, bool requestAdRing, bool requestVideo, bool requestAdSlot,
                                 bool requestRevisit);
    // Removes from the saved list the records an accepted upload carried
    // (and nothing saved since).
    static void removeSentSessions(const platform::Value::Array& sent);

    // ---- Ad-state callbacks ----
    static constexpr std::size_t kMaxAdStateCallbacks = 100;
    static constexpr std::int64_t kMaxAdStateAttempts = 5;
    static constexpr std::size_t kAdStateBatch = 5;
    static void asyncNotifyAdStateCompleted(const std::string& url);
    static void sendAdStateCompleted(const platform::Value::Dictionary& callback);
    static void sendAdStateCompletedSaveData(const platform::Value::Dictionary& callback, bool save);
    static platform::Value::Array savedAdStateCallbacks();
    static void setSavedAdStateCallbacks(const platform::Value::Array& callbacks);
    static void addToSavedAdStateCallbacks(const platform::Value::Dictionary& callback);
    static platform::Value::Array& removeOldAdStateCallbacksIfNecessary(platform::Value::Array& callbacks);
    static void removeAdStateCallbackIfExists(const platform::Value::Dictionary& callback);
    static void sendSavedAdStateCallbacks();

    // ---- Fields ----
    std::int32_t serializationVersion() const;
    platform::Date startTime() const;
    std::optional<platform::Date> endTime() const;
    void setEndTime(std::optional<platform::Date> endTime);
    std::optional<platform::Date> pauseTime() const;
    std::int64_t totalPauseIntervalMillis() const;
    double latitude() const;
    double longitude() const;
    float accuracy() const;
    bool crashed() const;
    void setCrashed(bool crashed);
    std::string apiKey() const;
    std::string appVersion() const;
    void setAppVersion(const std::string& version);
    platform::Value::Dictionary eventCounts() const;
    std::vector<std::shared_ptr<const TallyEvent>> eventLog() const;
    bool eventLogComplete() const;
    platform::Value::Array errors() const;
    std::int32_t totalErrorCount() const;
    std::vector<platform::Data> adLog() const;
    std::vector<platform::Data> appSpotAdLog() const;
    std::int32_t pageViewCount() const;
    void setPageViewCount(std::int32_t count);
    std::string locale() const;
    std::string timeZone() const;
    bool internetAvailable() const;
    void setInternetAvailable(bool available);
    std::int32_t gender() const;
    std::optional<platform::Date> age() const;

    std::string description() const override;
    ~TallySession() override;

private:
    void recordImpression(std::vector<platform::Data>& list, const platform::Data& impression, const char* leaving);

    mutable std::recursive_mutex mutex_;
    std::int32_t serializationVersion_ = 0;
    platform::Date startTime_;
    std::optional<platform::Date> endTime_;
    std::optional<platform::Date> pauseTime_;
    std::int64_t totalPauseIntervalMillis_ = 0;
    double latitude_ = 0;
    double longitude_ = 0;
    float accuracy_ = 0;
    bool crashed_ = false;
    std::string apiKey_;
    std::string appVersion_;
    std::optional<std::string> userID_;
    platform::Value::Dictionary eventCounts_;
    std::vector<std::shared_ptr<TallyEvent>> eventLog_;
    bool eventLogComplete_ = true;
    platform::Value::Array errors_;
    std::int32_t totalErrorCount_ = 0;
    std::vector<platform::Data> adLog_;
    std::vector<platform::Data> appSpotAdLog_;
    bool eventLoggingEnabled_ = false;
    bool sessionReportsOnCloseEnabled_ = false;
    bool sessionReportsOnPauseEnabled_ = false;
    std::int32_t pageViewCount_ = 0;
    std::string locale_;
    std::string timeZone_;
    bool internetAvailable_ = false;
    std::int32_t gender_ = -1;
    std::optional<platform::Date> age_;
};

}  // namespace clipora
