#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "share/Core/Helpers/OAuth/SXOAuthSharer.h"
#include "share/Core/SXConfigurationKeys.h"
#include "share/UI/SXFormControllerLargeTextFieldDelegate.h"

namespace clipora {

class OAMutableURLRequest;

// The micro-blog service's sharer. Where the platform has its tweet sheet
// the share goes there (SXiOS5Twitter) and this sharer's own login is
// forgotten; otherwise its own route: the link is shortened, the user logs
// in (OAuth web page, or user name and password with xAuth), edits the
// status in SXTwitterForm, and the status, picture or account request is
// sent signed. Custom item values: "status" (the text to post), "followMe"
// ("1": follow the configured account after an xAuth login),
// "profile_update" (present: the picture becomes the profile picture).
//
// Hosts are configuration keys (host and optional port, always reached
// over https): "twitterAPIHost", "twitterWebDomain", "bitLyHost",
// "twitterImageHost"; without them the defaults below. Main thread only.
class SXTwitter : public SXOAuthSharer, public SXFormControllerLargeTextFieldDelegate {
public:
    static constexpr const char* kUserInfoKey = "kSXTwitterUserInfo";
    static constexpr const char* kErrorDomain = "Twitter";
    static constexpr int kErrorCode = 2;
    // Longest status, in UTF-16 units.
    static constexpr std::size_t kMaxStatusLength = 140;
    static constexpr const char* kDefaultAPIHost = SXConfigurationKeys::kDefaultMicroBlogAPIHost;
    static constexpr const char* kDefaultWebDomain = "microblog.test";
    static constexpr const char* kDefaultShortenerHost = "api-ssl.shortener.test";
    static constexpr const char* kDefaultImageHost = "upload.imagehost.test";
    static constexpr const char* kMultipartBoundary = "0xKhTmLbOuNdArY";
    // Pictures are sent below this size when the JPEG quality allows.
    static constexpr std::size_t kMaxPictureBytes = 700000;

    // The application's entry: a link with its title, shared by a new
    // sharer that keeps itself alive until its outcome.
    static std::shared_ptr<SXTwitter> shareURLTitle(const std::optional<platform::URL>& url,
                                                    std::optional<std::string> title) {
        return SXSharer::shareURLTitle<SXTwitter>(url, std::move(title));
    }

    // --- Class answers ---
    std::string sharerTitle() const override { return "Twitter"; }
    std::string sharerId() const override { return "SXTwitter"; }
    bool canShareURL() const override { return true; }
    bool canShareText() const override { return true; }
    bool canShareImage() const override { return true; }
    bool canGetUserInfo() const override { return true; }
    bool shouldAutoShare() const override { return false; }
    std::vector<std::shared_ptr<SXFormFieldSettings>> authorizationFormFields() const override;
    std::optional<std::string> authorizationFormCaption() const override;
    // Forgets the stored account details and the stored token.
    void logout() override;
    static bool twitterFrameworkAvailable();

    // The configured hosts.
    static std::string apiHost();
    static std::string webDomain();
    static std::string shortenerHost();
    static std::string imageHost();
    // "https://<API host><path>".
    static platform::URL apiURL(const std::string& path);

    // --- Life cycle ---
    void init() override;
    void share() override;
    bool prepareItem();
    bool isAuthorized() override;
    void promptAuthorization() override;
    void tryPendingAction() override;
    void show() override;
    void showTwitterForm();
    bool validateItem() override;
    bool validateItemAfterUserEdit();
    bool send() override;

    // --- xAuth login ---
    void authorizationFormValidate(const std::shared_ptr<SXFormController>& form) override;
    void tokenAccessModifyRequest(const std::shared_ptr<OAMutableURLRequest>& request) override;
    void tokenAccessTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data) override;

    // --- The compose form ---
    void sendForm(const std::shared_ptr<SXFormControllerLargeTextField>& form) override;
    void sendDidCancel() override { SXSharer::sendDidCancel(); }

    // --- Link shortening ---
    bool shortenURL();
    void shortenURLFinished(const std::shared_ptr<SXRequest>& request);

    // --- Service calls ---
    void sendStatus();
    void sendStatusTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data);
    void sendUserInfo();
    void sendUserInfoDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data);
    void sendImage();
    void sendImageTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data);
    // Ticket failures of the three calls: the transport's error.
    void sendTicketDidFailWithError(const OAServiceTicket& ticket, const std::optional<platform::Error>& error);
    void followMe();
    // A refused call: relogin for a refused signature, else the service's
    // "error" text as an error of domain "Twitter", code 2.
    void handleUnsuccessfulTicket(const platform::Data& data);

    // Every null in the account details, at any depth, becomes the empty
    // string, so that the user defaults can keep them.
    static void convertNSNullsToEmptyStrings(platform::Value& details);
    // The picture as JPEG: quality 0.9, lowered by 0.1 while the bytes are
    // more than `maxBytes` and the quality above 0.1.
    static platform::Data jpegForUpload(const platform::Image& image, std::size_t maxBytes = kMaxPictureBytes);
    // The text of an upload reply between "<url>" and "</url>" (any case).
    static std::optional<std::string> linkInUploadReply(const std::string& reply);

    bool xAuth() const { return xAuth_; }
    void setXAuth(bool xAuth) { xAuth_ = xAuth; }

private:
    using Finished = void (SXTwitter::*)(const OAServiceTicket&, const platform::Data&);
    // Sends the request signed; the outcome goes to `finished` or to
    // sendTicketDidFailWithError (none: the outcome is ignored).
    void fetch(const std::shared_ptr<OAMutableURLRequest>& request, Finished finished);
    std::optional<std::string> status() const;
    void setStatus(const std::string& status);
    // "<text or title> <link>".
    std::string statusWithLink(const std::string& link) const;

    bool xAuth_ = false;
    // Held while the shortener works (the share goes on when it answers).
    std::shared_ptr<SXSharer> shortening_;
};

}  // namespace clipora
