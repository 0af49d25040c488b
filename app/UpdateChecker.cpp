#include "app/UpdateChecker.h"

#include <algorithm>
#include <vector>

#include "app/LimitedFetch.h"
#include "app/OpenLink.h"
#include "app/VersionString.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Application.h"

namespace clipora {

using namespace platform;

namespace {

std::shared_ptr<UpdateChecker>& sharedSlot() {
    static std::shared_ptr<UpdateChecker> checker;
    return checker;
}

std::shared_ptr<UserDefaults> defaults() { return UserDefaults::standardUserDefaults(); }

// Keeps only entries that have the list's shape: version -> array of texts.
Value::Dictionary wellFormedVersions(const Value::Dictionary& dict) {
    Value::Dictionary result;
    for (const auto& [version, notes] : dict) {
        const auto* items = notes.array();
        if (!items) continue;
        Value::Array texts;
        for (const auto& item : *items)
            if (item.isString()) texts.push_back(item);
        result.emplace(version, Value(std::move(texts)));
    }
    return result;
}

std::string trimLineBreaks(const std::string& text) { return Text::trim(text, "\r\n"); }

}  // namespace

std::shared_ptr<UpdateChecker> UpdateChecker::sharedInstance() {
    auto& checker = sharedSlot();
    if (!checker) {
        checker = std::make_shared<UpdateChecker>();
        checker->observeApplication();
    }
    return checker;
}

void UpdateChecker::resetSharedInstance() { sharedSlot().reset(); }

UpdateChecker::UpdateChecker() {
    auto bundle = Bundle::mainBundle();
    applicationName_ = bundle->infoString("CFBundleName").value_or(std::string());
    applicationVersion_ = bundle->infoString("CFBundleVersion").value_or(std::string());
}

UpdateChecker::~UpdateChecker() {
    if (observing_) NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

void UpdateChecker::observeApplication() {
    if (observing_) return;
    observing_ = true;
    std::weak_ptr<UpdateChecker> weak = shared_from_this();
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(
        Application::kDidFinishLaunchingNotification,
        [weak](const Notification&) {
            if (auto self = weak.lock()) self->applicationLaunched();
        },
        this);
    center.addObserver(
        Application::kWillEnterForegroundNotification,
        [weak](const Notification&) {
            if (auto self = weak.lock()) self->applicationWillEnterForeground();
        },
        this);
}

void UpdateChecker::setLocalVersionsPlistPath(std::string path) {
    localVersionsPlistPath_ = std::move(path);
    localVersionsDict_.reset();
    versionDetailsComputed_ = false;
}

std::string UpdateChecker::updateAvailableTitle() const {
    if (updateAvailableTitle_) return *updateAvailableTitle_;
    return Text::format("A new version of %@ is available to download", applicationName_);
}

std::string UpdateChecker::updateURL() const {
    if (updateURL_) return *updateURL_;
    return Text::format("itms-apps:///app/id%u", static_cast<unsigned>(appStoreID_));
}

// --- Stored state --------------------------------------------------------------

std::optional<Date> UpdateChecker::lastChecked() const { return defaults()->dateForKey(kLastCheckedKey); }

void UpdateChecker::setLastChecked(std::optional<Date> date) {
    if (date)
        defaults()->setObject(Value(*date), kLastCheckedKey);
    else
        defaults()->removeObjectForKey(kLastCheckedKey);
    defaults()->synchronize();
}

std::optional<Date> UpdateChecker::lastReminded() const { return defaults()->dateForKey(kLastRemindedKey); }

void UpdateChecker::setLastReminded(std::optional<Date> date) {
    if (date)
        defaults()->setObject(Value(*date), kLastRemindedKey);
    else
        defaults()->removeObjectForKey(kLastRemindedKey);
    defaults()->synchronize();
}

std::optional<std::string> UpdateChecker::ignoredVersion() const { return defaults()->stringForKey(kIgnoreVersionKey); }

void UpdateChecker::setIgnoredVersion(std::optional<std::string> version) {
    if (version)
        defaults()->setObject(Value(*version), kIgnoreVersionKey);
    else
        defaults()->removeObjectForKey(kIgnoreVersionKey);
    defaults()->synchronize();
}

std::optional<std::string> UpdateChecker::lastVersion() const { return defaults()->stringForKey(kLastVersionKey); }

void UpdateChecker::setLastVersion(std::optional<std::string> version) {
    if (version)
        defaults()->setObject(Value(*version), kLastVersionKey);
    else
        defaults()->removeObjectForKey(kLastVersionKey);
    defaults()->synchronize();
}

bool UpdateChecker::viewedVersionDetails() const { return lastVersion() == applicationVersion_; }

void UpdateChecker::setViewedVersionDetails(bool viewed) {
    if (viewed)
        defaults()->setObject(Value(applicationVersion_), kLastVersionKey);
    else
        defaults()->removeObjectForKey(kLastVersionKey);
}

// --- Lists -----------------------------------------------------------------------

const Value::Dictionary& UpdateChecker::localVersionsDict() {
    if (!localVersionsDict_) {
        localVersionsDict_ = Value::Dictionary{};
        if (!localVersionsPlistPath_.empty()) {
            const std::string path = Bundle::mainBundle()->resourcePath() + "/" + localVersionsPlistPath_;
            if (auto list = PropertyList::fromFile(path); list && list->dictionary())
                localVersionsDict_ = wellFormedVersions(*list->dictionary());
        }
    }
    return *localVersionsDict_;
}

std::optional<std::string> UpdateChecker::mostRecentVersionInDict(const Value::Dictionary& dict) {
    std::optional<std::string> latest;
    for (const auto& entry : dict)
        if (!latest || VersionString::compareVersion(entry.first, *latest) > 0) latest = entry.first;
    return latest;
}

std::optional<std::string> UpdateChecker::versionDetailsInDict(const std::string& version,
                                                               const Value::Dictionary& dict) {
    auto it = dict.find(version);
    if (it == dict.end() || !it->second.array()) return std::nullopt;
    std::vector<std::string> notes;
    for (const auto& item : *it->second.array())
        if (item.isString()) notes.push_back(*item.string());
    return Text::join(notes, "\n\n");
}

std::optional<std::string> UpdateChecker::versionDetailsSinceInDict(const std::string& given,
                                                                    const Value::Dictionary& dict) const {
    const std::string version = localDebug_ ? std::string("0") : given;
    std::vector<std::string> keys;
    for (const auto& entry : dict) keys.push_back(entry.first);
    std::stable_sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
        return VersionString::compareVersionDescending(a, b) < 0;
    });
    std::string text;
    bool newer = false;
    for (const auto& key : keys) {
        if (VersionString::compareVersion(key, version) <= 0) continue;
        newer = true;
        if (groupNotesByVersion_) text += Text::format(versionLabelFormat_, key) + "\n\n";
        text += versionDetailsInDict(key, dict).value_or(std::string()) + "\n\n";
    }
    if (!newer) return std::nullopt;
    return trimLineBreaks(text);
}

std::optional<std::string> UpdateChecker::versionDetails() {
    if (!versionDetailsComputed_) {
        versionDetailsComputed_ = true;
        if (viewedVersionDetails())
            versionDetails_ = versionDetailsInDict(applicationVersion_, localVersionsDict());
        else
            versionDetails_ = versionDetailsSinceInDict(lastVersion().value_or("0"), localVersionsDict());
    }
    return versionDetails_;
}

// --- Local notes -------------------------------------------------------------------

void UpdateChecker::applicationLaunched() {
    if (!localChecksDisabled_) checkIfNewVersion();
    if (shouldCheckForNewVersion()) checkForNewVersion();
}

void UpdateChecker::applicationWillEnterForeground() {
    if (shouldCheckForNewVersion()) checkForNewVersion();
}

void UpdateChecker::checkIfNewVersion() {
    const auto last = lastVersion();
    if (!last && !showOnFirstLaunch_ && !localDebug_) {
        setViewedVersionDetails(true);
        return;
    }
    if (!(localDebug_ || !last || VersionString::compareVersion(applicationVersion_, *last) > 0)) return;
    setLastReminded(std::nullopt);
    auto details = versionDetails();
    if (!details) return;
    if (auto d = delegate())
        if (d->UpdateCheckerShouldDisplayCurrentVersionDetails(*details) == false) return;
    auto alert = std::make_shared<AlertView>(inThisVersionTitle_, *details, weak_from_this(), okButtonLabel_);
    alert->show();
}

// --- Remote check -------------------------------------------------------------------

bool UpdateChecker::shouldCheckForNewVersion() {
    if (remoteChecksDisabled_) return false;
    if (!remoteDebug_) {
        const Date now = Date::now();
        if (auto reminded = lastReminded()) {
            if (now.timeIntervalSince(*reminded) < remindPeriod_ * kSecondsPerDay) return false;
        } else if (auto checked = lastChecked()) {
            if (now.timeIntervalSince(*checked) < checkPeriod_ * kSecondsPerDay) return false;
        }
    }
    if (auto d = delegate())
        if (auto answer = d->UpdateCheckerShouldCheckForNewVersion()) return *answer;
    return true;
}

void UpdateChecker::checkForNewVersion() {
    if (remoteVersionsPlistURL_.empty()) return;
    auto self = shared_from_this();
    const std::string address = remoteVersionsPlistURL_;
    Thread::detach([self, address] { self->checkInBackground(address); }, "UpdateChecker");
}

void UpdateChecker::checkInBackground(const std::string& address) {
    std::lock_guard<std::mutex> lock(checkMutex_);
    std::optional<Error> error;
    std::optional<Value::Dictionary> versions;
    if (auto url = URL::fromString(address)) {
        URLRequest request(*url, URLRequest::CachePolicy::ReloadIgnoringLocalCacheData,
                           URLRequest::defaultTimeoutInterval());
        auto result = LimitedFetch::fetch(request, kMaxListBytes);
        error = result.error;
        if (result.body && !error) {
            std::optional<Error> parseError;
            auto list = PropertyList::fromData(*result.body, &parseError);
            if (list && list->dictionary())
                versions = wellFormedVersions(*list->dictionary());
            else
                error = parseError ? parseError
                                   : Error(std::string(PropertyList::kErrorDomain), PropertyList::kReadCorruptError);
        }
    } else {
        error = URLConnection::urlError(Error::kURLErrorBadURL, std::nullopt);
    }

    // The state changes and the evaluation happen together on the main
    // thread, while this check still holds the lock.
    auto self = shared_from_this();
    Thread::performOnMainThread(
        [self, error, versions] {
            self->downloadError_ = error;
            self->remoteVersionsDict_ = versions;
            self->setLastChecked(Date::now());
            self->downloadedVersionsData();
        },
        true);
}

void UpdateChecker::downloadedVersionsData() {
    if (!remoteVersionsDict_) {
        if (auto d = delegate()) d->UpdateCheckerVersionCheckFailed(downloadError_);
        return;
    }
    auto details = versionDetailsSinceInDict(applicationVersion_, *remoteVersionsDict_);
    auto latest = mostRecentVersionInDict(*remoteVersionsDict_);
    if (!details || !latest) return;
    if (auto d = delegate()) d->UpdateCheckerDetectedNewVersionDetails(*latest, *details);
    if (latest == ignoredVersion() && !remoteDebug_) return;
    if (auto d = delegate())
        if (d->UpdateCheckerShouldDisplayNewVersionDetails(*latest, *details) == false) return;
    // The message is what changed since the running version, from the list
    // that announced the update.
    std::vector<std::string> buttons{downloadButtonLabel_, ignoreButtonLabel_};
    if (remindButtonLabel_) buttons.push_back(*remindButtonLabel_);
    auto alert = std::make_shared<AlertView>(updateAvailableTitle(), *details, weak_from_this(), std::nullopt, buttons);
    alert->show();
}

void UpdateChecker::openAppPageInAppStore() { OpenLink::shareOpenLink()->openLinkShareLink(updateURL()); }

void UpdateChecker::alertViewDidDismissWithButtonIndex(const std::shared_ptr<AlertView>& alert, int index) {
    if (alert && alert->title() == inThisVersionTitle_) {
        setViewedVersionDetails(true);
        return;
    }
    if (index == 2) {
        setLastReminded(Date::now());
    } else if (index == 1) {
        setIgnoredVersion(remoteVersionsDict_ ? mostRecentVersionInDict(*remoteVersionsDict_) : std::nullopt);
        setLastReminded(std::nullopt);
    } else if (index == 0) {
        setLastReminded(std::nullopt);
        openAppPageInAppStore();
    }
}

}  // namespace clipora
