#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/NavigationController.h"
#include "share/Core/SXItem.h"
#include "share/Core/SXSharerDelegate.h"

namespace clipora {

namespace platform {
class Image;
}

class SXFormController;
class SXFormFieldSettings;
class SXRequest;

// The base of every sharer: one object per share attempt that carries the
// item, decides on login, share form, sending now or queueing offline, and
// reports the outcome as a notification and to its share delegate. A
// sharer is a navigation controller: its share form is pushed onto it and
// the hub presents it.
//
// Contract for subclasses (see docs/share.md): override the capability
// queries, and `send`, which answers whether sending started and must then
// end in exactly one of sendDidFinish, sendDidFailWithError (or its relogin
// forms) and sendDidCancel. Main thread only.
class SXSharer : public platform::NavigationController, public SXSharerDelegate {
public:
    enum PendingAction : int { PendingActionNone = 0, PendingActionShareAgain = 1, PendingActionResend = 2 };

    static constexpr const char* kSendDidStartNotification = "SXSendDidStartNotification";
    static constexpr const char* kSendDidFinishNotification = "SXSendDidFinish";
    static constexpr const char* kSendDidFailWithErrorNotification = "SXSendDidFailWithError";
    static constexpr const char* kSendDidCancelNotification = "SXSendDidCancel";
    static constexpr const char* kAuthDidFinishNotification = "SXAuthDidFinish";

    SXSharer();
    ~SXSharer() override;

    // A new sharer of the class T, initialised (`init`).
    template <class T>
    static std::shared_ptr<T> make() {
        auto sharer = std::make_shared<T>();
        sharer->init();
        return sharer;
    }

    // --- Starting a share (a new sharer of T, kept alive by itself until
    // its outcome). Only shareItem records a favourite. ---
    template <class T>
    static std::shared_ptr<T> shareItem(const std::shared_ptr<SXItem>& item) {
        auto sharer = make<T>();
        sharer->loadItem(item);
        sharer->share();
        return sharer;
    }
    template <class T>
    static std::shared_ptr<T> shareURL(const std::optional<platform::URL>& url) {
        return shareURLTitle<T>(url, std::nullopt);
    }
    template <class T>
    static std::shared_ptr<T> shareURLTitle(const std::optional<platform::URL>& url, std::optional<std::string> title) {
        return start<T>(SXItem::URLTitle(url, std::move(title)));
    }
    template <class T>
    static std::shared_ptr<T> shareImageTitle(std::shared_ptr<platform::Image> image,
                                              std::optional<std::string> title) {
        return start<T>(SXItem::imageTitle(std::move(image), std::move(title)));
    }
    template <class T>
    static std::shared_ptr<T> shareText(std::optional<std::string> text) {
        return start<T>(SXItem::text(std::move(text)));
    }
    template <class T>
    static std::shared_ptr<T> shareFileFilenameMimeTypeTitle(std::optional<platform::Data> data,
                                                             std::optional<std::string> filename,
                                                             std::optional<std::string> mimeType,
                                                             std::optional<std::string> title) {
        return start<T>(SXItem::fileFilenameMimeTypeTitle(std::move(data), std::move(filename), std::move(mimeType),
                                                          std::move(title)));
    }
    template <class T>
    static std::shared_ptr<T> getUserInfo() {
        auto item = std::make_shared<SXItem>();
        item->setShareType(SXItem::SXShareTypeUserInfoRequest);
        return start<T>(item);
    }
    template <class T>
    static bool isServiceAuthorized() {
        return make<T>()->isAuthorized();
    }
    // The same by class name (a sharer of the class, used for its class
    // answers); no when the name is unknown.
    static bool isServiceAuthorized(const std::string& sharerId);

    // --- Class answers (overridden by each sharer) ---
    virtual std::string sharerTitle() const { return {}; }
    // The class name: the identity of credentials, favourites and the
    // auto-share default.
    virtual std::string sharerId() const { return "SXSharer"; }
    virtual bool canShareText() const { return false; }
    virtual bool canShareURL() const { return false; }
    virtual bool canShareImage() const { return false; }
    virtual bool canShareFile() const { return false; }
    virtual bool canGetUserInfo() const { return false; }
    virtual bool shareRequiresInternetConnection() const { return true; }
    virtual bool canShareOffline() const { return true; }
    virtual bool requiresAuthentication() const { return true; }
    virtual bool canAutoShare() const { return true; }
    virtual bool canShare() const { return true; }
    bool canShareType(int type) const;
    virtual std::vector<std::shared_ptr<SXFormFieldSettings>> authorizationFormFields() const;
    virtual std::optional<std::string> authorizationFormCaption() const { return std::nullopt; }
    // Forgets the stored login of this sharer class.
    virtual void logout();

    // --- Life cycle ---
    // Sets the sharer up: its own share delegate, an empty item, the hub's
    // presentation styles.
    virtual void init();
    // Records the favourite and keeps the item, without sharing.
    void loadItem(const std::shared_ptr<SXItem>& item);
    virtual void share();
    virtual bool isAuthorized();
    bool authorize();
    virtual void promptAuthorization();
    virtual void show();
    virtual bool validateItem();
    // Whether the share went on its way (sent, queued, or the offline
    // alert shown).
    virtual bool tryToSend();
    // The network work; the base sends nothing.
    virtual bool send() { return false; }
    virtual bool shouldAutoShare() const;
    void setShouldAutoShare(bool autoShare);
    std::optional<std::string> getAuthValueForKey(const std::string& key) const;

    // --- Login form ---
    virtual void authorizationFormShow();
    virtual void authorizationFormValidate(const std::shared_ptr<SXFormController>& form);
    virtual void authorizationFormSave(const std::shared_ptr<SXFormController>& form);
    virtual void authorizationFormCancel(const std::shared_ptr<SXFormController>& form);

    // --- Share form ---
    virtual std::vector<std::shared_ptr<SXFormFieldSettings>> shareFormFieldsForType(int type);
    virtual void shareFormValidate(const std::shared_ptr<SXFormController>& form);
    virtual void shareFormSave(const std::shared_ptr<SXFormController>& form);
    virtual void shareFormCancel(const std::shared_ptr<SXFormController>& form);

    // --- Outcome ---
    void sendDidStart();
    void sendDidFinish();
    void sendDidFailWithError(const std::optional<platform::Error>& error);
    void sendDidFailWithErrorShouldRelogin(const std::optional<platform::Error>& error, bool shouldRelogin);
    void sendDidFailShouldRelogin();
    void sendDidCancel();
    void authDidFinish(bool success);
    virtual void tryPendingAction();

    // --- The sharer as its own delegate ---
    void sharerStartedSending(const std::shared_ptr<SXSharer>& sharer) override;
    void sharerFinishedSending(const std::shared_ptr<SXSharer>& sharer) override;
    void sharerFailedWithErrorShouldRelogin(const std::shared_ptr<SXSharer>& sharer,
                                            const std::optional<platform::Error>& error, bool shouldRelogin) override;
    void sharerCancelledSending(const std::shared_ptr<SXSharer>& sharer) override;
    void sharerAuthDidFinishSuccess(const std::shared_ptr<SXSharer>& sharer, bool success) override;

    bool shouldAutorotateToInterfaceOrientation(int) override { return true; }
    void viewDidDisappear(bool animated) override;

    // --- Fields ---
    std::shared_ptr<SXSharerDelegate> shareDelegate() const { return shareDelegate_.lock(); }
    void setShareDelegate(std::weak_ptr<SXSharerDelegate> delegate) { shareDelegate_ = std::move(delegate); }
    const std::shared_ptr<SXItem>& item() const { return item_; }
    void setItem(std::shared_ptr<SXItem> item) { item_ = std::move(item); }
    const std::shared_ptr<SXFormController>& pendingForm() const { return pendingForm_; }
    void setPendingForm(std::shared_ptr<SXFormController> form) { pendingForm_ = std::move(form); }
    const std::shared_ptr<SXRequest>& request() const { return request_; }
    void setRequest(std::shared_ptr<SXRequest> request) { request_ = std::move(request); }
    const std::optional<platform::Error>& lastError() const { return lastError_; }
    void setLastError(std::optional<platform::Error> error) { lastError_ = std::move(error); }
    bool quiet() const { return quiet_; }
    void setQuiet(bool quiet) { quiet_ = quiet; }
    int pendingAction() const { return pendingAction_; }
    void setPendingAction(int action) { pendingAction_ = action; }
    bool isRetainingSelf() const { return isRetainingSelf_; }

    std::string description() const override { return sharerId(); }

protected:
    std::shared_ptr<SXSharer> self();
    bool isOwnDelegate() const;
    // Drops the extra reference taken by share().
    void releaseSelf();
    using FormOperation = void (SXSharer::*)(const std::shared_ptr<SXFormController>&);
    // Makes this sharer the form's delegate with the three operations
    // (virtual, so a subclass's own versions run).
    void wireForm(const std::shared_ptr<SXFormController>& form, FormOperation validate, FormOperation save,
                  FormOperation cancel);
    // Shows the framework's alert (title, message, "Close"), unless quiet.
    void showAlert(const std::string& title, const std::string& message);

private:
    template <class T>
    static std::shared_ptr<T> start(const std::shared_ptr<SXItem>& item) {
        auto sharer = make<T>();
        sharer->setItem(item);
        sharer->share();
        return sharer;
    }
    void post(const char* name, const platform::Value& userInfo = {});

    std::weak_ptr<SXSharerDelegate> shareDelegate_;
    std::shared_ptr<SXItem> item_;
    std::shared_ptr<SXFormController> pendingForm_;
    std::shared_ptr<SXRequest> request_;
    std::optional<platform::Error> lastError_;
    bool quiet_ = false;
    int pendingAction_ = PendingActionNone;
    bool isRetainingSelf_ = false;
    std::shared_ptr<SXSharer> retainedSelf_;
};

}  // namespace clipora
