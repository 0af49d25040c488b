#pragma once

#include "share/Core/SXMultipartForm.h"
#include "share/Sharers/SXPlainRequestSharer.h"

namespace clipora {

// Posts a link, a text or a photo to the blog service with the user's
// e-mail and password: links and texts as a form ("/api/write"), photos as
// a multipart body to the same address.
class SXTumblr : public SXPlainRequestSharer {
public:
    static constexpr const char* kBaseURLKey = "tumblrBaseURL";
    static constexpr const char* kDefaultBaseURL = "https://www.tumblr.com";
    static constexpr const char* kBoundary = "0xKhTmLbOuNdArY";

    std::string sharerTitle() const override { return "Tumblr"; }
    std::string sharerId() const override { return "SXTumblr"; }
    bool canShareURL() const override { return true; }
    bool canShareText() const override { return true; }
    bool canShareImage() const override { return true; }
    bool shouldAutoShare() const override { return false; }
    std::vector<std::shared_ptr<SXFormFieldSettings>> authorizationFormFields() const override;
    std::optional<std::string> authorizationFormCaption() const override;

    void authorizationFormValidate(const std::shared_ptr<SXFormController>& form) override;
    void authFinished(const std::shared_ptr<SXRequest>& request);
    std::vector<std::shared_ptr<SXFormFieldSettings>> shareFormFieldsForType(int type) override;
    bool send() override;
    // The outcome of a post (form or photo) by its HTTP status.
    void sendFinished(const std::shared_ptr<SXRequest>& request);

    // The form body of a link or text post.
    std::string formBody() const;
    // The multipart form of a photo post with the JPEG bytes.
    SXMultipartForm photoForm(const platform::Data& jpeg) const;
};

}  // namespace clipora
