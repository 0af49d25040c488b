#include "analytics/TallySession.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <zlib.h>

#include "analytics/TallyAdParser.h"
#include "analytics/TallyAnalytics.h"
#include "analytics/TallyAutoIncrement.h"
#include "analytics/TallyEvent.h"
#include "analytics/TallyFileCache.h"
#include "analytics/TallyHTTPEater.h"
#include "analytics/TallyHTTPResponse.h"
#include "analytics/TallyImageCache.h"
#include "analytics/TallyProtocolData.h"
#include "analytics/TallyUtil.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/TimeZone.h"
#include "platform/foundation/UUID.h"
#include "platform/system/DeviceInfo.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Pasteboard.h"
#include "platform/uikit/Screen.h"

namespace clipora {

using namespace platform;

namespace {

constexpr const char* kPasteboardName = "com.tally.pasteboard";
constexpr const char* kPasteboardType = "com.tally.UID";
constexpr std::size_t kUIDLength = 38;
constexpr std::size_t kStoredUIDLength = 46;

// The class-wide state.
struct ClassState {
    std::mutex mutex;  // guards the three values below
    std::shared_ptr<TallySession> current;
    std::optional<std::string> apiKey;
    std::int32_t maxSessions = TallySession::kDefaultMaxSessions;
};
ClassState& state() {
    static ClassState* shared = new ClassState;  // reached from upload threads until exit
    return *shared;
}
// Serializes every read-modify-write of the saved-sessions file (additions
// on the main thread, removals after an upload on its thread).
std::mutex& savedSessionsMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}
std::mutex& pageViewMutex() {
    static std::mutex mutex;
    return mutex;
}
std::optional<Date>& lastPageViewTime() {
    static std::optional<Date> time;
    return time;
}
std::mutex& identifierMutex() {
    static std::mutex mutex;
    return mutex;
}

// The parser slots and the callback list (defined with the upload below).
void resetUploadState();

const KeyedUnarchiver::ClassList& sessionClasses() {
    static const KeyedUnarchiver::ClassList classes{
        TallySession::kClassName, TallyEvent::kClassName,   Coding::kStringClass,
        Coding::kNumberClass,     Coding::kDateClass,       Coding::kDataClass,
        Coding::kArrayClass,      Coding::kDictionaryClass, Coding::kNullClass};
    return classes;
}

// The earlier name when a file exists under it, else the current one.
std::string chooseName(const std::string& current, const std::string& earlier) {
    return FileManager::fileExists(earlier) ? earlier : current;
}

std::string fileName(const char* pattern) {
    return Text::format(pattern, TallySession::filePathDirectory(), TallySession::apiKeyHash(),
                        TallySession::getAgentVersion());
}

void excludeFromBackup(const std::string& path) {
    TallyUtil::addSkipBackupAttributeToItemAtURL(URL::fileURLWithPath(path));
}

bool archive(const Value& root, const std::string& path) {
    const bool written = KeyedArchiver::archiveToFile(root, path);
    if (written) excludeFromBackup(path);
    return written;
}

Value describe(const std::optional<Date>& date) { return date ? Value(*date) : Value(); }
Value describe(const std::optional<std::string>& text) { return text ? Value(*text) : Value(); }
Value describe(const std::optional<Value::Dictionary>& parameters) { return parameters ? Value(*parameters) : Value(); }

// value x 1000 as a 32-bit integer, truncated; clamped to the range and NaN
// as 0, since converting an out-of-range float is undefined.
std::int32_t thousandths(double value) {
    const double scaled = value * 1000.0;
    if (std::isnan(scaled)) return 0;
    if (scaled >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (scaled <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(scaled);
}

}  // namespace

// ---------------------------------------------------------------------------
// Class-wide state

std::shared_ptr<TallySession> TallySession::createActiveTallySession(const std::string& apiKey) {
    registerCoding();
    {
        std::lock_guard lock(state().mutex);
        state().apiKey = apiKey;
    }
    const std::string currentFile = currentSessionFilePath();
    std::shared_ptr<TallySession> former;
    if (FileManager::fileExists(currentFile)) {
        if (auto root = KeyedUnarchiver::unarchivedObjectFromFile(currentFile, sessionClasses()))
            former = root->objectAs<TallySession>();
    }
    if (former) {
        former->setCrashed(true);
        addToSavedSessions(*former);
        TallyUtil::debugLog("TallyAnalytics: Add crashed former session");
    } else {
        FileManager::removeItem(currentFile);
    }
    std::string version = Bundle::mainBundle()->infoString("CFBundleVersion").value_or("");
    if (auto given = TallyAnalytics::appVersion()) version = *given;
    auto session = initWithAPIKeyAppVersion(apiKey, version);
    setCurrentSession(session);
    TallyUtil::debugLog("TallyAnalytics: Created active session with API[%@]", apiKey);
    return session;
}

std::shared_ptr<TallySession> TallySession::currentSession() {
    std::lock_guard lock(state().mutex);
    return state().current;
}

void TallySession::setCurrentSession(std::shared_ptr<TallySession> session) {
    std::shared_ptr<TallySession> old;
    {
        std::lock_guard lock(state().mutex);
        old = std::exchange(state().current, std::move(session));
    }
    // `old` goes here, outside the lock (its destructor may log).
}

std::string TallySession::devicePlatform() { return DeviceInfo::hardwareModel(); }

std::int64_t TallySession::deviceMemory() {
    return static_cast<std::int64_t>(DeviceInfo::physicalMemory() / (1024 * 1024));
}

std::int64_t TallySession::deviceCPUFrequency() {
    return static_cast<std::int64_t>(
        std::min<std::uint64_t>(DeviceInfo::cpuFrequency(), std::numeric_limits<std::int64_t>::max()));
}

Value::Dictionary TallySession::iTunesMetadataPlist() {
    const auto bundleDirectory = std::filesystem::path(Bundle::mainBundle()->bundlePath()).parent_path();
    auto plist = PropertyList::fromFile(bundleDirectory / "iTunesMetadata.plist");
    if (!plist || !plist->dictionary()) return {};
    auto text = [](const Value* value) { return value ? value->description() : std::string(); };
    const Value* info = plist->find("com.apple.iTunesStore.downloadInfo");
    return Value::Dictionary{
        {"store.id", Value(text(plist->find("itemId")))},
        {"pur.date", Value(text(info ? info->find("purchaseDate") : nullptr))},
        {"pur.price", Value(text(plist->find("price")))},
        {"rel.date", Value(text(plist->find("releaseDate")))},
    };
}

double TallySession::reduceLocationPrecision(double value) { return static_cast<double>(thousandths(value)) / 1000.0; }

void TallySession::resetClassState() {
    setCurrentSession(nullptr);
    {
        std::lock_guard lock(state().mutex);
        state().apiKey.reset();
        state().maxSessions = kDefaultMaxSessions;
    }
    {
        std::lock_guard lock(pageViewMutex());
        lastPageViewTime().reset();
    }
    resetUploadState();
}

// ---------------------------------------------------------------------------
// Making sessions

std::shared_ptr<TallySession> TallySession::initWithAPIKeyAppVersion(const std::string& apiKey,
                                                                     const std::string& appVersion) {
    registerCoding();  // a session archives itself at once
    auto session = std::make_shared<TallySession>();
    session->startTime_ = Date::now();
    session->apiKey_ = apiKey;
    session->appVersion_ = appVersion;
    session->eventLoggingEnabled_ = true;
    session->sessionReportsOnCloseEnabled_ = true;
    session->locale_ = Locale::currentLocaleIdentifier();
    session->timeZone_ = TimeZone::localTimeZoneName();
    session->internetAvailable_ = true;
    session->saveToDisk();
    TallyUtil::debugLog("TallyAnalytics: Initialized session from scratch with startTime[%@]",
                        Value(session->startTime_));
    return session;
}

void TallySession::registerCoding() {
    CodingRegistry::registerClass<TallySession>(kClassName);
    TallyEvent::registerCoding();
}

void TallySession::encodeWithCoder(KeyedArchiver& coder) const {
    std::lock_guard lock(mutex_);
    coder.encodeInt32(1, "serializationVersion");
    coder.encodeObject(Value(startTime_), "startTime");
    if (endTime_) coder.encodeObject(Value(*endTime_), "endTime");
    if (pauseTime_) coder.encodeObject(Value(*pauseTime_), "pauseTime");
    coder.encodeInt64(totalPauseIntervalMillis_, "pauseIntervalMillis");
    coder.encodeObject(Value(eventCounts_), "eventCounts");
    Value::Array events;
    for (const auto& event : eventLog_) events.emplace_back(std::static_pointer_cast<Object>(event));
    coder.encodeObject(Value(std::move(events)), "eventLog");
    coder.encodeBool(eventLogComplete_, "eventLogComplete");
    coder.encodeObject(Value(errors_), "errors");
    coder.encodeInt32(totalErrorCount_, "totalErrorCount");
    coder.encodeObject(Value(Value::Array(adLog_.begin(), adLog_.end())), "adLog");
    coder.encodeObject(Value(Value::Array(appSpotAdLog_.begin(), appSpotAdLog_.end())), "appSpotAdLog");
    coder.encodeDouble(latitude_, "latitude");
    coder.encodeDouble(longitude_, "longitude");
    coder.encodeFloat(accuracy_, "accuracy");
    coder.encodeBool(crashed_, "crashed");
    coder.encodeObject(Value(apiKey_), "apiKey");
    coder.encodeObject(Value(appVersion_), "appVersion");
    if (userID_) coder.encodeObject(Value(*userID_), "userID");
    coder.encodeInt32(pageViewCount_, "pageViewCount");
    coder.encodeObject(Value(locale_), "locale");
    coder.encodeObject(Value(timeZone_), "timeZone");
    coder.encodeBool(internetAvailable_, "internetAvailable");
    if (age_) coder.encodeObject(Value(*age_), "age");
    coder.encodeInt32(gender_, "gender");
}

std::shared_ptr<TallySession> TallySession::initWithCoder(KeyedUnarchiver& coder) {
    const std::int32_t version = coder.decodeInt32("serializationVersion");
    if (version > 1) return nullptr;
    auto session = std::make_shared<TallySession>();
    session->serializationVersion_ = version;
    session->startTime_ = coder.decodeDate("startTime").value_or(Date());
    session->endTime_ = coder.decodeDate("endTime");
    session->pauseTime_ = coder.decodeDate("pauseTime");
    session->totalPauseIntervalMillis_ = coder.decodeInt64("pauseIntervalMillis");
    session->eventCounts_ = coder.decodeDictionary("eventCounts", {Coding::kNumberClass}).value_or(Value::Dictionary{});
    for (const auto& item : coder.decodeArray("eventLog", sessionClasses()).value_or(Value::Array{})) {
        auto event = item.objectAs<TallyEvent>();
        if (!event) {
            coder.failWithError(Error(std::string(KeyedUnarchiver::kErrorDomain), KeyedUnarchiver::kReadCorruptError));
            return nullptr;
        }
        session->eventLog_.push_back(event);
    }
    session->eventLogComplete_ = coder.decodeBool("eventLogComplete");
    session->errors_ = coder.decodeArray("errors", sessionClasses()).value_or(Value::Array{});
    session->totalErrorCount_ = coder.decodeInt32("totalErrorCount");
    for (const auto* list : {"adLog", "appSpotAdLog"}) {
        auto& target = std::string_view(list) == "adLog" ? session->adLog_ : session->appSpotAdLog_;
        for (const auto& item : coder.decodeArray(list, {Coding::kDataClass}).value_or(Value::Array{}))
            target.push_back(*item.data());
    }
    session->latitude_ = coder.decodeDouble("latitude");
    session->longitude_ = coder.decodeDouble("longitude");
    session->accuracy_ = coder.decodeFloat("accuracy");
    session->crashed_ = coder.decodeBool("crashed");
    session->apiKey_ = coder.decodeString("apiKey").value_or("");
    session->appVersion_ = coder.decodeString("appVersion").value_or("");
    session->userID_ = coder.decodeString("userID");
    session->pageViewCount_ = coder.decodeInt32("pageViewCount");
    session->locale_ = coder.decodeString("locale").value_or("");
    session->timeZone_ = coder.decodeString("timeZone").value_or("");
    session->internetAvailable_ = coder.decodeBool("internetAvailable");
    session->gender_ = coder.decodeInt32("gender");
    session->age_ = coder.decodeDate("age");
    if (coder.failed()) return nullptr;
    return session;
}

TallySession::~TallySession() { TallyUtil::debugLog("TallyAnalytics: dealloc session"); }

std::string TallySession::description() const {
    std::lock_guard lock(mutex_);
    return Text::format("<TallySession start:%@ apiKey:%@>", Value(startTime_), apiKey_);
}

// ---------------------------------------------------------------------------
// Life cycle

void TallySession::pauseSession() {
    std::lock_guard lock(mutex_);
    pauseTime_ = Date::now();
    saveToDisk();
    TallyUtil::debugLog("TallyAnalytics: Pause session with pauseTime[%@]", Value(*pauseTime_));
}

void TallySession::resumeSession() {
    std::lock_guard lock(mutex_);
    if (!pauseTime_) return;
    const Date now = Date::now();
    totalPauseIntervalMillis_ += TallyProtocolData::timeIntervalFromTo(pauseTime_, now);
    pauseTime_.reset();
    saveToDisk();
    TallyUtil::debugLog("TallyAnalytics: Resume session with resumeTime[%@]", Value(now));
}

void TallySession::endSession() { endSessionAndSendRemoveCurrentSession(true, true); }

void TallySession::endSessionAndSendRemoveCurrentSession(bool send, bool removeCurrent) {
    Date end;
    bool upload = false;
    {
        std::lock_guard lock(mutex_);
        end = Date::now();
        endTime_ = end;
        TallyUtil::debugLog("TallyAnalytics: Ending session with endTime[%@]", Value(end));
        endTimedEvents();
        upload = sessionReportsOnCloseEnabled_ && send;
    }
    // The upload serializes this session again, under its own lock.
    if (upload) sendSessionsToServerForEndOfSession();
    if (removeCurrent) saveSession();
    TallyUtil::debugLog("TallyAnalytics: Ending session with endTime[%@] complete", Value(end));
}

void TallySession::saveSession() {
    addToSavedSessions(*this);
    const std::string currentFile = currentSessionFilePath();
    std::shared_ptr<TallySession> removed;
    std::lock_guard lock(state().mutex);
    // Only the current session owns the current-session file and slot.
    if (state().current.get() == this) {
        FileManager::removeItem(currentFile);
        removed = std::exchange(state().current, nullptr);
    }
}

std::int64_t TallySession::sessionLength() const {
    std::lock_guard lock(mutex_);
    if (!endTime_) return -1;
    return TallyProtocolData::timeIntervalFromTo(startTime_, endTime_);
}

std::int64_t TallySession::timeIntervalSinceSessionStart(Date date) const {
    std::lock_guard lock(mutex_);
    return TallyProtocolData::timeIntervalFromTo(startTime_, date);
}

void TallySession::setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(double latitude, double longitude,
                                                                          float horizontalAccuracy,
                                                                          float verticalAccuracy) {
    std::lock_guard lock(mutex_);
    latitude_ = reduceLocationPrecision(latitude);
    longitude_ = reduceLocationPrecision(longitude);
    const double mean =
        (std::fabs(static_cast<double>(horizontalAccuracy)) + std::fabs(static_cast<double>(verticalAccuracy))) / 2.0;
    accuracy_ = static_cast<float>(reduceLocationPrecision(mean));
    TallyUtil::debugLog("TallyAnalytics: New location set with lat[%f] long[%f] accuracy[%f]", latitude_, longitude_,
                        static_cast<double>(accuracy_));
    saveToDisk();
}

// ---------------------------------------------------------------------------
// User data and flags

std::string TallySession::userID() const {
    std::lock_guard lock(mutex_);
    return userID_.value_or("");
}

void TallySession::setUserID(const std::optional<std::string>& userID) {
    std::lock_guard lock(mutex_);
    userID_ = userID;
    TallyUtil::debugLog("TallyAnalytics: Set userID[%@]", describe(userID));
}

void TallySession::setGender(const std::string& gender) {
    std::lock_guard lock(mutex_);
    gender_ = gender == "m" ? 1 : gender == "f" ? 0 : -1;
    TallyUtil::debugLog("given gender [%@], _gender = [%d]", gender, gender_);
}

void TallySession::setAge(std::int32_t years) {
    if (years < 1 || years > 150) return;
    const DateFormatter yearFormat("yyyy", DateFormatter::TimeZone::localZone());
    const int year = Text::intValue(yearFormat.stringFromDate(Date::now()));
    auto birthYear = yearFormat.dateFromString(Text::format("%d", year - years));
    if (!birthYear) return;
    std::lock_guard lock(mutex_);
    age_ = birthYear;
    TallyUtil::debugLog("TallyAnalytics: set age to [%@]", Value(*age_));
}

bool TallySession::eventLoggingEnabled() const {
    std::lock_guard lock(mutex_);
    return eventLoggingEnabled_;
}
void TallySession::setEventLoggingEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    eventLoggingEnabled_ = enabled;
    TallyUtil::debugLog("TallyAnalytics: Event logging enabled[%d]", enabled ? 1 : 0);
}
bool TallySession::sessionReportsOnCloseEnabled() const {
    std::lock_guard lock(mutex_);
    return sessionReportsOnCloseEnabled_;
}
void TallySession::setSessionReportsOnCloseEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    sessionReportsOnCloseEnabled_ = enabled;
    TallyUtil::debugLog("TallyAnalytics: Session reports on close enabled[%d]", enabled ? 1 : 0);
}
bool TallySession::sessionReportsOnPauseEnabled() const {
    std::lock_guard lock(mutex_);
    return sessionReportsOnPauseEnabled_;
}
void TallySession::setSessionReportsOnPauseEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    sessionReportsOnPauseEnabled_ = enabled;
    TallyUtil::debugLog("TallyAnalytics: Session reports on pause enabled[%d]", enabled ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Recording

void TallySession::recordEventWithParameters(const std::string& name,
                                             const std::optional<Value::Dictionary>& parameters) {
    recordEventWithParametersTimed(name, parameters, false);
}

void TallySession::recordEventWithParametersTimed(const std::string& name,
                                                  const std::optional<Value::Dictionary>& parameters, bool timed) {
    std::lock_guard lock(mutex_);
    TallyUtil::debugLog("TallyAnalytics: Recording event eventName[%@] with parameters[%@]", name,
                        describe(parameters));
    if (name.empty() || (parameters && parameters->size() > kMaxParameters)) {
        eventLogComplete_ = false;
        TallyUtil::debugLog("TallyAnalytics: Event eventName[%@] with parameters[%@] not recorded", name,
                            describe(parameters));
        return;
    }
    bool logged = false;
    auto count = eventCounts_.find(name);
    if (count != eventCounts_.end() || eventCounts_.size() < kMaxEventNames) {
        const std::int64_t updated = (count != eventCounts_.end() ? count->second.longLongValue() : 0) + 1;
        eventCounts_[name] = Value(updated);
        TallyUtil::debugLog("TallyAnalytics: Event count for eventName[%@] updated to count[%d]", name, updated);
        if (eventLog_.size() < kMaxEventLogEntries && eventLoggingEnabled_) {
            eventLog_.push_back(TallyEvent::initWithNameTimedParameters(name, timed, parameters));
            TallyUtil::debugLog("TallyAnalytics: Event log for eventName[%@] updated", name);
            logged = true;
        }
    }
    if (!logged) eventLogComplete_ = false;
    TallyUtil::debugLog("TallyAnalytics: Recording event eventName[%@] with parameters[%@] complete", name,
                        describe(parameters));
}

void TallySession::endTimedEventWithParameters(const std::string& name,
                                               const std::optional<Value::Dictionary>& parameters) {
    std::lock_guard lock(mutex_);
    const Date now = Date::now();
    for (const auto& event : eventLog_) {
        if (!event->isUnterminated() || event->name() != name) continue;
        event->setEnded(now);
        if (parameters) event->setParameters(parameters);
        TallyUtil::debugLog("TallyAnalytics: event named[%@] ended at %@", name, Value(now));
    }
}

void TallySession::endTimedEvents() {
    std::lock_guard lock(mutex_);
    TallyUtil::debugLog("TallyAnalytics: ending all unterminated timed events with _endTime[%@]...",
                        describe(endTime_));
    for (const auto& event : eventLog_) {
        if (!event->isUnterminated() && !event->automaticallyEnded()) continue;
        event->setEnded(endTime_);
        event->setAutomaticallyEnded(true);
        TallyUtil::debugLog("TallyAnalytics: forcefully terminated event named[%@]", event->name());
    }
    TallyUtil::debugLog("TallyAnalytics: ...finished ending un-ended timed events.");
}

void TallySession::recordErrorMessageException(const std::optional<std::string>& errorId,
                                               const std::optional<std::string>& message,
                                               const std::optional<Exception>& exception) {
    const Value exceptionText = exception ? Value(exception->name() + ": " + exception->reason()) : Value();
    TallyUtil::debugLog("TallyAnalytics: Recording error id[%@] with message[%@] and exception[%@]", describe(errorId),
                        describe(message), exceptionText);
    const std::string detail = exception ? Text::format("%@: %@", exception->name(), exception->reason()) : "nil";
    recordErrorMessageExceptionString(errorId, message, detail);
    TallyUtil::debugLog("TallyAnalytics: Recording error id[%@] with message[%@] and exception[%@] complete",
                        describe(errorId), describe(message), exceptionText);
}

void TallySession::recordErrorMessageError(const std::optional<std::string>& errorId,
                                           const std::optional<std::string>& message,
                                           const std::optional<Error>& error) {
    const Value errorText = error ? Value(error->description()) : Value();
    TallyUtil::debugLog("TallyAnalytics: Recording error id[%@] with message[%@] and error[%@]", describe(errorId),
                        describe(message), errorText);
    const std::string detail = error ? Text::format("%@: %@", error->localizedDescription(),
                                                    error->localizedFailureReason().value_or("(null)"))
                                     : "nil";
    recordErrorMessageExceptionString(errorId, message, detail);
    TallyUtil::debugLog("TallyAnalytics: Recording error id[%@] with message[%@] and error[%@] complete",
                        describe(errorId), describe(message), errorText);
}

void TallySession::recordErrorMessageExceptionString(const std::optional<std::string>& errorId,
                                                     const std::optional<std::string>& message,
                                                     const std::optional<std::string>& detail) {
    std::lock_guard lock(mutex_);
    ++totalErrorCount_;
    const std::string id = errorId.value_or("");
    if (errors_.size() < kMaxErrors) {
        const auto sequence = TallyAutoIncrement::instance()->nextCountFor(TallyAutoIncrement::kErrorKind);
        errors_.push_back(Value::makeArray(
            {Value(sequence), Value(Date::now()), Value(id), Value(message.value_or("")), Value(detail.value_or(""))}));
        TallyUtil::debugLog("TallyAnalytics: Error id[%@] updated", id);
    } else {
        TallyUtil::debugLog("TallyAnalytics: Error id[%@] not recorded", id);
    }
    saveToDisk();
}

void TallySession::recordAdImpression(const Data& impression) {
    recordImpression(adLog_, impression,
                     "TallyAnalytics: Leaving recordAdImpression. Recording ad impression complete.");
}

void TallySession::recordAdSlotAdImpression(const Data& impression) {
    recordImpression(appSpotAdLog_, impression,
                     "TallyAnalytics: Leaving recordAdSlotAdImpression. Recording ad impression complete.");
}

void TallySession::recordImpression(std::vector<Data>& list, const Data& impression, const char* leaving) {
    std::lock_guard lock(mutex_);
    if (list.size() >= kMaxImpressions) {
        TallyUtil::debugLog("TallyAnalytics: Impression not recorded because max impression is reached");
    } else {
        auto equal = std::find(list.begin(), list.end(), impression);
        if (equal != list.end()) {
            TallyUtil::debugLog("TallyAnalytics: Replacing ad impression [%p]", static_cast<const void*>(&*equal));
            *equal = impression;
        } else {
            list.push_back(impression);
            TallyUtil::debugLog("TallyAnalytics: Recording ad impression [%p]", static_cast<const void*>(&list.back()));
        }
        saveToDisk();
    }
    TallyUtil::debugLog(leaving);
}

void TallySession::maybeIncrementPageView() {
    const Date now = Date::now();
    bool counted = false;
    {
        std::lock_guard lock(pageViewMutex());
        auto& last = lastPageViewTime();
        // Compared in whole milliseconds, so that clock arithmetic cannot make
        // exactly 0.3 s count as more.
        if (!last || TallyProtocolData::timeIntervalFromTo(*last, now) > kPageViewSpacingMillis) {
            last = now;
            counted = true;
        }
    }
    if (!counted) return;
    std::lock_guard lock(mutex_);
    ++pageViewCount_;
}

// ---------------------------------------------------------------------------
// Persistence

std::string TallySession::filePathDirectory() {
    return TallyUtil::getSystemVersionAsAnInteger() > 50000 ? FileManager::documentsDirectory()
                                                            : FileManager::cachesDirectory();
}

std::string TallySession::sessionsFilePath() {
    return chooseName(fileName("%@/.tallyStored%d_%@.archive"), oldSessionsFilePath());
}
std::string TallySession::currentSessionFilePath() {
    return chooseName(fileName("%@/.tallyCurrent%d_%@.archive"), oldCurrentSessionFilePath());
}
std::string TallySession::sessionSentFilePath() {
    return chooseName(fileName("%@/.tallySent%d_%@.archive"), oldSessionSentFilePath());
}
std::string TallySession::initialTimestampFilePath() {
    return chooseName(fileName("%@/.initialTimestamp%d.archive"), oldInitialTimestampFilePath());
}
std::string TallySession::adStateCallbacksFilePath() {
    return chooseName(fileName("%@/.tallyAdStateCallbacks%d_%@.archive"), oldAdStateCallbacksFilePath());
}
std::string TallySession::oldSessionsFilePath() { return fileName("%@/tallyStored%d_%@.archive"); }
std::string TallySession::oldCurrentSessionFilePath() { return fileName("%@/tallyCurrent%d_%@.archive"); }
std::string TallySession::oldSessionSentFilePath() { return fileName("%@/tallySent%d_%@.archive"); }
std::string TallySession::oldInitialTimestampFilePath() { return fileName("%@/initialTimestamp%d.archive"); }
std::string TallySession::oldAdStateCallbacksFilePath() { return fileName("%@/tallyAdStateCallbacks%d_%@.archive"); }

std::int32_t TallySession::apiKeyHash() {
    std::optional<std::string> key;
    {
        std::lock_guard lock(state().mutex);
        key = state().apiKey;
    }
    if (!key) return 0;
    // 32-bit FNV-1a over the key's UTF-8 bytes: the same in every process.
    std::uint32_t hash = 2166136261u;
    for (unsigned char byte : *key) hash = (hash ^ byte) * 16777619u;
    return static_cast<std::int32_t>(hash);
}

void TallySession::saveToDisk() {
    std::lock_guard lock(mutex_);
    serializationVersion_ = 1;
    archive(Value(std::static_pointer_cast<Object>(shared_from_this())), currentSessionFilePath());
}

Value::Array TallySession::savedSessions() {
    const std::string path = sessionsFilePath();
    if (!FileManager::fileExists(path)) return {};
    auto root = KeyedUnarchiver::unarchivedObjectFromFile(path, {Coding::kArrayClass, Coding::kDataClass});
    // A damaged file holds nothing that could still be sent.
    if (!root || !root->array()) return {};
    return *root->array();
}

void TallySession::setSavedSessions(const Value::Array& sessions) { archive(Value(sessions), sessionsFilePath()); }

void TallySession::addToSavedSessions(const TallySession& session) {
    TallyUtil::debugLog("TallyAnalytics: Add session with startTime[%@] to saved sessions", Value(session.startTime()));
    auto record = session.data();
    if (!record) return;
    std::lock_guard lock(savedSessionsMutex());
    auto sessions = savedSessions();
    sessions.emplace_back(std::move(*record));
    removeOldSessionsIfNecessary(sessions);
    setSavedSessions(sessions);
}

Value::Array& TallySession::removeOldSessionsIfNecessary(Value::Array& sessions) {
    const auto limit = static_cast<std::size_t>(std::max(0, maxSessions()));
    if (sessions.size() > limit) {
        const std::size_t excess = sessions.size() - limit;
        TallyUtil::debugLog("TallyAnalytics: Max sessions allowed[%d] exceeded", maxSessions());
        TallyUtil::debugLog("TallyAnalytics: Removing [%d] sessions from saved sessions", excess);
        sessions.erase(sessions.begin(), sessions.begin() + static_cast<std::ptrdiff_t>(excess));
    }
    return sessions;
}

void TallySession::setMaxSessions(std::int32_t count) {
    std::lock_guard lock(state().mutex);
    state().maxSessions = count;
}

std::int32_t TallySession::maxSessions() {
    std::lock_guard lock(state().mutex);
    return state().maxSessions;
}

bool TallySession::sentSession() {
    const bool sent = FileManager::fileExists(sessionSentFilePath());
    TallyUtil::debugLog("TallyAnalytics: application sent session[%d]", sent ? 1 : 0);
    return sent;
}

void TallySession::setSentSession() {
    const std::string path = sessionSentFilePath();
    if (!FileManager::fileExists(path)) FileManager::createFile(path);
    excludeFromBackup(path);
}

Date TallySession::initialTimestamp() {
    const std::string path = initialTimestampFilePath();
    if (FileManager::fileExists(path)) {
        if (auto root = KeyedUnarchiver::unarchivedObjectFromFile(path, {Coding::kDateClass}); root && root->date()) {
            TallyUtil::debugLog("TallyAnalytics: Initial timestamp[%@] from saved source", *root);
            return *root->date();
        }
    }
    auto current = currentSession();
    const Date first = current ? current->startTime() : Date::now();
    archive(Value(first), path);
    TallyUtil::debugLog("TallyAnalytics: Initial timestamp[%@] created and saved", Value(first));
    return first;
}

// ---------------------------------------------------------------------------
// Device identifiers

std::string TallySession::macAddressText() {
    auto address = DeviceInfo::hardwareAddress("en0");
    if (!address) return "";
    std::vector<std::string> groups;
    for (auto byte : *address) groups.push_back(Text::format("%02X", static_cast<unsigned>(byte)));
    return Text::join(groups, ":");
}

Data TallySession::getMACBasedUID() { return hashData(Text::toData("IPHONE" + macAddressText() + devicePlatform())); }

Data TallySession::getMACUID() { return hashData(Text::toData(macAddressText())); }

std::string TallySession::getCFUUIDBasedUIDAndStatus(int& status) {
    // Two threads reading at once must not both make a new identifier.
    std::lock_guard lock(identifierMutex());
    auto pasteboard = Pasteboard::pasteboardWithNameCreate(kPasteboardName, true);
    // Making it persistent writes its file; once is enough (every upload body
    // reads the identifier).
    if (!pasteboard->isPersistent()) pasteboard->setPersistent(true);
    if (auto stored = pasteboard->dataForPasteboardType(kPasteboardType); !stored) {
        status = UIDCreated;
    } else {
        const std::string text(stored->begin(), stored->end());
        if (text.size() != kStoredUIDLength) {
            status = UIDBadLength;
        } else {
            const std::string identifier = text.substr(0, kUIDLength);
            auto checksum = Text::parseHex(text.substr(kUIDLength));
            if (checksum && *checksum == generateCFUUIDBasedUIDChecksum(identifier)) {
                status = UIDReadBack;
                return identifier;
            }
            status = UIDBadChecksum;
        }
    }
    const std::string identifier = generateCFUUIDBasedUID();
    pasteboard->setDataForPasteboardType(Text::toData(getCFUUIDBasedUIDWithChecksum(identifier)), kPasteboardType);
    return identifier;
}

std::string TallySession::generateCFUUID() { return UUID::newUUIDString(); }

std::string TallySession::generateCFUUIDBasedUID() { return "ID" + generateCFUUID(); }

std::string TallySession::getCFUUIDBasedUIDWithChecksum(const std::string& identifier) {
    // Always eight digits, so that every stored form has the one accepted length.
    return identifier + Text::format("%08X", generateCFUUIDBasedUIDChecksum(identifier));
}

std::uint32_t TallySession::generateCFUUIDBasedUIDChecksum(const std::string& identifier) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(identifier.data()), static_cast<uInt>(identifier.size())));
}

Data TallySession::hashData(const Data& bytes) { return Digest::sha1(bytes); }

std::string TallySession::hashDataToHexStringLength(const Data& bytes, std::size_t length) {
    return Digest::hex(std::span(bytes.data(), std::min(length, bytes.size())));
}

std::string TallySession::tallyIDsList() {
    int status = 0;
    return Text::format("%d:%@,%d:%@,%d:%@", 2, hashDataToHexStringLength(getMACBasedUID(), Digest::kSHA1Length), 4,
                        hashDataToHexStringLength(getMACUID(), Digest::kSHA1Length), 3,
                        getCFUUIDBasedUIDAndStatus(status));
}

// ---------------------------------------------------------------------------
// Record

std::optional<Data> TallySession::data() const {
    std::lock_guard lock(mutex_);
    Data data;
    TallyProtocolData::appendUshortToData(static_cast<std::uint16_t>(serializationVersion_), data);
    TallyProtocolData::appendStringToData(appVersion_, data);
    TallyProtocolData::appendTimestampToData(startTime_, data);
    TallyProtocolData::appendLongToData(endTime_ ? TallyProtocolData::timeIntervalFromTo(startTime_, endTime_) : -1,
                                        data);
    TallyProtocolData::appendLongToData(totalPauseIntervalMillis_, data);
    TallyProtocolData::appendStringToData(locale_, data);
    TallyProtocolData::appendStringToData(timeZone_, data);
    TallyProtocolData::appendBooleanToData(internetAvailable_, data);
    TallyProtocolData::appendStringToData(userID_.value_or(""), data);
    TallyProtocolData::appendBooleanToData(true, data);
    TallyProtocolData::appendDoubleToData(latitude_, data);
    TallyProtocolData::appendDoubleToData(longitude_, data);
    TallyProtocolData::appendFloatToData(accuracy_, data);
    TallyProtocolData::appendIntToData(pageViewCount_, data);
    TallyProtocolData::appendByteToData(static_cast<std::int8_t>(gender_), data);
    TallyProtocolData::appendBooleanToData(age_.has_value(), data);
    if (age_) TallyProtocolData::appendTimestampToData(*age_, data);
    TallyProtocolData::appendUshortToData(static_cast<std::uint16_t>(eventCounts_.size()), data);
    for (const auto& [name, count] : eventCounts_) {
        TallyProtocolData::appendStringToData(name, data);
        TallyProtocolData::appendIntToData(static_cast<std::int32_t>(count.longLongValue()), data);
    }
    TallyProtocolData::appendUshortToData(static_cast<std::uint16_t>(eventLog_.size()), data);
    for (const auto& event : eventLog_) {
        if (!event) return std::nullopt;
        const Data bytes = event->dataRelativeToSessionStart(startTime_);
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    TallyProtocolData::appendBooleanToData(eventLogComplete_, data);
    TallyProtocolData::appendIntToData(totalErrorCount_, data);
    TallyProtocolData::appendUshortToData(static_cast<std::uint16_t>(errors_.size()), data);
    for (const auto& entry : errors_) {
        const auto* fields = entry.array();
        if (!fields || fields->size() != 5) return std::nullopt;
        TallyProtocolData::appendUshortToData(static_cast<std::uint16_t>((*fields)[0].longLongValue()), data);
        TallyProtocolData::appendTimestampToData((*fields)[1].date().value_or(Date()), data);
        for (std::size_t i = 2; i < 5; ++i) {
            const auto* text = (*fields)[i].string();
            TallyProtocolData::appendStringToData(text ? *text : std::string(), data);
        }
    }
    for (const auto* list : {&adLog_, &appSpotAdLog_}) {
        TallyProtocolData::appendUshortToData(static_cast<std::uint16_t>(list->size()), data);
        for (const auto& block : *list) data.insert(data.end(), block.begin(), block.end());
    }
    return data;
}

// ---------------------------------------------------------------------------
// Upload body

namespace {

constexpr std::uint16_t kProtocolVersion = 22;
constexpr std::uint16_t kAgentVersionNumber = 79;

// The record an element of the list to send stands for: a live session is
// serialized, a stored record is taken as it is (without copying it).
const Data* recordOf(const Value& element, std::optional<Data>& serialized) {
    if (auto session = element.objectAs<TallySession>()) {
        serialized = session->data();
        return serialized ? &*serialized : nullptr;
    }
    return element.data();
}

}  // namespace

Data TallySession::dataForSessionsRequestAdRingAdsRequestVideoAdsRequestAdSlotAdsRequestRevisitAds(
    const Value::Array& sessions, bool requestAdRing, bool requestVideo, bool requestAdSlot, bool requestRevisit) {
    auto current = currentSession();
    Data body;
    TallyProtocolData::appendUshortToData(kProtocolVersion, body);
    if (requestAdRing || requestVideo || requestAdSlot || requestRevisit) {
        auto files =
            TallyFileCache::createInstanceWithApiKeyAgentVersion(current ? current->apiKey() : "", getAgentVersion());
        TallyImageCache::createInstanceWithFileCache(files);
        const std::uint16_t main = requestRevisit ? 5 : requestVideo ? 3 : requestAdRing ? 1 : 0;
        TallyProtocolData::appendUshortToData(3, body);
        TallyProtocolData::appendUshortToData(main, body);
        TallyProtocolData::appendUshortToData(requestAdSlot ? 1 : 0, body);
    } else {
        TallyProtocolData::appendUshortToData(0, body);
    }
    auto images = TallyImageCache::instance();
    TallyProtocolData::appendLongToData(images ? images->cacheUpdateTimestamp() : 0, body);
    const auto ids = images ? images->storedIds() : std::vector<std::string>{};
    TallyProtocolData::appendUshortToData(static_cast<std::uint16_t>(ids.size()), body);
    for (const auto& id : ids) {
        TallyProtocolData::appendByteToData(1, body);
        TallyProtocolData::appendLongToData(Text::longLongValue(id), body);
    }
    TallyProtocolData::appendUshortToData(TallyUtil::isIPad() ? 8 : 2, body);
    TallyProtocolData::appendUshortToData(kAgentVersionNumber, body);
    TallyProtocolData::appendTimestampToData(Date::now(), body);
    TallyProtocolData::appendStringToData(current ? current->apiKey() : "", body);
    TallyProtocolData::appendStringToData(current ? current->appVersion() : "", body);
    TallyProtocolData::appendUshortToData(3, body);
    TallyProtocolData::appendUshortToData(2, body);
    TallyProtocolData::appendShortDataToData(getMACBasedUID(), body);
    TallyProtocolData::appendUshortToData(4, body);
    TallyProtocolData::appendShortDataToData(getMACUID(), body);
    int status = 0;
    const std::string identifier = getCFUUIDBasedUIDAndStatus(status);
    TallyProtocolData::appendUshortToData(3, body);
    TallyProtocolData::appendStringToData(identifier, body);
    TallyProtocolData::appendByteToData(static_cast<std::int8_t>(status), body);
    TallyProtocolData::appendTimestampToData(initialTimestamp(), body);
    if (current)
        TallyProtocolData::appendTimestampToData(current->startTime(), body);
    else
        TallyProtocolData::appendLongToData(0, body);
    const Rect screen = Screen::mainScreen()->bounds();
    const Value::Dictionary properties{
        {"device.model.1", Value(devicePlatform())},
        {"device.os.version", Value(Device::currentDevice()->systemVersion())},
        {"scr.width", Value(std::to_string(static_cast<long long>(screen.size.width)))},
        {"scr.height", Value(std::to_string(static_cast<long long>(screen.size.height)))},
    };
    TallyProtocolData::appendUshortToData(static_cast<std::uint16_t>(properties.size()), body);
    for (const auto& [key, value] : properties) {
        TallyProtocolData::appendStringToData(key, body);
        TallyProtocolData::appendStringToData(*value.string(), body);
    }
    // Records are gathered first (the count precedes them) and copied into
    // the body once, into room reserved for all of them and the trailer.
    std::vector<std::optional<Data>> serialized(sessions.size());
    std::vector<const Data*> records;
    records.reserve(sessions.size());
    std::size_t total = 0;
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        TallyUtil::guarded([&] {
            if (const Data* record = recordOf(sessions[i], serialized[i])) {
                records.push_back(record);
                total += record->size();
            }
        });
    }
    TallyProtocolData::appendUshortToData(static_cast<std::uint16_t>(records.size()), body);
    body.reserve(body.size() + total + 4);
    for (const Data* record : records) body.insert(body.end(), record->begin(), record->end());
    appendSessionsDataChecksum(body);
    return body;
}

Data TallySession::dataForSessions(const Value::Array& sessions) {
    return dataForSessionsRequestAdRingAdsRequestVideoAdsRequestAdSlotAdsRequestRevisitAds(sessions, true, true, true,
                                                                                           true);
}

std::uint32_t TallySession::appendSessionsDataChecksum(Data& body) {
    // zlib's CRC-32 needs no table built first, so no body goes out with a
    // trailer computed from an empty table.
    const auto checksum =
        static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), body.data(), static_cast<uInt>(body.size())));
    TallyProtocolData::appendIntToData(static_cast<std::int32_t>(checksum), body);
    return checksum;
}

// ---------------------------------------------------------------------------
// Upload

namespace {

struct ParserSlots {
    std::mutex mutex;
    std::weak_ptr<TallyAdParser> adRing, video, adSlot, revisit;
};
ParserSlots& parsers() {
    static ParserSlots* slots = new ParserSlots;
    return *slots;
}

std::shared_ptr<TallyAdParser> parserIn(std::weak_ptr<TallyAdParser> ParserSlots::*slot) {
    std::lock_guard lock(parsers().mutex);
    return (parsers().*slot).lock();
}

struct ParserNames {
    const char* before;  // may be null
    const char* with;
    const char* after;
    const char* noAnswer;
    const char* none;  // may be null
};
constexpr ParserNames kAdRingNames{"TallyAnalytics: about to invoke AdRing ad parser",
                                   "TallyAnalytics: gAdRingAdParser class [%@] address [%p]",
                                   "TallyAnalytics: AdRing ad parser finished. aggregate bytes scanned [%d]",
                                   "TallyAnalytics: AdRing ad parser did not respond to parseData:bufferLength.",
                                   "TallyAnalytics: AdRing ad parser is not available."};
constexpr ParserNames kVideoNames{"TallyAnalytics: about to invoke Reel ad parser",
                                  "TallyAnalytics: gVideoAdParser class [%@] address [%p]",
                                  "TallyAnalytics: Reel ad parser finished. aggregate bytes scanned [%d]",
                                  "TallyAnalytics: Reel ad parser did not respond to parseData:bufferLength.",
                                  "TallyAnalytics: Reel ad parser is not available."};
constexpr ParserNames kRevisitNames{nullptr, "TallyAnalytics: gRevisitAdParser class [%@] address [%p]",
                                    "TallyAnalytics: Revisit ad parser finished. aggregate bytes scanned [%d]",
                                    "TallyAnalytics: Revisit ad parser did not respond to parseData:bufferLength.",
                                    nullptr};
constexpr ParserNames kAdSlotNames{"TallyAnalytics: about to invoke AdSlot ad parser",
                                   "TallyAnalytics: gAdSlotAdParser class [%@] address [%p]",
                                   "TallyAnalytics: AdSlot ad parser finished. aggregate bytes scanned [%d]",
                                   "TallyAnalytics: AdSlot ad parser did not respond to parseData:bufferLength.",
                                   "TallyAnalytics: AdSlot ad parser is not available."};

// Calls one parser; answers false when the parsing must end after this block.
// The position returned becomes the walk's position, even when it lies behind
// what an earlier parser of the same block answered: the last answer wins. A
// position outside the body is never taken, and ends the walk after the block.
bool runParser(std::weak_ptr<TallyAdParser> ParserSlots::*slot, const ParserNames& names, const std::uint8_t* from,
               std::int32_t remaining, const std::uint8_t* begin, const std::uint8_t* end,
               const std::uint8_t*& position) {
    if (names.before) TallyUtil::debugLog(names.before);
    auto parser = parserIn(slot);
    if (!parser) {
        if (names.none) TallyUtil::debugLog(names.none);
        return false;
    }
    TallyUtil::debugLog(names.with, std::string("TallyAdParser"), static_cast<const void*>(parser.get()));
    auto answer = parser->parseDataBufferLength(from, remaining);
    if (!answer) {
        TallyUtil::debugLog(names.noAnswer);
        return false;
    }
    if (*answer < begin || *answer > end) return false;
    position = *answer;
    TallyUtil::debugLog(names.after, static_cast<long long>(position - begin));
    return true;
}

}  // namespace

std::mutex& TallySession::getNetworkLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

void TallySession::setAdRingAdParser(std::weak_ptr<TallyAdParser> parser) {
    std::lock_guard lock(parsers().mutex);
    parsers().adRing = std::move(parser);
    TallyUtil::debugLog("TallyAnalytics: AdRingAdParser set");
}
void TallySession::setVideoAdParser(std::weak_ptr<TallyAdParser> parser) {
    std::lock_guard lock(parsers().mutex);
    parsers().video = std::move(parser);
    TallyUtil::debugLog("TallyAnalytics: ReelVideoAdParser set");
}
void TallySession::setAdSlotAdParser(std::weak_ptr<TallyAdParser> parser) {
    std::lock_guard lock(parsers().mutex);
    parsers().adSlot = std::move(parser);
    TallyUtil::debugLog("TallyAnalytics: AdSlotAdParser set");
}
void TallySession::setRevisitAdParser(std::weak_ptr<TallyAdParser> parser) {
    std::lock_guard lock(parsers().mutex);
    parsers().revisit = std::move(parser);
    TallyUtil::debugLog("TallyAnalytics: RevisitAdParser set");
}

void TallySession::parseReplyBlocks(const Data& body, bool requestAdRing, bool requestVideo, bool requestAdSlot,
                                    bool requestRevisit) {
    const std::uint8_t* begin = body.data();
    const std::uint8_t* end = begin + body.size();
    const std::uint8_t* position = begin;
    const auto length = static_cast<std::int32_t>(std::min<std::size_t>(body.size(), INT32_MAX));
    std::int32_t remaining = length;
    TallyUtil::debugLog("TallyAnalytics: about to invoke Parser(s). bufferLength [%d] remainingBufferLength [%d]",
                        length, remaining);
    // A tag needs two bytes; a shorter tail ends the parsing.
    while (end - position >= 2) {
        const auto tag = static_cast<std::uint16_t>((position[0] << 8) | position[1]);
        const std::uint8_t* blockStart = position;
        bool goOn = true;
        if (tag == 0x0102) {
            // These modules' contract: each is handed the start of the body.
            if (requestAdRing)
                goOn &= runParser(&ParserSlots::adRing, kAdRingNames, begin, remaining, begin, end, position);
            if (requestVideo)
                goOn &= runParser(&ParserSlots::video, kVideoNames, begin, remaining, begin, end, position);
            if (requestRevisit)
                goOn &= runParser(&ParserSlots::revisit, kRevisitNames, begin, remaining, begin, end, position);
        } else if (tag == 0x0201) {
            if (requestAdSlot)
                goOn &= runParser(&ParserSlots::adSlot, kAdSlotNames, position, remaining, begin, end, position);
        } else {
            TallyUtil::debugLog("TallyAnalytics: unrecognized block tag [%d].",
                                static_cast<int>(static_cast<std::int16_t>(tag)));
            return;
        }
        remaining = length - static_cast<std::int32_t>(position - begin);
        TallyUtil::debugLog("TallyAnalytics: buffer length [%d] remaining buffer length [%d].", length, remaining);
        // Progress is judged over the whole block: a block that leaves the
        // position at or behind its own start would be read again for ever.
        if (remaining <= 0 || !goOn || position <= blockStart) return;
    }
}

void TallySession::removeSentSessions(const Value::Array& sent) {
    std::lock_guard lock(savedSessionsMutex());
    auto saved = savedSessions();
    for (const auto& record : sent) {
        auto found = std::find(saved.begin(), saved.end(), record);
        if (found != saved.end()) saved.erase(found);
    }
    setSavedSessions(saved);
}

void TallySession::
    sendSessionsToServerWithTimeoutUseWebViewRequestAdRingAdsRequestVideoAdsRequestAdSlotAdsRequestRevisitAdsSendCurrentSession(
        bool shortTimeout, bool useWebView, bool requestAdRing, bool requestVideo, bool requestAdSlot,
        bool requestRevisit, bool sendCurrentSession) {
    std::unique_lock network(getNetworkLock(), std::try_to_lock);
    if (!network.owns_lock()) {
        TallyUtil::debugLog("Could not acquire network lock. Skipping");
        return;
    }
    TallyUtil::guarded([&] {
        TallyUtil::debugLog("TallyAnalytics: Sending sessions to server withTimeout[%d]", shortTimeout ? 1 : 0);
        const Value::Array saved = savedSessions();
        Value::Array sessions = saved;
        auto current = currentSession();
        if (sendCurrentSession && current)
            if (auto record = current->data()) sessions.emplace_back(std::move(*record));
        const Value::Dictionary headers{{"Content-Type", Value("application/octet-stream")}};
        const double timeout = shortTimeout ? kShortTimeout : kLongTimeout;
        std::shared_ptr<TallyHTTPResponse> reply;
        if (auto stored = TallyAnalytics::savedResponseURL()) {
            reply = TallyHTTPResponse::readFromURL(*stored);
        } else {
            const Data body = dataForSessionsRequestAdRingAdsRequestVideoAdsRequestAdSlotAdsRequestRevisitAds(
                sessions, requestAdRing, requestVideo, requestAdSlot, requestRevisit);
            auto url = URL::fromString(TallyAnalytics::serverURL());
            if (!url) throw Error::withDescription("TallyAnalytics", 1, "The server URL is not a URL.");
            reply = TallyHTTPEater::sendMethodToBodyHeaderFieldsTimeoutIntervalUseWebView("POST", *url, body, headers,
                                                                                          timeout, useWebView);
            if (reply && TallyUtil::isDebugLogEnabled()) reply->saveToDisk();
        }
        if (shortTimeout || !reply) return;
        if (reply->isSuccess()) {
            if (current) current->setInternetAvailable(true);
            // A final redirect (a captive portal, a 304) reached something,
            // but not the collector: what it carried is still unsent.
            if (reply->isAccepted()) {
                removeSentSessions(saved);
                setSentSession();
                TallyUtil::debugLog("TallyAnalytics: Sent %d session(s).", static_cast<int>(sessions.size()));
            }
        } else {
            if (current) current->setInternetAvailable(false);
            TallyUtil::debugLog("TallyAnalytics: Could not connect to server.");
        }
        const bool anyAds = requestAdRing || requestVideo || requestAdSlot || requestRevisit;
        if (!anyAds || !reply->isSuccess() || !reply->body() || reply->body()->empty()) return;
        parseReplyBlocks(*reply->body(), requestAdRing, requestVideo, requestAdSlot, requestRevisit);
    });
}

void TallySession::sendSessionsToServerForAdRing() {
    const bool ring = TallyAnalytics::appCircleEnabled(), video = TallyAnalytics::videoAdsEnabled(),
               slot = TallyAnalytics::appSpotEnabled(), revisit = TallyAnalytics::reEngageEnabled();
    sendSessionsToServerWithTimeoutUseWebViewRequestAdRingAdsRequestVideoAdsRequestAdSlotAdsRequestRevisitAdsSendCurrentSession(
        false, false, ring, video, slot, revisit, false);
    if (ring || video || slot || revisit) sendSavedAdStateCallbacks();
}

void TallySession::sendSessionsToServerForSessionPause() {
    sendSessionsToServerWithTimeoutUseWebViewRequestAdRingAdsRequestVideoAdsRequestAdSlotAdsRequestRevisitAdsSendCurrentSession(
        true, false, false, false, false, false, true);
    TallyAnalytics::stopBackgroundTask();
}

void TallySession::sendSessionsToServerForEndOfSession() {
    sendSessionsToServerWithTimeoutUseWebViewRequestAdRingAdsRequestVideoAdsRequestAdSlotAdsRequestRevisitAdsSendCurrentSession(
        true, false, false, false, false, false, true);
}

void TallySession::sendSessionsToServerForAdditionalInfo() {
    sendSessionsToServerWithTimeoutUseWebViewRequestAdRingAdsRequestVideoAdsRequestAdSlotAdsRequestRevisitAdsSendCurrentSession(
        true, true, false, false, false, false, false);
}

// ---------------------------------------------------------------------------
// Ad-state callbacks

namespace {

// The in-memory list of callbacks still to deliver; loaded once, under its
// lock, on first use.
struct Callbacks {
    std::mutex mutex;
    bool loaded = false;
    Value::Array list;
};
Callbacks& callbacks() {
    static Callbacks* shared = new Callbacks;
    return *shared;
}

void loadCallbacksLocked() {
    auto& c = callbacks();
    if (c.loaded) return;
    c.loaded = true;
    const std::string path = TallySession::adStateCallbacksFilePath();
    if (!FileManager::fileExists(path)) return;
    std::optional<Error> error;
    auto root = KeyedUnarchiver::unarchivedObjectFromFile(
        path, {Coding::kArrayClass, Coding::kDictionaryClass, Coding::kStringClass, Coding::kNumberClass},
        KeyedArchiver::kRootKey, &error);
    if (root && root->array()) {
        c.list = *root->array();
        return;
    }
    TallyUtil::debugLog("main: Caught %@: %@", std::string("NSInvalidArchiveOperationException"),
                        error ? error->localizedDescription() : std::string("not a list"));
    FileManager::removeItem(path);
}

void writeCallbacksLocked() { archive(Value(callbacks().list), TallySession::adStateCallbacksFilePath()); }

void resetUploadState() {
    {
        std::lock_guard lock(parsers().mutex);
        parsers().adRing.reset();
        parsers().video.reset();
        parsers().adSlot.reset();
        parsers().revisit.reset();
    }
    std::lock_guard lock(callbacks().mutex);
    callbacks().loaded = false;
    callbacks().list.clear();
}

}  // namespace

void TallySession::asyncNotifyAdStateCompleted(const std::string& url) {
    const Value::Dictionary callback{{"url", Value(url)}, {"attempts", Value(0)}};
    Thread::detach([callback] { TallyUtil::guarded([&] { sendAdStateCompleted(callback); }); }, "Tally ad state");
}

void TallySession::sendAdStateCompleted(const Value::Dictionary& callback) {
    bool loaded = false;
    {
        std::lock_guard lock(callbacks().mutex);
        loaded = callbacks().loaded;
    }
    sendAdStateCompletedSaveData(callback, !loaded);
}

void TallySession::sendAdStateCompletedSaveData(const Value::Dictionary& callback, bool save) {
    (void)save;  // every addition is written at once (see addToSavedAdStateCallbacks)
    Value::Dictionary copy = callback;
    const Value* url = copy.count("url") ? &copy.at("url") : nullptr;
    const std::string address = url && url->string() ? *url->string() : std::string();
    auto reply = TallyHTTPEater::getHeaderFields(address, std::nullopt);
    TallyUtil::debugLog("Tally: HTTP Response for ad state notification [%@]", reply->description());
    if (reply->isSuccess()) {
        TallyUtil::debugLog("Tally: sent ad state completed to server at url[%@]", address);
        return;
    }
    TallyUtil::debugLog("Tally: could not send ad state completed to server for url [%@]", address);
    const std::int64_t attempts = (copy.count("attempts") ? copy.at("attempts").longLongValue() : 0) + 1;
    if (attempts < kMaxAdStateAttempts) {
        copy["attempts"] = Value(attempts);
        addToSavedAdStateCallbacks(copy);
    } else {
        TallyUtil::debugLog("Exceeded number of attempts for callback[%@]", Value(copy));
    }
}

Value::Array TallySession::savedAdStateCallbacks() {
    std::lock_guard lock(callbacks().mutex);
    loadCallbacksLocked();
    return callbacks().list;
}

void TallySession::setSavedAdStateCallbacks(const Value::Array& list) {
    std::lock_guard lock(callbacks().mutex);
    archive(Value(list), adStateCallbacksFilePath());
}

void TallySession::addToSavedAdStateCallbacks(const Value::Dictionary& callback) {
    TallyUtil::debugLog("Tally: Add ad state callback [%@] to saved callbacks", Value(callback));
    std::lock_guard lock(callbacks().mutex);
    loadCallbacksLocked();
    callbacks().list.emplace_back(callback);
    removeOldAdStateCallbacksIfNecessary(callbacks().list);
    // Written now, so that a callback is not lost when the process ends
    // before the next batch.
    writeCallbacksLocked();
}

Value::Array& TallySession::removeOldAdStateCallbacksIfNecessary(Value::Array& list) {
    if (list.size() > kMaxAdStateCallbacks) {
        const std::size_t excess = list.size() - kMaxAdStateCallbacks;
        TallyUtil::debugLog("Tally: Max ad states allowed[%d] exceeded", static_cast<int>(kMaxAdStateCallbacks));
        TallyUtil::debugLog("Tally: Removing [%d] callbacks from saved callbacks", static_cast<int>(excess));
        list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(excess));
    }
    return list;
}

void TallySession::removeAdStateCallbackIfExists(const Value::Dictionary& callback) {
    std::lock_guard lock(callbacks().mutex);
    loadCallbacksLocked();
    std::erase(callbacks().list, Value(callback));
}

void TallySession::sendSavedAdStateCallbacks() {
    TallyUtil::guarded([] {
        const auto all = savedAdStateCallbacks();
        const Value::Array batch(all.begin(),
                                 all.begin() + static_cast<std::ptrdiff_t>(std::min(kAdStateBatch, all.size())));
        for (const auto& callback : batch) {
            TallyUtil::debugLog("Attempting to send saved callback[%@]", callback);
            if (const auto* dictionary = callback.dictionary()) sendAdStateCompletedSaveData(*dictionary, false);
        }
        std::lock_guard lock(callbacks().mutex);
        TallyUtil::debugLog("Discarded Items count[%d]", static_cast<int>(batch.size()));
        for (const auto& callback : batch) std::erase(callbacks().list, callback);
        writeCallbacksLocked();
    });
}

// ---------------------------------------------------------------------------
// Fields

#define TALLY_GETTER(type, name, field) \
    type TallySession::name() const {   \
        std::lock_guard lock(mutex_);   \
        return field;                   \
    }
TALLY_GETTER(std::int32_t, serializationVersion, serializationVersion_)
TALLY_GETTER(Date, startTime, startTime_)
TALLY_GETTER(std::optional<Date>, endTime, endTime_)
TALLY_GETTER(std::optional<Date>, pauseTime, pauseTime_)
TALLY_GETTER(std::int64_t, totalPauseIntervalMillis, totalPauseIntervalMillis_)
TALLY_GETTER(double, latitude, latitude_)
TALLY_GETTER(double, longitude, longitude_)
TALLY_GETTER(float, accuracy, accuracy_)
TALLY_GETTER(bool, crashed, crashed_)
TALLY_GETTER(std::string, apiKey, apiKey_)
TALLY_GETTER(std::string, appVersion, appVersion_)
TALLY_GETTER(Value::Dictionary, eventCounts, eventCounts_)
TALLY_GETTER(bool, eventLogComplete, eventLogComplete_)
TALLY_GETTER(Value::Array, errors, errors_)
TALLY_GETTER(std::int32_t, totalErrorCount, totalErrorCount_)
TALLY_GETTER(std::vector<Data>, adLog, adLog_)
TALLY_GETTER(std::vector<Data>, appSpotAdLog, appSpotAdLog_)
TALLY_GETTER(std::int32_t, pageViewCount, pageViewCount_)
TALLY_GETTER(std::string, locale, locale_)
TALLY_GETTER(std::string, timeZone, timeZone_)
TALLY_GETTER(bool, internetAvailable, internetAvailable_)
TALLY_GETTER(std::int32_t, gender, gender_)
TALLY_GETTER(std::optional<Date>, age, age_)
#undef TALLY_GETTER

std::vector<std::shared_ptr<const TallyEvent>> TallySession::eventLog() const {
    std::lock_guard lock(mutex_);
    // Copies, so that a caller never reads an event the session may change.
    std::vector<std::shared_ptr<const TallyEvent>> copies;
    for (const auto& event : eventLog_) copies.push_back(std::make_shared<TallyEvent>(*event));
    return copies;
}

void TallySession::setEndTime(std::optional<Date> endTime) {
    std::lock_guard lock(mutex_);
    endTime_ = endTime;
}
void TallySession::setCrashed(bool crashed) {
    std::lock_guard lock(mutex_);
    crashed_ = crashed;
}
void TallySession::setAppVersion(const std::string& version) {
    std::lock_guard lock(mutex_);
    appVersion_ = version;
}
void TallySession::setPageViewCount(std::int32_t count) {
    std::lock_guard lock(mutex_);
    pageViewCount_ = count;
}
void TallySession::setInternetAvailable(bool available) {
    std::lock_guard lock(mutex_);
    internetAvailable_ = available;
}

}  // namespace clipora
