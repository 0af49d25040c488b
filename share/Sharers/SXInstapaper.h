#pragma once

#include "share/Sharers/SXPlainRequestSharer.h"

namespace clipora {

// Saves a link to the read-later service with the user's name and password
// (kept in the keychain): "/api/authenticate" checks the login, "/api/add"
// saves the link. No share form.
class SXInstapaper : public SXPlainRequestSharer {
public:
    static constexpr const char* kBaseURLKey = "instapaperBaseURL";
    static constexpr const char* kDefaultBaseURL = "https://www.instapaper.com";

    std::string sharerTitle() const override { return "Instapaper"; }
    std::string sharerId() const override { return "SXInstapaper"; }
    bool canShareURL() const override { return true; }
    std::optional<std::string> authorizationFormCaption() const override;

    void authorizationFormValidate(const std::shared_ptr<SXFormController>& form) override;
    void authFinished(const std::shared_ptr<SXRequest>& request);
    std::vector<std::shared_ptr<SXFormFieldSettings>> shareFormFieldsForType(int) override { return {}; }
    bool send() override;
    void sendFinished(const std::shared_ptr<SXRequest>& request);
};

}  // namespace clipora
