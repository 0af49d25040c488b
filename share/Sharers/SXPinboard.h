#pragma once

#include "share/Sharers/SXPlainRequestSharer.h"

namespace clipora {

// Bookmarks a link with title, tags, notes and a "Shared" switch. The user
// name and password travel in an "Authorization: Basic" header, never in
// the URL.
class SXPinboard : public SXPlainRequestSharer {
public:
    static constexpr const char* kBaseURLKey = "pinboardBaseURL";
    static constexpr const char* kDefaultBaseURL = "https://api.pinboard.in";

    std::string sharerTitle() const override { return "Pinboard"; }
    std::string sharerId() const override { return "SXPinboard"; }
    bool canShareURL() const override { return true; }
    std::optional<std::string> authorizationFormCaption() const override;

    void authorizationFormValidate(const std::shared_ptr<SXFormController>& form) override;
    void authFinished(const std::shared_ptr<SXRequest>& request);
    std::vector<std::shared_ptr<SXFormFieldSettings>> shareFormFieldsForType(int type) override;
    bool send() override;
    void sendFinished(const std::shared_ptr<SXRequest>& request);
    // The shared 401 check of a send: false (after asking for a new login)
    // when the service refused the credentials.
    bool handleResponse(const std::shared_ptr<SXRequest>& request);
};

}  // namespace clipora
