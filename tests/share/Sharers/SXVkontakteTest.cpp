#include "share/Sharers/SXVkontakte.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include <gtest/gtest.h>

#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/TextView.h"
#include "platform/uikit/WebView.h"
#include "share/Core/SXItem.h"
#include "share/Sharers/SXVkontakteForm.h"
#include "share/Sharers/SXVkontakteOAuthView.h"
#include "tests/share/ShareTest.h"
#include "tests/share/Sharers/ServiceStandIn.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/RawServer.h"
#include "tests/support/TestCA.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;
using Params = std::map<std::string, std::string>;
using platform::Text;

std::string png() {
    auto bitmap = std::make_shared<platform::Bitmap>(2, 2);
    bitmap->fill({200, 0, 0, 255});
    auto data = platform::Image::imageWithBitmap(bitmap)->pngRepresentation();
    return std::string(data.begin(), data.end());
}

// The wall service over TLS (the photo upload host is a plain scripted peer
// that checks the exact multipart bytes).
class WallStandIn {
public:
    struct Call {
        std::string path;
        Params params;
    };

    explicit WallStandIn(test::TestCA& ca)
        : uploads_([this](test::RawServer::Connection& c) {
              const std::string raw = c.readRequest();
              awaitLetGo();
              const auto split = raw.find("\r\n\r\n");
              const std::string head = raw.substr(0, split);
              const std::string body = split == std::string::npos ? "" : raw.substr(split + 4);
              std::string reply = "{\"error\":{\"error_msg\":\"bad upload\"}}";
              const auto marker = head.find("boundary=");
              if (marker != std::string::npos && Text::contains(head, "multipart/form-data;  boundary=") &&
                  Text::contains(head, "Content-Transfer-Encoding: 8bit")) {
                  const std::string boundary = head.substr(marker + 9, head.find("\r\n", marker) - marker - 9);
                  const std::string start =
                      "--" + boundary +
                      "\r\nContent-Disposition: form-data; name=\"photo\"; filename=\"photo.jpg\"\r\n"
                      "Content-Type: image/jpg\r\n\r\n\xFF\xD8";
                  const std::string end = "\r\n--" + boundary + "--\r\n";
                  if (Text::hasPrefix(body, start) && Text::hasSuffix(body, end)) {
                      std::lock_guard lock(mutex_);
                      calls_.push_back({"/upload", {}});
                      reply = uploadReply_;
                  }
              }
              c.send("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                     std::to_string(reply.size()) + "\r\n\r\n" + reply);
          }),
          server_(ca.server().certificateFile, ca.server().privateKeyFile) {
        auto& s = server_.server();
        s.set_keep_alive_max_count(1);
        auto page = [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><body>page</body></html>", "text/html");
        };
        s.Get("/oauth/authorize", page);
        s.Get("/blank.html", page);
        s.Get("/landing", page);
        s.Get("/captcha.png", [](const httplib::Request&, httplib::Response& r) { r.set_content(png(), "image/png"); });
        s.Get(R"(/method/(.*))", [this](const httplib::Request& r, httplib::Response& response) {
            awaitLetGo();
            Call call{r.path, {}};
            for (const auto& [name, value] : r.params) call.params[name] = value;
            std::string reply;
            {
                std::lock_guard lock(mutex_);
                calls_.push_back(call);
                reply = answer(call);
            }
            response.set_content(reply, "application/json");
        });
        server_.start();
    }

    std::string base() const {
        auto full = server_.url("/");
        return full.substr(0, full.size() - 1);
    }
    std::vector<Call> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }
    void setUploadReply(std::string reply) {
        std::lock_guard lock(mutex_);
        uploadReply_ = std::move(reply);
    }
    void setUploadServerReply(std::string reply) {
        std::lock_guard lock(mutex_);
        uploadServerReply_ = std::move(reply);
    }

    // From now on every call waits, unanswered, until the test lets it go
    // (or five seconds passed: then timedOut() tells).
    void holdCalls() {
        std::lock_guard lock(mutex_);
        holding_ = true;
    }
    int heldCalls() const {
        std::lock_guard lock(mutex_);
        return arrived_;
    }
    void letGo() {
        {
            std::lock_guard lock(mutex_);
            ++letGo_;
        }
        released_.notify_all();
    }
    bool timedOut() const {
        std::lock_guard lock(mutex_);
        return timedOut_;
    }

private:
    void awaitLetGo() {
        std::unique_lock lock(mutex_);
        if (!holding_) return;
        const int ticket = ++arrived_;
        if (!released_.wait_for(lock, std::chrono::seconds(5), [&] { return letGo_ >= ticket; })) timedOut_ = true;
    }

    std::string answer(const Call& call) {
        auto p = call.params;
        if (p["access_token"] != "T1" || p["owner_id"] != "42")
            return R"({"error":{"error_msg":"User authorization failed"}})";
        if (call.path == "/method/photos.getWallUploadServer") {
            return uploadServerReply_.empty() ? R"({"response":{"upload_url":")" + uploads_.url("/upload") + "\"}}"
                                              : uploadServerReply_;
        }
        if (call.path == "/method/photos.saveWallPhoto") {
            if (p["server"] == "77" && p["photo"] == "[{\"photo\":\"a b\",\"size\":\"s\"}]" && p["hash"] == "h&1") {
                return R"({"response":[{"id":"photo1_1"},{"id":"photo42_7"}]})";
            }
            return R"({"error":{"error_msg":"Invalid photo"}})";
        }
        if (call.path != "/method/wall.post") return R"({"error":{"error_msg":"Unknown method"}})";
        const std::string message = p["message"];
        if (message == "captcha" && p["captcha_key"].empty()) {
            return R"({"error":{"error_code":14,"error_msg":"Captcha needed","captcha_sid":"sid7","captcha_img":")" +
                   server_.url("/captcha.png") + "\"}}";
        }
        if (message == "refused") return R"({"error":{"error_msg":"Access to %@ posting denied"}})";
        if (message == "nothing") return "{}";
        return R"({"response":{"post_id":1}})";
    }

    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool holding_ = false;
    int arrived_ = 0;
    int letGo_ = 0;
    bool timedOut_ = false;
    std::vector<Call> calls_;
    std::string uploadReply_ = R"({"server":77,"photo":"[{\"photo\":\"a b\",\"size\":\"s\"}]","hash":"h&1"})";
    std::string uploadServerReply_;
    test::RawServer uploads_;
    test::LoopbackServer server_;
};

class SXVkontakteTest : public test::ShareTest {
protected:
    void SetUp() override {
        ShareTest::SetUp();
        useSystemClock();
        ca_.emplace(home());
        ca_->trust();
        service_.emplace(*ca_);
        test::StandInConfigurator::install(
            {{"vkontakteAppId", "app 5"}, {SXVkontakte::kServiceURLKey, service_->base()}});
    }
    void TearDown() override {
        service_.reset();
        ca_.reset();
        ShareTest::TearDown();
    }
    static std::shared_ptr<platform::Image> picture() {
        auto bitmap = std::make_shared<platform::Bitmap>(2, 2);
        bitmap->fill({10, 20, 30, 255});
        return platform::Image::imageWithBitmap(bitmap);
    }
    std::shared_ptr<SXVkontakteOAuthView> loginView() const {
        auto sharer = std::dynamic_pointer_cast<SXSharer>(presented());
        return sharer ? std::dynamic_pointer_cast<SXVkontakteOAuthView>(sharer->topViewController()) : nullptr;
    }
    bool waitForOutcome() {
        return pumpUntil([this] { return !notes_.events.empty() && notes_.events.back() != "start"; }, 10);
    }
    // A share through a signed-in sharer, ended.
    std::shared_ptr<SXVkontakte> send(std::shared_ptr<SXItem> item) {
        notes_.events.clear();
        service_->clear();
        auto sharer = SXSharer::make<SXVkontakte>();
        sharer->setItem(std::move(item));
        EXPECT_TRUE(sharer->tryToSend());
        EXPECT_TRUE(waitForOutcome());
        return sharer;
    }
    std::vector<std::string> paths() const {
        std::vector<std::string> list;
        for (const auto& call : service_->calls()) list.push_back(call.path);
        return list;
    }

    std::optional<test::TestCA> ca_;
    std::optional<WallStandIn> service_;
    test::NotificationRecorder notes_;
};

TEST_F(SXVkontakteTest, SignsInOnTheServicesPageAndKeepsTheTokenInTheKeychain) {
    const std::string link = "https://example.com/v?a=1&b=2";
    std::weak_ptr<SXVkontakte> weak = SXSharer::shareURL<SXVkontakte>(platform::URL::fromString(link));
    settle();
    auto login = loginView();
    ASSERT_TRUE(login);
    EXPECT_EQ(login->vkWebView()->request()->url().absoluteString(),
              service_->base() + "/oauth/authorize?client_id=app%205&scope=wall,photos&redirect_uri=" +
                  service_->base() + "/blank.html&display=touch&response_type=token");
    ASSERT_TRUE(pumpUntil([&] { return login->vkWebView()->request() && !login->vkWebView()->isLoading(); }));
    // The service sends the browser to its redirect page with the token.
    login->vkWebView()->loadRequest(platform::URLRequest(
        *platform::URL::fromString(service_->base() + "/blank.html#access_token=T1&expires_in=300&user_id=42")));
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(notes_.events, (Events{"auth yes", "start", "finish"}));
    EXPECT_EQ(SX::getAuthValueForKeyForSharer(SXVkontakte::kAccessTokenKey, "SXVkontakte"), "T1");
    EXPECT_EQ(SX::getAuthValueForKeyForSharer(SXVkontakte::kUserIdKey, "SXVkontakte"), "42");
    auto defaults = platform::UserDefaults::standardUserDefaults();
    // Only the expiry (a day, whatever the service said) is in the defaults.
    EXPECT_FALSE(defaults->objectForKey(SXVkontakte::kAccessTokenKey));
    EXPECT_FALSE(defaults->objectForKey(SXVkontakte::kUserIdKey));
    auto expiry = defaults->objectForKey(SXVkontakte::kExpiryDateKey)->date();
    EXPECT_NEAR(expiry->timeIntervalSinceNow(), SXVkontakte::kLoginLifetime, 60);
    // A link with its own query stays one value: message and attachment.
    auto calls = service_->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].params["message"], link);
    EXPECT_EQ(calls[0].params["attachment"], link);
    login.reset();
    settle();
    EXPECT_TRUE(weak.expired());
}

TEST_F(SXVkontakteTest, ALoginPageThatEndsWithoutASignInEndsTheAttempt) {
    struct Case {
        const char* name;
        std::string address;
        Events events;
    };
    const std::string base = service_->base();
    for (const auto& c :
         {Case{"no user id", base + "/blank.html#access_token=T1&expires_in=300", {"auth no"}},
          Case{"error page", base + "/blank.html#error=server_error", {"auth no"}},
          Case{"denied", SXVkontakteOAuthView::denialURL(), {"auth no"}},
          Case{"still on the service", base + "/blank.html#state=1", {}},
          // Another page whose address holds the markers is
          // no sign-in, not even on the service's own host.
          Case{"token in another page's query",
               base + "/landing?next=" + base + "/blank.html&access_token=EVIL&user_id=666",
               {}},
          Case{"token in another page's fragment", base + "/landing#access_token=EVIL&user_id=666", {}}}) {
        notes_.events.clear();
        std::weak_ptr<SXVkontakte> weak = SXSharer::shareText<SXVkontakte>("hello");
        settle();
        auto login = loginView();
        ASSERT_TRUE(login) << c.name;
        login->vkWebView()->loadRequest(platform::URLRequest(*platform::URL::fromString(c.address)));
        pumpUntil([&] { return !notes_.events.empty(); }, c.events.empty() ? 0.5 : 5);
        EXPECT_EQ(notes_.events, c.events) << c.name;
        EXPECT_FALSE(SX::getAuthValueForKeyForSharer(SXVkontakte::kAccessTokenKey, "SXVkontakte")) << c.name;
        if (c.events.empty()) {
            weak.lock()->sendDidCancel();
            SX::currentHelper()->hideCurrentViewControllerAnimated(false);
        }
        login.reset();
        settle();
        SX::reset();
        EXPECT_TRUE(weak.expired()) << c.name;
    }
}

TEST_F(SXVkontakteTest, SendsEveryShareTypeAndMapsTheReplies) {
    SXVkontakte::storeLogin("42", "T1");
    struct Case {
        const char* name;
        std::shared_ptr<SXItem> item;
        std::vector<std::string> paths;
        Events events;
        std::string error;
    };
    auto text = [](const char* t) { return SXItem::text(std::string(t)); };
    auto linkWithText = SXItem::URLTitle(platform::URL::fromString("https://example.com/x"), "T");
    linkWithText->setText(std::string("look & see"));
    const std::vector<std::string> photoPaths{"/method/photos.getWallUploadServer", "/upload",
                                              "/method/photos.saveWallPhoto", "/method/wall.post"};
    for (const auto& c : {
             Case{"text", text("hi + there"), {"/method/wall.post"}, {"start", "finish"}, ""},
             Case{"link", linkWithText, {"/method/wall.post"}, {"start", "finish"}, ""},
             Case{"image", SXItem::imageTitle(picture(), std::string("caption")), photoPaths, {"start", "finish"}, ""},
             Case{"refused", text("refused"), {"/method/wall.post"}, {"start", "fail"}, "Access to %@ posting denied"},
             Case{"no result",
                  text("nothing"),
                  {"/method/wall.post"},
                  {"start", "fail"},
                  "There was an error while sharing"},
         }) {
        auto sharer = send(c.item);
        EXPECT_EQ(paths(), c.paths) << c.name;
        EXPECT_EQ(notes_.events, c.events) << c.name;
        EXPECT_EQ(sharer->lastError() ? sharer->lastError()->localizedDescription() : "", c.error) << c.name;
        if (sharer->lastError()) {
            EXPECT_EQ(sharer->lastError()->domain(), "sharecore");
            EXPECT_EQ(sharer->lastError()->code(), 1);
        }
        if (auto alert = platform::AlertRegistry::topAlert()) alert->dismissWithClickedButtonIndexAnimated(0, false);
        auto calls = service_->calls();
        if (c.paths == photoPaths) {
            EXPECT_EQ(calls.back().params["message"], "caption");
            EXPECT_EQ(calls.back().params["attachment"], "photo42_7");
        } else if (c.item == linkWithText) {
            EXPECT_EQ(calls.back().params["message"], "look & see");
            EXPECT_EQ(calls.back().params["attachment"], "https://example.com/x");
        } else {
            EXPECT_EQ(calls.back().params["message"], *c.item->text());
        }
    }

    // The photo flow stops at the first step that lacks its values.
    service_->setUploadServerReply(R"({"response":{}})");
    send(SXItem::imageTitle(picture(), std::string("caption")));
    EXPECT_EQ(paths(), std::vector<std::string>{"/method/photos.getWallUploadServer"});
    EXPECT_EQ(notes_.events, (Events{"start", "fail"}));
    service_->setUploadServerReply("");
    service_->setUploadReply(R"({"server":77,"hash":"h&1"})");
    send(SXItem::imageTitle(picture(), std::string("caption")));
    EXPECT_EQ(paths(), (std::vector<std::string>{"/method/photos.getWallUploadServer", "/upload"}));
    EXPECT_EQ(notes_.events, (Events{"start", "fail"}));

    // No connection is no success.
    test::StandInConfigurator::install({{SXVkontakte::kServiceURLKey, "https://127.0.0.1:1"}});
    send(text("hi"));
    EXPECT_EQ(notes_.events, (Events{"start", "fail"}));
}

TEST_F(SXVkontakteTest, TheCallsRunWhileTheMainThreadGoesOn) {
    // Every call is held unanswered until the test, on the main thread and
    // outside any call, lets it go: a call made on the main thread would
    // wait there for an answer that cannot come until it gives up.
    SXVkontakte::storeLogin("42", "T1");
    struct Case {
        const char* name;
        std::shared_ptr<SXItem> item;
        int calls;
    } cases[] = {
        {"text", SXItem::text(std::string("hi")), 1},
        {"link", SXItem::URLTitle(platform::URL::fromString("https://example.com/x"), "T"), 1},
        {"image", SXItem::imageTitle(picture(), std::string("caption")), 4},
    };
    service_->holdCalls();
    int held = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        notes_.events.clear();
        auto sharer = SXSharer::make<SXVkontakte>();
        sharer->setItem(c.item);
        ASSERT_TRUE(sharer->tryToSend());
        for (int call = 1; call <= c.calls; ++call) {
            ASSERT_TRUE(pumpUntil([&] { return service_->heldCalls() == held + call; }));
            EXPECT_EQ(notes_.events, (Events{"start"}));
            service_->letGo();
        }
        held += c.calls;
        ASSERT_TRUE(waitForOutcome());
        EXPECT_EQ(notes_.events, (Events{"start", "finish"}));
        EXPECT_FALSE(service_->timedOut());
    }
}

TEST_F(SXVkontakteTest, ACaptchaDemandFailsAndOKRepeatsTheCallWithTheCode) {
    SXVkontakte::storeLogin("42", "T1");
    auto sharer = send(SXItem::text(std::string("captcha")));
    EXPECT_EQ(notes_.events, (Events{"start", "fail"}));
    EXPECT_EQ(sharer->lastError()->localizedDescription(), "Captcha needed");
    auto alert = sharer->captchaAlert();
    ASSERT_TRUE(alert && alert->isVisible());
    EXPECT_EQ(alert->title(), SXVkontakte::kCaptchaTitle);
    EXPECT_EQ(alert->buttonTitles(), (std::vector<std::string>{"Cancel", "OK"}));
    EXPECT_TRUE(sharer->isCaptcha());
    // The picture comes without holding the alert up.
    auto image = std::dynamic_pointer_cast<platform::ImageView>(alert->subviews().front());
    ASSERT_TRUE(pumpUntil([&] { return image->image() != nullptr; }));

    std::dynamic_pointer_cast<platform::TextField>(alert->viewWithTag(SXVkontakte::kCaptchaFieldTag))->setText("x y");
    service_->clear();
    ASSERT_TRUE(alert->pressButtonAtIndex(1));
    EXPECT_FALSE(sharer->isCaptcha());
    ASSERT_TRUE(pumpUntil([&] { return service_->calls().size() == 1; }));
    auto call = service_->calls().front();
    EXPECT_EQ(call.params["captcha_sid"], "sid7");
    EXPECT_EQ(call.params["captcha_key"], "x y");
    EXPECT_EQ(call.params["message"], "captcha");
    // The share had its one outcome already.
    pumpUntil([] { return false; }, 0.2);
    EXPECT_EQ(notes_.events, (Events{"start", "fail"}));
}

TEST_F(SXVkontakteTest, AnExpiredOrForgottenLoginAsksAgain) {
    SXVkontakte::storeLogin("42", "T1");
    EXPECT_TRUE(SXSharer::isServiceAuthorized<SXVkontakte>());
    platform::UserDefaults::standardUserDefaults()->setObject(
        platform::Value(platform::Date::now().addingTimeInterval(-1)), SXVkontakte::kExpiryDateKey);
    EXPECT_FALSE(SXSharer::isServiceAuthorized<SXVkontakte>());
    SXVkontakte::storeLogin("42", "T1");
    SX::logoutOfService("SXVkontakte");
    EXPECT_FALSE(SXSharer::isServiceAuthorized<SXVkontakte>());
    EXPECT_FALSE(SX::getAuthValueForKeyForSharer(SXVkontakte::kAccessTokenKey, "SXVkontakte"));
    EXPECT_FALSE(platform::UserDefaults::standardUserDefaults()->objectForKey(SXVkontakte::kExpiryDateKey));

    EXPECT_EQ(SXVkontakteOAuthView::stringBetweenStringAndStringInnerString("a=", "&", "x#a=1&b=2"), "1");
    EXPECT_EQ(SXVkontakteOAuthView::stringBetweenStringAndStringInnerString("a=", "&", "x#a=12"), "12");
    EXPECT_FALSE(SXVkontakteOAuthView::stringBetweenStringAndStringInnerString("a=", "&", "x#a="));
    EXPECT_FALSE(SXVkontakteOAuthView::stringBetweenStringAndStringInnerString("c=", "&", "x#a=1"));
}

TEST_F(SXVkontakteTest, TextsAreComposedOnItsOwnScreen) {
    SXVkontakte::storeLogin("42", "T1");
    std::weak_ptr<SXVkontakte> weak = SXSharer::shareText<SXVkontakte>("draft");
    settle();
    auto sharer = std::dynamic_pointer_cast<SXVkontakte>(presented());
    ASSERT_TRUE(sharer);
    auto form = std::dynamic_pointer_cast<SXVkontakteForm>(sharer->topViewController());
    ASSERT_TRUE(form);
    EXPECT_EQ(form->textView()->text(), "draft");
    EXPECT_EQ(form->navigationItem()->rightBarButtonItem()->title(), "Send to Vkontakte");
    // The keyboard's height is that of its bounds, as they are.
    auto keyboard = [&](float height) {
        platform::NotificationCenter::defaultCenter().post(
            platform::Keyboard::kWillShowNotification, platform::Value(),
            platform::Value::makeDictionary({{platform::Keyboard::kBoundsUserInfoKey,
                                              platform::GeometryValue::valueWithRect({0, 0, 320, height})}}));
        return form->textView()->frame().size.height;
    };
    EXPECT_FLOAT_EQ(keyboard(162) - keyboard(216), 54);

    form->textView()->setText("");
    form->navigationItem()->rightBarButtonItem()->tap();
    EXPECT_EQ(topAlertText(), "Message is empty: You must enter a message in order to post.");
    platform::AlertRegistry::reset();
    form->textView()->setText("composed");
    form->navigationItem()->rightBarButtonItem()->tap();
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(notes_.events, (Events{"start", "finish"}));
    EXPECT_EQ(service_->calls().back().params["message"], "composed");
    form.reset();
    sharer.reset();
    settle();
    EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace clipora
