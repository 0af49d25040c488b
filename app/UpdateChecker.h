#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/UpdateCheckerDelegate.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/AlertViewDelegate.h"

namespace clipora {

// Tells the user about versions of the application: after an update, the
// notes of the running version ("New in this version"); and, from a remote
// property list of versions and their notes, that a newer version can be
// downloaded. The shared instance starts itself from the application's
// launch and foreground notifications.
//
// The remote list is read on a thread of its own, at most kMaxListBytes, and
// parsed with the bounds-checked property-list reader; everything else runs
// on the main thread.
class UpdateChecker : public platform::AlertViewDelegate, public std::enable_shared_from_this<UpdateChecker> {
public:
    static constexpr const char* kLastCheckedKey = "UpdateCheckerLastChecked";
    static constexpr const char* kLastRemindedKey = "UpdateCheckerLastReminded";
    static constexpr const char* kIgnoreVersionKey = "UpdateCheckerIgnoreVersion";
    static constexpr const char* kLastVersionKey = "UpdateCheckerLastVersionChecked";
    static constexpr std::size_t kMaxListBytes = 1024 * 1024;
    static constexpr double kSecondsPerDay = 86400;

    static std::shared_ptr<UpdateChecker> sharedInstance();
    // Stops the shared instance's observing and forgets it (tests).
    static void resetSharedInstance();

    UpdateChecker();
    ~UpdateChecker() override;

    // --- Configuration ---
    std::uint32_t appStoreID() const { return appStoreID_; }
    void setAppStoreID(std::uint32_t id) { appStoreID_ = id; }
    // Empty: no remote check.
    const std::string& remoteVersionsPlistURL() const { return remoteVersionsPlistURL_; }
    void setRemoteVersionsPlistURL(std::string url) { remoteVersionsPlistURL_ = std::move(url); }
    // Relative to the bundle's resource folder; empty: no local list.
    const std::string& localVersionsPlistPath() const { return localVersionsPlistPath_; }
    void setLocalVersionsPlistPath(std::string path);
    const std::string& applicationName() const { return applicationName_; }
    void setApplicationName(std::string name) { applicationName_ = std::move(name); }
    const std::string& applicationVersion() const { return applicationVersion_; }
    void setApplicationVersion(std::string version) { applicationVersion_ = std::move(version); }
    bool showOnFirstLaunch() const { return showOnFirstLaunch_; }
    void setShowOnFirstLaunch(bool show) { showOnFirstLaunch_ = show; }
    bool groupNotesByVersion() const { return groupNotesByVersion_; }
    void setGroupNotesByVersion(bool group) { groupNotesByVersion_ = group; }
    float checkPeriod() const { return checkPeriod_; }
    void setCheckPeriod(float days) { checkPeriod_ = days; }
    float remindPeriod() const { return remindPeriod_; }
    void setRemindPeriod(float days) { remindPeriod_ = days; }
    const std::string& inThisVersionTitle() const { return inThisVersionTitle_; }
    void setInThisVersionTitle(std::string title) { inThisVersionTitle_ = std::move(title); }
    // Unset: "A new version of <applicationName> is available to download".
    std::string updateAvailableTitle() const;
    void setUpdateAvailableTitle(std::optional<std::string> title) { updateAvailableTitle_ = std::move(title); }
    const std::string& versionLabelFormat() const { return versionLabelFormat_; }
    void setVersionLabelFormat(std::string format) { versionLabelFormat_ = std::move(format); }
    const std::string& okButtonLabel() const { return okButtonLabel_; }
    void setOkButtonLabel(std::string label) { okButtonLabel_ = std::move(label); }
    const std::string& ignoreButtonLabel() const { return ignoreButtonLabel_; }
    void setIgnoreButtonLabel(std::string label) { ignoreButtonLabel_ = std::move(label); }
    // Unset leaves the button out.
    const std::optional<std::string>& remindButtonLabel() const { return remindButtonLabel_; }
    void setRemindButtonLabel(std::optional<std::string> label) { remindButtonLabel_ = std::move(label); }
    const std::string& downloadButtonLabel() const { return downloadButtonLabel_; }
    void setDownloadButtonLabel(std::string label) { downloadButtonLabel_ = std::move(label); }
    bool localChecksDisabled() const { return localChecksDisabled_; }
    void setLocalChecksDisabled(bool disabled) { localChecksDisabled_ = disabled; }
    bool remoteChecksDisabled() const { return remoteChecksDisabled_; }
    void setRemoteChecksDisabled(bool disabled) { remoteChecksDisabled_ = disabled; }
    bool localDebug() const { return localDebug_; }
    void setLocalDebug(bool debug) { localDebug_ = debug; }
    bool remoteDebug() const { return remoteDebug_; }
    void setRemoteDebug(bool debug) { remoteDebug_ = debug; }
    // Unset: the store's application page "itms-apps:///app/id<appStoreID>".
    std::string updateURL() const;
    void setUpdateURL(std::optional<std::string> url) { updateURL_ = std::move(url); }
    std::shared_ptr<UpdateCheckerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UpdateCheckerDelegate> delegate) { delegate_ = std::move(delegate); }

    // --- State ---
    const std::optional<platform::Value::Dictionary>& remoteVersionsDict() const { return remoteVersionsDict_; }
    const std::optional<platform::Error>& downloadError() const { return downloadError_; }
    // The running version's local notes: its own when already viewed, else
    // those since the last version viewed. Computed on first read.
    std::optional<std::string> versionDetails();

    std::optional<platform::Date> lastChecked() const;
    void setLastChecked(std::optional<platform::Date> date);
    std::optional<platform::Date> lastReminded() const;
    void setLastReminded(std::optional<platform::Date> date);
    std::optional<std::string> ignoredVersion() const;
    void setIgnoredVersion(std::optional<std::string> version);
    std::optional<std::string> lastVersion() const;
    void setLastVersion(std::optional<std::string> version);
    bool viewedVersionDetails() const;
    void setViewedVersionDetails(bool viewed);

    // --- Operations ---
    void applicationLaunched();
    void applicationWillEnterForeground();
    void checkIfNewVersion();
    bool shouldCheckForNewVersion();
    // Starts the remote check on a thread of its own.
    void checkForNewVersion();
    void openAppPageInAppStore();
    // Evaluates the remote list (main thread).
    void downloadedVersionsData();

    static std::optional<std::string> mostRecentVersionInDict(const platform::Value::Dictionary& dict);
    static std::optional<std::string> versionDetailsInDict(const std::string& version,
                                                           const platform::Value::Dictionary& dict);
    std::optional<std::string> versionDetailsSinceInDict(const std::string& version,
                                                         const platform::Value::Dictionary& dict) const;
    const platform::Value::Dictionary& localVersionsDict();

    void alertViewDidDismissWithButtonIndex(const std::shared_ptr<platform::AlertView>& alert, int index) override;

private:
    void observeApplication();
    // The remote check's body, on its own thread.
    void checkInBackground(const std::string& address);

    std::uint32_t appStoreID_ = 0;
    std::string remoteVersionsPlistURL_;
    std::string localVersionsPlistPath_;
    std::string applicationName_;
    std::string applicationVersion_;
    bool showOnFirstLaunch_ = false;
    bool groupNotesByVersion_ = true;
    float checkPeriod_ = 0.5f;
    float remindPeriod_ = 1.0f;
    std::string inThisVersionTitle_ = "New in this version";
    std::optional<std::string> updateAvailableTitle_;
    std::string versionLabelFormat_ = "Version %@";
    std::string okButtonLabel_ = "OK";
    std::string ignoreButtonLabel_ = "Ignore";
    std::optional<std::string> remindButtonLabel_ = std::string("Remind Me Later");
    std::string downloadButtonLabel_ = "Download";
    bool localChecksDisabled_ = false;
    bool remoteChecksDisabled_ = false;
    bool localDebug_ = false;
    bool remoteDebug_ = false;
    std::optional<std::string> updateURL_;
    std::weak_ptr<UpdateCheckerDelegate> delegate_;

    std::optional<platform::Value::Dictionary> remoteVersionsDict_;
    std::optional<platform::Error> downloadError_;
    bool versionDetailsComputed_ = false;
    std::optional<std::string> versionDetails_;
    std::optional<platform::Value::Dictionary> localVersionsDict_;
    bool observing_ = false;
    // One remote check at a time.
    std::mutex checkMutex_;
};

}  // namespace clipora
