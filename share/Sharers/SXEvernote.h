#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "share/Sharers/SXPlainRequestSharer.h"

namespace clipora {

class EDAMAuthenticationResult;
class EDAMNote;
class EDAMNoteStoreClient;
class EDAMNotebook;
class EDAMResource;

// Saves the item as a note in the note service: a sign-in with user name
// and password at the user store (after a protocol version check), then one
// note, with the item's picture or file as resources, created in the
// default notebook through the note store. The network work of each
// sign-in check and each send runs on a thread of its own; results, alerts
// and outcomes come back to the main thread. Every send signs in anew.
class SXEvernote : public SXPlainRequestSharer {
public:
    using Record = std::map<std::string, std::string>;

    // What a worker needs, read on the main thread before it starts.
    struct Settings {
        std::string userStoreURL, noteStoreURLBase, consumerKey, consumerSecret;
        static Settings current();
    };

    static constexpr const char* kClientName = "ShareCore EDMA";
    static constexpr const char* kDTD = "http://xml.evernote.com/pub/enml2.dtd";
    // A referenced picture is loaded only over http(s), within this time and
    // up to the service's resource size.
    static constexpr double kSourceTimeout = 30;

    std::string sharerTitle() const override { return "Evernote"; }
    std::string sharerId() const override { return "SXEvernote"; }
    bool canShareURL() const override { return true; }
    bool canShareImage() const override { return true; }
    bool canShareText() const override { return true; }
    bool canShareFile() const override { return true; }
    bool requiresAuthentication() const override { return true; }
    std::optional<std::string> authorizationFormCaption() const override;

    // --- Sign-in ---
    void authorizationFormValidate(const std::shared_ptr<SXFormController>& form) override;
    // Worker: checks the login, then reports on the main thread.
    void _authorizationFormValidate(const std::string& username, const std::string& password, const Settings& settings);
    // Worker: the sign-in result, or none when the service refused this
    // client's protocol version (the alert is posted to the main thread).
    // Service and transport failures are thrown.
    static std::shared_ptr<EDAMAuthenticationResult> getAuthenticationResultForUsernamePassword(
        const std::string& username, const std::string& password, const Settings& settings);
    void _authFinished(const Record& result);
    void authFinished(bool success);

    // --- Sending ---
    std::vector<std::shared_ptr<SXFormFieldSettings>> shareFormFieldsForType(int type) override;
    void shareFormValidate(const std::shared_ptr<SXFormController>& form) override;
    bool send() override;
    // Worker: signs in, builds and creates the note (`jpeg`: the item's
    // picture, encoded on the main thread); every failure becomes
    // the result record, never an exception leaving the thread.
    Record _send(const std::shared_ptr<SXItem>& item, const platform::Data& jpeg,
                 const std::optional<std::string>& username, const std::optional<std::string>& password,
                 const Settings& settings);
    void _sendFinished(const Record& result);
    void sendFinished(bool success);

    // --- Note building (any thread) ---
    static std::shared_ptr<EDAMNotebook> defaultNoteBookFromNoteStoreAuthToken(EDAMNoteStoreClient& noteStore,
                                                                               const std::string& token);
    static std::string enMediaTagWithResourceWidthHeight(const EDAMResource& resource, float width, float height);
    // The note for the item (a ready-made one completed, or a new one),
    // without notebook, creation time and referenced pictures.
    static std::shared_ptr<EDAMNote> noteForItem(const SXItem& item, const platform::Data& jpeg);
    // Loads the referenced pictures of resources without data (http and
    // https only, within kSourceTimeout and up to `cap` bytes, by default
    // the service's resource size) and puts them into the content.
    static void fetchReferencedImages(EDAMNote& note, std::size_t cap = 0);
};

}  // namespace clipora
