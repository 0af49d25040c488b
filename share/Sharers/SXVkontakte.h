#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/AlertViewDelegate.h"
#include "share/Core/SXSharer.h"
#include "share/UI/SXFormControllerLargeTextFieldDelegate.h"

namespace clipora {

// Posts a text, a text with a link, or a picture with a caption to the
// user's wall on the social network Vkontakte. Signs in with the service's
// own page (SXVkontakteOAuthView); the token and user id are kept in the
// keychain, the expiry in the defaults. The calls of one share run one
// after another on a worker thread; the outcome, the captcha alert and
// every screen stay on the main thread.
class SXVkontakte : public SXSharer, public platform::AlertViewDelegate, public SXFormControllerLargeTextFieldDelegate {
public:
    static constexpr const char* kUserIdKey = "kSXVkontakteUserId";
    static constexpr const char* kAccessTokenKey = "kSXVkontakteAccessToken";
    static constexpr const char* kExpiryDateKey = "kSXVkontakteExpiryDate";
    static constexpr const char* kCaptchaImageKey = "captcha_img";
    static constexpr const char* kCaptchaIdKey = "captcha_sid";
    static constexpr const char* kCaptchaUserKey = "captcha_user";
    static constexpr const char* kCaptchaNeeded = "Captcha needed";
    static constexpr const char* kCaptchaTitle = "Введите код:\n\n\n\n\n";
    static constexpr int kCaptchaFieldTag = 33;
    static constexpr double kLoginLifetime = 86400;
    static constexpr double kRequestTimeout = 60;
    // Configuration key of the service's address (scheme and host).
    static constexpr const char* kServiceURLKey = "vkontakteServiceURL";
    static constexpr const char* kDefaultServiceURL = "https://api.vk.com";

    std::string sharerTitle() const override { return "Vkontakte"; }
    std::string sharerId() const override { return "SXVkontakte"; }
    bool canShareText() const override { return true; }
    bool canShareImage() const override { return true; }
    bool canShareURL() const override { return true; }
    bool canShareOffline() const override { return false; }
    bool canGetUserInfo() const override { return false; }
    bool shouldAutoShare() const override { return false; }

    bool isAuthorized() override;
    void promptAuthorization() override;
    // Told by the login page: stored, so the share starts again.
    void authComplete();
    // Told by the login page: it closed without a sign-in.
    void authFailed();
    static void flushAccessToken();
    void logout() override;
    // Stores a sign-in: token and user id in the keychain, expiry (now + one
    // day) in the defaults.
    static void storeLogin(const std::string& userId, const std::string& accessToken);

    void show() override;
    void showVkontakteForm();
    // The composed text becomes the item's; then it is sent.
    void sendFormText(const std::string& text);
    void sendForm(const std::shared_ptr<SXFormControllerLargeTextField>& form) override;
    void sendDidCancel() override { SXSharer::sendDidCancel(); }
    bool send() override;

    // The service's address ("https://host").
    static std::string serviceURL();
    // Percent-escapes every character but A-Z a-z 0-9 "-._~"; none stays none.
    static std::optional<std::string> URLEncodedString(const std::optional<std::string>& text);

    // --- Calls (any thread; they block) ---
    // GET of the address, the captcha answer appended when asked; the decoded
    // reply, none without one. A captcha demand is handed to the main thread.
    platform::Value sendRequestWithCaptcha(const std::string& url, bool withCaptcha);
    platform::Value sendPOSTRequestWithImageData(const std::string& uploadURL, const platform::Data& jpeg);

    void getCaptcha();
    void alertViewClickedButtonAtIndex(const std::shared_ptr<platform::AlertView>& alert, int index) override;

    bool isCaptcha() const { return isCaptcha_; }
    const std::optional<std::string>& accessUserId() const { return accessUserId_; }
    const std::optional<std::string>& accessToken() const { return accessToken_; }
    const std::optional<platform::Date>& expirationDate() const { return expirationDate_; }
    const std::shared_ptr<platform::AlertView>& captchaAlert() const { return captchaAlert_; }

private:
    struct Captcha {
        std::string image;
        std::string id;
        std::string request;
    };
    // What the worker found; told on the main thread.
    struct Outcome {
        bool success = false;
        std::optional<std::string> serverMessage;
        std::optional<Captcha> captcha;
    };
    platform::Value fetch(const std::string& url, std::optional<platform::Data> body,
                          const std::optional<std::string>& contentType, std::optional<Captcha>* captcha);
    // Runs the work on a worker thread and tells its outcome here.
    void runOnWorker(std::function<Outcome(SXVkontakte&)> work);
    void report(const Outcome& outcome);
    static Outcome postResult(const platform::Value& reply, std::optional<Captcha> captcha);
    // A step of the photo flow that lacks the values the next one needs.
    static Outcome stepFailed(const platform::Value& reply, std::optional<Captcha> captcha);
    Outcome sendText(const std::string& base, const std::string& userId, const std::string& token,
                     const std::string& text);
    Outcome sendTextAndLink(const std::string& base, const std::string& userId, const std::string& token,
                            const std::optional<std::string>& text, const std::string& link);
    Outcome sendImageAction(const std::string& base, const std::string& userId, const std::string& token,
                            const std::optional<std::string>& title, const platform::Data& jpeg);
    void loadCaptchaImage(const std::string& url);
    // Tinted, as the sharer's only screen, shown through the hub.
    void present(const std::shared_ptr<platform::ViewController>& screen);
    void demandCaptcha(const Captcha& captcha);
    // The address with the stored captcha id and the user's code appended.
    static std::string captchaAnswered(const std::string& url);

    bool isCaptcha_ = false;
    std::optional<std::string> accessUserId_;
    std::optional<std::string> accessToken_;
    std::optional<platform::Date> expirationDate_;
    // The refused request (it carries the token, so it stays in memory).
    std::optional<std::string> captchaRequest_;
    std::shared_ptr<platform::AlertView> captchaAlert_;
};

}  // namespace clipora
