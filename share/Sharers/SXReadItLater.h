#pragma once

#include "share/Sharers/SXPlainRequestSharer.h"

namespace clipora {

// Saves a link with its title and tags to the read-later list: the API key
// of the configuration ("readItLaterKey") and the user's name and password
// go with every call; the service explains refusals in "X-Error".
class SXReadItLater : public SXPlainRequestSharer {
public:
    static constexpr const char* kBaseURLKey = "readItLaterBaseURL";
    static constexpr const char* kDefaultBaseURL = "https://readitlaterlist.com";

    std::string sharerTitle() const override { return "Read It Later"; }
    std::string sharerId() const override { return "SXReadItLater"; }
    bool canShareURL() const override { return true; }
    bool shouldAutoShare() const override { return true; }
    std::optional<std::string> authorizationFormCaption() const override;

    void authorizationFormValidate(const std::shared_ptr<SXFormController>& form) override;
    void authFinished(const std::shared_ptr<SXRequest>& request);
    std::vector<std::shared_ptr<SXFormFieldSettings>> shareFormFieldsForType(int type) override;
    bool send() override;
    void sendFinished(const std::shared_ptr<SXRequest>& request);

private:
    std::string credentialsBody(const std::string& user, const std::string& password) const;
};

}  // namespace clipora
