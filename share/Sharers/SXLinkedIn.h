#pragma once

#include "share/Core/Helpers/OAuth/SXOAuthSharer.h"
#include "share/UI/SXFormControllerLargeTextFieldDelegate.h"

namespace clipora {

// Shares a link (with its title as the comment) or a text as a status share
// on the professional network, logged in with OAuth 1.0a. The item's custom
// value "visibility.code" chooses who sees it ("anyone" without one).
class SXLinkedIn : public SXOAuthSharer, public SXFormControllerLargeTextFieldDelegate {
public:
    static constexpr const char* kAPIBaseURLKey = "linkedInAPIBaseURL";
    static constexpr const char* kDefaultAPIBaseURL = "https://api.linkedin.com";
    static constexpr const char* kSiteBaseURLKey = "linkedInSiteBaseURL";
    static constexpr const char* kDefaultSiteBaseURL = "https://www.linkedin.com";

    void init() override;
    std::string sharerTitle() const override { return "LinkedIn"; }
    std::string sharerId() const override { return "SXLinkedIn"; }
    bool canShareURL() const override { return true; }
    bool canShareText() const override { return true; }
    bool canAutoShare() const override { return false; }

    // The access token request is an SXLinkedInOAMutableURLRequest with the
    // callback's address; the verifier of the authorization joins its OAuth
    // parameters (signed once, like every other).
    std::shared_ptr<OAMutableURLRequest> tokenAccessRequest(const platform::URL& url,
                                                            const std::optional<OAToken>& token) const override;
    void tokenAccessModifyRequest(const std::shared_ptr<OAMutableURLRequest>& request) override;

    // The compose screen (SXLinkedInTextForm) for the comment: a link's
    // title or the text.
    void show() override;
    void showLinkedInTextForm();
    void sendForm(const std::shared_ptr<SXFormControllerLargeTextField>& form) override;
    void sendDidCancel() override { SXSharer::sendDidCancel(); }

    bool validateItem() override;
    bool send() override;
    void sendTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data);
    void sendTicketDidFailWithError(const OAServiceTicket& ticket, const std::optional<platform::Error>& error);

    // The share's XML body for the item.
    std::string shareBody() const;
};

}  // namespace clipora
