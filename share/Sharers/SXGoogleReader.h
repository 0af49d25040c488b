#pragma once

#include <map>

#include "share/Sharers/SXPlainRequestSharer.h"

namespace clipora {

// Shares a link with a note on the feed reader, optionally in public. The
// account service's client login gives a session (kept in memory for the
// sharer's life); every later request carries it as cookies and as a
// "GoogleLogin" authorization, and each post first fetches a one-time edit
// token.
class SXGoogleReader : public SXPlainRequestSharer {
public:
    static constexpr const char* kAccountsURLKey = "googleReaderAccountsURL";
    static constexpr const char* kReaderURLKey = "googleReaderBaseURL";
    static constexpr const char* kDefaultBaseURL = "https://www.google.com";

    std::string sharerTitle() const override { return "Google Reader"; }
    std::string sharerId() const override { return "SXGoogleReader"; }
    bool canShareURL() const override { return true; }
    std::vector<std::shared_ptr<SXFormFieldSettings>> authorizationFormFields() const override;
    std::optional<std::string> authorizationFormCaption() const override;

    void authorizationFormValidate(const std::shared_ptr<SXFormController>& form) override;
    void getSessionPassword(const std::string& email, const std::string& password);
    void authFinished(const std::shared_ptr<SXRequest>& request);
    // The session as cookies and the authorization header.
    platform::Value::Dictionary signRequest() const;

    std::vector<std::shared_ptr<SXFormFieldSettings>> shareFormFieldsForType(int type) override;
    void shareFormSave(const std::shared_ptr<SXFormController>& form) override;
    bool send() override;
    void tokenFinished(const std::shared_ptr<SXRequest>& request);
    void sendWithToken(const std::string& token);
    void sendFinished(const std::shared_ptr<SXRequest>& request);

    const std::map<std::string, std::string>& session() const { return session_; }
    bool sendAfterLogin() const { return sendAfterLogin_; }

private:
    std::map<std::string, std::string> session_;
    bool sendAfterLogin_ = false;
};

}  // namespace clipora
