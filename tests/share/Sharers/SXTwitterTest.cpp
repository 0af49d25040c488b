#include "share/Sharers/SXTwitter.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <random>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <gtest/gtest.h>

#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/TweetComposeViewController.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/WebView.h"
#include "share/Core/LegacySXConfigurator.h"
#include "share/Core/SXSharerRegistry.h"
#include "share/Sharers/SXTwitterForm.h"
#include "share/Sharers/SXiOS5Twitter.h"
#include "share/UI/SXFormController.h"
#include "share/UI/SXFormFieldCell.h"
#include "share/UI/SXOAuthView.h"
#include "tests/share/ShareTest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestCA.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;
using platform::Text;
using platform::TweetComposeViewController;
using platform::Value;
using Params = std::multimap<std::string, std::string>;

// --- An independent OAuth 1.0 check (RFC 5849), as the service does it ---

std::string rfcEncode(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string formDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

Params parseForm(const std::string& text) {
    Params params;
    for (const auto& piece : Text::split(text, "&")) {
        if (piece.empty()) continue;
        auto pair = Text::splitAtFirst(piece, "=");
        if (pair)
            params.emplace(formDecode(pair->first), formDecode(pair->second));
        else
            params.emplace(formDecode(piece), "");
    }
    return params;
}

// The parameters of an "Authorization: OAuth ..." header as the server
// hands it over (the loopback server percent-decodes header values).
Params authorizationParams(const std::string& header) {
    Params params;
    if (!Text::hasPrefix(header, "OAuth ")) return params;
    for (const auto& piece : Text::split(header.substr(6), ", ")) {
        auto pair = Text::splitAtFirst(piece, "=");
        if (!pair || pair->second.size() < 2) continue;
        params.emplace(pair->first, pair->second.substr(1, pair->second.size() - 2));
    }
    return params;
}

// Whether the request carries a valid HMAC-SHA1 signature by the consumer
// and token secrets.
bool signatureHolds(const std::string& method, const std::string& baseURL, const Params& requestParams,
                    const std::string& header, const std::string& consumerSecret, const std::string& tokenSecret) {
    auto oauth = authorizationParams(header);
    auto signature = oauth.find("oauth_signature");
    if (signature == oauth.end() || oauth.find("oauth_signature_method")->second != "HMAC-SHA1") return false;
    std::vector<std::pair<std::string, std::string>> all;
    for (const auto& [k, v] : oauth)
        if (k != "oauth_signature" && k != "realm") all.emplace_back(rfcEncode(k), rfcEncode(v));
    for (const auto& [k, v] : requestParams) all.emplace_back(rfcEncode(k), rfcEncode(v));
    std::sort(all.begin(), all.end());
    std::string joined;
    for (const auto& [k, v] : all) joined += (joined.empty() ? "" : "&") + k + "=" + v;
    const std::string base = method + "&" + rfcEncode(baseURL) + "&" + rfcEncode(joined);
    const std::string key = rfcEncode(consumerSecret) + "&" + rfcEncode(tokenSecret);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(base.data()),
         base.size(), digest, &length);
    unsigned char encoded[64];
    const int n = EVP_EncodeBlock(encoded, digest, static_cast<int>(length));
    return signature->second == std::string(reinterpret_cast<char*>(encoded), static_cast<std::size_t>(n));
}

// --- The fixture: a stand-in of the service, its shortener and image host
// on one TLS loopback server ---

class TwitterConfigurator : public LegacySXConfigurator {
public:
    Value::Dictionary values;
    bool respondsToSelector(std::string_view name) const override {
        return values.contains(name) || LegacySXConfigurator::respondsToSelector(name);
    }
    std::optional<Value> performSelector(std::string_view name) const override {
        if (auto it = values.find(name); it != values.end()) return it->second;
        return LegacySXConfigurator::performSelector(name);
    }
};

struct Seen {
    std::string method;
    std::string path;
    Params params;
    std::map<std::string, std::string> headers;
    std::string body;
    std::map<std::string, std::string> parts;
    bool signedWithToken = false;
};

struct Reply {
    int status = 200;
    std::string body;
    int times = -1;  // how many requests get this reply (-1: all)
};

class SXTwitterTest : public test::ShareTest {
protected:
    void SetUp() override {
        ShareTest::SetUp();
        ca_.emplace(home());
        ca_->trust();
        server_.emplace(ca_->server().certificateFile, ca_->server().privateKeyFile);
        auto& s = server_->server();
        s.set_keep_alive_max_count(1);
        auto record = [this](const httplib::Request& request, bool form, const std::string& body) {
            Seen seen;
            seen.method = request.method;
            seen.path = request.path;
            for (const auto& [k, v] : request.params) seen.params.emplace(k, v);
            if (form) seen.params = parseForm(request.body);
            for (const char* h :
                 {"Authorization", "X-Auth-Service-Provider", "X-Verify-Credentials-Authorization", "Content-Type"})
                seen.headers[h] = request.get_header_value(h);
            seen.body = body;
            // A multipart body as the service reads it: part name, file
            // name, type and content.
            for (const auto& [name, part] : request.files)
                seen.parts[name] = part.filename + "|" + part.content_type + "|" + part.content;
            seen.signedWithToken = signatureHolds(request.method, base_ + request.path, seen.params,
                                                  seen.headers["Authorization"], "cs", "as");
            std::lock_guard lock(mutex_);
            seen_.push_back(seen);
            auto it = replies_.find(request.path);
            if (it == replies_.end()) return Reply{};
            Reply reply = it->second;
            if (it->second.times > 0 && --it->second.times == 0) replies_.erase(it);
            return reply;
        };
        auto answer = [record](bool form, std::string fallback) {
            return [record, form, fallback](const httplib::Request& request, httplib::Response& response) {
                auto reply = record(request, form, request.body);
                response.status = reply.status;
                response.set_content(reply.body.empty() ? fallback : reply.body, "text/plain");
            };
        };
        s.Get("/v3/shorten", answer(false, "https://sho.rt/abc\n"));
        s.Post("/oauth/request_token",
               answer(true, "oauth_token=rt&oauth_token_secret=rs&oauth_callback_confirmed=true"));
        s.Get("/oauth/authorize", [](const httplib::Request& request, httplib::Response& response) {
            response.status = 302;
            response.set_header("Location", "http://callback.example/done?oauth_token=" +
                                                request.get_param_value("oauth_token") + "&oauth_verifier=v");
        });
        s.Post("/oauth/access_token", answer(true, "oauth_token=at&oauth_token_secret=as"));
        // The page the service shows instead of redirecting when the
        // application is registered without a callback.
        s.Get("/oauth/pin", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><body><code id=\"oauth_pin\">1234567</code></body></html>", "text/html");
        });
        s.Post("/1/statuses/update.json", answer(true, R"({"id":1})"));
        s.Get("/1/account/verify_credentials.json",
              answer(false, R"({"screen_name":"robin","url":null,"status":{"place":null,"geo":[null,1]},"n":3})"));
        s.Post("/api/2/upload.xml", answer(false,
                                           "<rsp><mediaurl>https://img.test/p/1</MEDIAURL>"
                                           "<URL>https://img.test/p/1</url></rsp>"));
        s.Post(R"(/1/friendships/create/.*)", answer(true, "{}"));
        server_->start();
        host_ = "localhost:" + std::to_string(server_->port());
        base_ = "https://" + host_;

        configurator_ = std::make_shared<TwitterConfigurator>();
        configurator_->values = {
            {"twitterAPIHost", Value(host_)},    {"bitLyHost", Value(host_)},
            {"twitterImageHost", Value(host_)},  {"twitterConsumerKey", Value("ck")},
            {"twitterSecret", Value("cs")},      {"twitterCallbackUrl", Value("http://callback.example/done")},
            {"bitLyLogin", Value("shortlogin")}, {"bitLyKey", Value("k&y")}};
        SXConfiguration::sharedInstanceWithConfigurator(configurator_);
        // The account details after a login are fetched by a sharer made by
        // name; another test may have replaced that name meanwhile.
        SXSharerRegistry::registerClass<SXTwitter>("SXTwitter");
        TweetComposeViewController::setAvailable(false);
        TweetComposeViewController::clearSentTweets();
    }
    void TearDown() override {
        TweetComposeViewController::setAvailable(true);
        TweetComposeViewController::clearSentTweets();
        server_.reset();
        ca_.reset();
        ShareTest::TearDown();
    }

    void set(const std::string& key, Value value) { configurator_->values[key] = std::move(value); }
    void reply(const std::string& path, Reply r) {
        std::lock_guard lock(mutex_);
        replies_[path] = std::move(r);
    }
    std::vector<Seen> seen(const std::string& path) {
        std::lock_guard lock(mutex_);
        std::vector<Seen> out;
        for (const auto& s : seen_)
            if (s.path == path || Text::hasPrefix(s.path, path + "/")) out.push_back(s);
        return out;
    }
    static void storeToken() {
        SX::setAuthValueForKeyForSharer(std::string("at"), "accessKey", "SXTwitter");
        SX::setAuthValueForKeyForSharer(std::string("as"), "accessSecret", "SXTwitter");
    }
    static bool hasToken() { return SX::getAuthValueForKeyForSharer("accessKey", "SXTwitter").has_value(); }

    template <class T>
    std::shared_ptr<T> top() const {
        auto navigation = std::dynamic_pointer_cast<platform::NavigationController>(presented());
        return navigation ? std::dynamic_pointer_cast<T>(navigation->topViewController()) : nullptr;
    }
    bool waitFor(const std::string& event, double timeout = 10) {
        return pumpUntil(
            [&] { return std::find(notes_.events.begin(), notes_.events.end(), event) != notes_.events.end(); },
            timeout);
    }
    // Waits for the share to end (finish, fail or cancel).
    bool waitForOutcome(double timeout = 10) {
        return pumpUntil(
            [&] {
                for (const auto& e : notes_.events)
                    if (e == "finish" || e == "fail" || e == "cancel") return true;
                return false;
            },
            timeout);
    }
    std::shared_ptr<SXTwitterForm> waitForForm() {
        std::shared_ptr<SXTwitterForm> form;
        pumpUntil(
            [&] {
                settle();
                return (form = top<SXTwitterForm>()) != nullptr;
            },
            10);
        return form;
    }
    static std::shared_ptr<platform::Image> noisyImage(int side) {
        auto bitmap = platform::Bitmap::make(side, side);
        std::mt19937 random(7);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                bitmap->setPixel(x, y,
                                 {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                                  static_cast<std::uint8_t>(random()), 255});
        return platform::Image::imageWithBitmap(bitmap);
    }

    std::optional<test::TestCA> ca_;
    std::optional<test::LoopbackServer> server_;
    std::string host_;
    std::string base_;
    std::shared_ptr<TwitterConfigurator> configurator_;
    test::NotificationRecorder notes_;
    std::mutex mutex_;
    std::vector<Seen> seen_;
    std::map<std::string, Reply> replies_;
};

const std::string kLink = "http://www.social.test/video/video.php?v=42&x=%C3%A9";
const std::string kLongLink = "http://www.social.test/video/video.php?v=42&x=\u00e9";

// --- The platform's tweet sheet ---

TEST_F(SXTwitterTest, WithTheSheetTheLinkGoesThereAndTheOwnLoginIsForgotten) {
    TweetComposeViewController::setAvailable(true);
    storeToken();
    platform::UserDefaults::standardUserDefaults()->setObject(Value::makeDictionary({{"screen_name", Value("x")}}),
                                                              SXTwitter::kUserInfoKey);
    // 139 units, then an emoji (two units) that would straddle the cut.
    const std::string title = std::string(139, 'a') + "\U0001F600" + "tail";
    std::weak_ptr<SXTwitter> weak = SXTwitter::shareURLTitle(platform::URL::fromString(kLink), title);

    EXPECT_FALSE(hasToken());
    EXPECT_FALSE(platform::UserDefaults::standardUserDefaults()->objectForKey(SXTwitter::kUserInfoKey));
    EXPECT_TRUE(weak.expired());
    auto sheet = std::dynamic_pointer_cast<TweetComposeViewController>(presented());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->initialText(), std::string(139, 'a'));
    ASSERT_EQ(sheet->urls().size(), 1u);
    EXPECT_EQ(sheet->urls()[0].absoluteString(), kLink);
    EXPECT_TRUE(seen("/v3/shorten").empty());
    EXPECT_EQ(SX::favoriteSharersForType(SXItem::SXShareTypeURL).front(), "SXTwitter");

    sheet->send();
    EXPECT_EQ(notes_.events, Events{"finish"});
    EXPECT_EQ(presented(), nullptr);
    EXPECT_EQ(SXActivityIndicator::currentIndicator()->subMessageLabel()->text(), "Saved!");
    ASSERT_EQ(TweetComposeViewController::sentTweets().size(), 1u);
    EXPECT_EQ(TweetComposeViewController::sentTweets()[0].urls, std::vector<std::string>{kLink});
    pumpPending();
    EXPECT_TRUE(sheet.use_count() == 1);  // the handler let the sharer (and its hold on the sheet) go
}

TEST_F(SXTwitterTest, TheSheetWaitsForTheFrameworksScreenAndReportsACancel) {
    TweetComposeViewController::setAvailable(true);
    auto screen = std::make_shared<platform::ViewController>();
    SX::currentHelper()->showViewController(screen);
    ASSERT_TRUE(SX::currentHelper()->currentView());

    const std::string title(140, 'b');
    SXTwitter::shareURLTitle(platform::URL::fromString(kLink), title);
    EXPECT_FALSE(std::dynamic_pointer_cast<TweetComposeViewController>(presented()));

    SX::currentHelper()->hideCurrentViewController();
    std::shared_ptr<TweetComposeViewController> sheet;
    ASSERT_TRUE(pumpUntil([&] {
        settle();
        return (sheet = std::dynamic_pointer_cast<TweetComposeViewController>(presented())) != nullptr;
    }));
    EXPECT_EQ(sheet->initialText(), title);  // exactly 140: whole
    sheet->cancel();
    EXPECT_EQ(notes_.events, Events{"cancel"});
    EXPECT_TRUE(TweetComposeViewController::sentTweets().empty());
}

// --- The own route: shortener ---

TEST_F(SXTwitterTest, TheShortenersReplyIsUsedOnlyWhenItIsALink) {
    struct Case {
        Reply reply;
        std::string status;
        bool alert;
    } cases[] = {
        {{200, "https://sho.rt/abc\n"}, "Watch https://sho.rt/abc", false},
        {{200, "ALREADY_A_BITLY_LINK\n"}, "Watch " + kLongLink, false},
        {{500, "ALREADY_A_BITLY_LINK"}, "Watch " + kLongLink, false},
        {{500, "RATE_LIMIT_EXCEEDED"}, "Watch " + kLongLink, true},
        {{200, "INVALID_LOGIN"}, "Watch " + kLongLink, true},
        {{403, "https://sho.rt/abc"}, "Watch " + kLongLink, true},
        {{200, "javascript:alert(1)"}, "Watch " + kLongLink, true},
    };
    storeToken();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.body);
        platform::AlertRegistry::reset();
        SX::reset();
        reply("/v3/shorten", c.reply);
        std::weak_ptr<SXTwitter> weak = SXTwitter::shareURLTitle(platform::URL::fromString(kLink), "Watch");
        EXPECT_FALSE(weak.expired());  // held while the shortener works
        auto form = waitForForm();
        ASSERT_TRUE(form);
        EXPECT_EQ(form->textView()->text(), c.status);
        EXPECT_EQ(topAlertText(), c.alert ? "Shorten URL Error: We could not shorten the URL." : "");
        form->cancel();
        EXPECT_EQ(notes_.events.back(), "cancel");
        pumpPending();
        EXPECT_TRUE(weak.expired());
    }
    auto calls = seen("/v3/shorten");
    ASSERT_EQ(calls.size(), std::size(cases));
    EXPECT_EQ(calls[0].params.find("login")->second, "shortlogin");
    EXPECT_EQ(calls[0].params.find("apikey")->second, "k&y");
    EXPECT_EQ(calls[0].params.find("longUrl")->second, kLink);
    EXPECT_EQ(calls[0].params.find("format")->second, "txt");
}

TEST_F(SXTwitterTest, OfflineOrWithoutAShortenerAccountTheLongLinkGoesAtOnce) {
    storeToken();
    setOnline(false);
    SXTwitter::shareURLTitle(platform::URL::fromString(kLink), "Watch");
    auto form = top<SXTwitterForm>();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->textView()->text(), "Watch " + kLongLink);
    form->cancel();

    setOnline(true);
    SX::reset();
    set("bitLyKey", Value(""));
    SXTwitter::shareURLTitle(platform::URL::fromString(kLink), "Watch");
    form = waitForForm();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->textView()->text(), "Watch " + kLongLink);
    EXPECT_TRUE(seen("/v3/shorten").empty());
    EXPECT_EQ(topAlertText(), "");
}

// --- Login, compose, signed status, account details ---

TEST_F(SXTwitterTest, OAuthLoginThenComposeAndASignedStatusThenTheAccountDetails) {
    set("bitLyKey", Value(""));
    std::weak_ptr<SXTwitter> weak =
        SXTwitter::shareURLTitle(platform::URL::fromString("http://www.social.test/v?id=1"), "Hi");
    auto form = waitForForm();
    ASSERT_TRUE(form);
    EXPECT_EQ(notes_.events.front(), "auth yes");
    EXPECT_TRUE(hasToken());
    EXPECT_EQ(seen("/oauth/request_token").size(), 1u);
    auto access = seen("/oauth/access_token");
    ASSERT_EQ(access.size(), 1u);
    EXPECT_NE(access[0].headers["Authorization"].find("oauth_token=\"rt\""), std::string::npos);

    EXPECT_EQ(form->textView()->text(), "Hi http://www.social.test/v?id=1");
    EXPECT_EQ(form->navigationItem()->rightBarButtonItem()->title(), "Send to Twitter");
    form->textView()->typeText(" & more \u00e9");
    ASSERT_TRUE(form->counter());
    EXPECT_EQ(form->counter()->text(), std::to_string(140 - 41));
    form->navigationItem()->rightBarButtonItem()->tap();
    // Two sharers finish: the share and the fetch of the account details.
    ASSERT_TRUE(pumpUntil([&] { return std::count(notes_.events.begin(), notes_.events.end(), "finish") == 2; }, 10));

    auto updates = seen("/1/statuses/update.json");
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].params.find("status")->second, "Hi http://www.social.test/v?id=1 & more \u00e9");
    EXPECT_TRUE(updates[0].signedWithToken) << updates[0].headers["Authorization"];

    // After the first login the account details are fetched, quietly, and
    // kept with every null made an empty string (a null cannot be stored).
    ASSERT_TRUE(pumpUntil([] {
        return platform::UserDefaults::standardUserDefaults()->objectForKey(SXTwitter::kUserInfoKey).has_value();
    }));
    auto details = *platform::UserDefaults::standardUserDefaults()->objectForKey(SXTwitter::kUserInfoKey);
    EXPECT_EQ(*details.find("url")->string(), "");
    EXPECT_EQ(*details.find("status")->find("place")->string(), "");
    EXPECT_EQ(*details.find("status")->find("geo")->array()->front().string(), "");
    auto verify = seen("/1/account/verify_credentials.json");
    ASSERT_EQ(verify.size(), 1u);
    EXPECT_TRUE(verify[0].signedWithToken);
    pumpPending();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(platform::AlertRegistry::shownAlerts().size(), 0u);
}

TEST_F(SXTwitterTest, XAuthLogsInWithTheFormAndFollowsTheAccount) {
    set("twitterUseXAuth", Value(1));
    set("twitterUsername", Value("quorbel"));
    platform::UserDefaults::standardUserDefaults()->setObject(Value::makeDictionary(), SXTwitter::kUserInfoKey);
    SXSharer::shareText<SXTwitter>(std::string("Hello"));
    auto login = top<SXFormController>();
    ASSERT_TRUE(login);
    EXPECT_EQ(login->sections().front().rows.size(), 3u);
    EXPECT_EQ(login->sections().front().footer, "Create a free account at microblog.test");
    auto table = login->tableView();
    auto cell = [&](int row) {
        return std::dynamic_pointer_cast<SXFormFieldCell>(table->cellForRowAtIndexPath({0, row}));
    };
    ASSERT_TRUE(cell(0) && cell(1) && cell(2));
    EXPECT_EQ(cell(2)->textLabel()->text(), "Follow quorbel");
    cell(0)->getTextField()->setText("robin");
    cell(1)->getTextField()->setText("p@ss word");
    login->navigationItem()->rightBarButtonItem()->tap();

    auto form = waitForForm();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->textView()->text(), "Hello");
    auto access = seen("/oauth/access_token");
    ASSERT_EQ(access.size(), 1u);
    EXPECT_EQ(access[0].params.find("x_auth_username")->second, "robin");
    EXPECT_EQ(access[0].params.find("x_auth_password")->second, "p@ss word");
    EXPECT_EQ(access[0].params.find("x_auth_mode")->second, "client_auth");
    // The password is sent, never stored.
    EXPECT_FALSE(SX::getAuthValueForKeyForSharer("password", "SXTwitter"));

    form->navigationItem()->rightBarButtonItem()->tap();
    ASSERT_TRUE(waitFor("finish"));
    ASSERT_TRUE(pumpUntil([&] { return !seen("/1/friendships/create").empty(); }));
    auto follow = seen("/1/friendships/create");
    EXPECT_EQ(follow[0].path, "/1/friendships/create/quorbel.json");
    EXPECT_TRUE(follow[0].signedWithToken);
}

TEST_F(SXTwitterTest, ARefusedXAuthLoginShowsTheServiceTextAndEndsTheAttempt) {
    set("twitterUseXAuth", Value(1));
    reply("/oauth/access_token", {401, "Invalid user name or password"});
    std::weak_ptr<SXTwitter> weak = SXSharer::shareText<SXTwitter>(std::string("Hello"));
    auto login = top<SXFormController>();
    ASSERT_TRUE(login);
    EXPECT_EQ(login->sections().front().rows.size(), 2u);  // no account to follow
    login->navigationItem()->rightBarButtonItem()->tap();
    ASSERT_TRUE(waitFor("auth no"));
    EXPECT_EQ(topAlertText(), "Access Error: Invalid user name or password");
    settle();
    EXPECT_EQ(presented(), nullptr);
    pumpPending();
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(hasToken());
}

TEST_F(SXTwitterTest, ARefusedTokenBringsTheLoginBackAndTheShareGoesOn) {
    storeToken();
    platform::UserDefaults::standardUserDefaults()->setObject(Value::makeDictionary(), SXTwitter::kUserInfoKey);
    reply("/1/statuses/update.json", {401, R"({"error":"Could not authenticate with OAuth."})", 1});
    std::weak_ptr<SXTwitter> weak = SXSharer::shareText<SXTwitter>(std::string("Hello"));
    auto form = waitForForm();
    ASSERT_TRUE(form);
    form->navigationItem()->rightBarButtonItem()->tap();
    ASSERT_TRUE(waitFor("auth yes"));
    EXPECT_EQ(topAlertText(), "Error: Could not authenticate you. Please relogin.");
    // After the new login the compose form comes back with the text.
    std::shared_ptr<SXTwitterForm> again;
    ASSERT_TRUE(pumpUntil([&] {
        settle();
        again = top<SXTwitterForm>();
        return again && again != form;
    }));
    EXPECT_EQ(again->textView()->text(), "Hello");
    again->navigationItem()->rightBarButtonItem()->tap();
    ASSERT_TRUE(waitFor("finish"));
    EXPECT_EQ(notes_.events, (Events{"start", "fail", "auth yes", "start", "finish"}));
    EXPECT_EQ(seen("/oauth/request_token").size(), 1u);
    EXPECT_EQ(seen("/1/statuses/update.json").size(), 2u);
    pumpPending();
    EXPECT_TRUE(weak.expired());
}

// --- The compose form ---

class FormOwner : public SXFormControllerLargeTextFieldDelegate {
public:
    void sendForm(const std::shared_ptr<SXFormControllerLargeTextField>& form) override {
        sent.push_back(form->textView()->text());
    }
    void sendDidCancel() override { ++cancels; }
    std::string sharerTitle() const override { return "Twitter"; }
    std::vector<std::string> sent;
    int cancels = 0;
};

TEST_F(SXTwitterTest, TheComposeFormCountsUTF16UnitsAndRefusesTooLongOrEmptyTexts) {
    const std::string emoji = "\U0001F600";  // two units
    std::string seventy;
    for (int i = 0; i < 70; ++i) seventy += emoji;
    struct Case {
        std::string text;
        bool image;
        std::string counter;
        bool red;
        std::string alert;
    } cases[] = {
        {"", false, "140", false, "Message is empty: You must enter a message in order to post."},
        {"", true, "Image + 115", false, "Message is empty: You must enter a message in order to post."},
        {seventy, false, "0", false, ""},
        {seventy + "x", false, "-1", true, "Message is too long: Twitter posts can only be 140 characters in length."},
        {std::string(115, 'x'), true, "Image + 0", false, ""},
        {std::string(116, 'x'), true, "Image + -1", true,
         "Message is too long: Twitter posts can only be 140 characters in length."},
    };
    auto owner = std::make_shared<FormOwner>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.counter);
        platform::AlertRegistry::reset();
        owner->sent.clear();
        auto form = SXFormControllerLargeTextField::initWithDelegate<SXTwitterForm>(owner);
        form->setHasAttachment(c.image);
        form->textView()->setText(c.text);
        form->updateCounter();
        EXPECT_EQ(form->counter()->text(), c.counter);
        EXPECT_EQ(form->counter()->textColor() == platform::Color::redColor(), c.red);
        form->save();
        EXPECT_EQ(topAlertText(), c.alert);
        EXPECT_EQ(owner->sent.size(), c.alert.empty() ? 1u : 0u);
    }
    // Typing updates the counter as it goes; Cancel tells the owner.
    auto form = SXFormControllerLargeTextField::initWithDelegate<SXTwitterForm>(owner);
    form->textView()->typeText("ab" + emoji);
    EXPECT_EQ(form->counter()->text(), "136");
    form->textView()->deleteBackward();
    EXPECT_EQ(form->counter()->text(), "138");
    form->cancel();
    EXPECT_EQ(owner->cancels, 1);
}

// --- Errors ---

TEST_F(SXTwitterTest, RefusedCallsMapToReloginOrTheServicesErrorText) {
    class Outcome : public SXSharerDelegate {
    public:
        void sharerFailedWithErrorShouldRelogin(const std::shared_ptr<SXSharer>&,
                                                const std::optional<platform::Error>& e, bool relogin) override {
            error = e;
            shouldRelogin = relogin;
            ended = true;
        }
        void sharerStartedSending(const std::shared_ptr<SXSharer>&) override {}
        void sharerFinishedSending(const std::shared_ptr<SXSharer>&) override { ended = true; }
        void sharerCancelledSending(const std::shared_ptr<SXSharer>&) override { ended = true; }
        std::optional<platform::Error> error;
        bool shouldRelogin = false;
        bool ended = false;
    };
    struct Case {
        Reply reply;
        bool relogin;
        std::string domain;
        std::string message;
    } cases[] = {
        {{401, R"({"request":"/1/statuses/update.json","error":"Could not authenticate with OAuth."})"},
         true,
         "sharecore",
         "Could not authenticate you. Please relogin."},
        {{401, R"({"error":"Invalid / used nonce"})"},
         true,
         "sharecore",
         "Could not authenticate you. Please relogin."},
        {{403, R"({"error":"Status is a duplicate."})"}, false, "Twitter", "Status is a duplicate."},
        {{500, "<html>Over capacity</html>"}, false, "Twitter", "Unknown Error"},
    };
    storeToken();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        reply("/1/statuses/update.json", c.reply);
        auto outcome = std::make_shared<Outcome>();
        auto sharer = SXSharer::make<SXTwitter>();
        sharer->setItem(SXItem::text(std::string("Hello")));
        sharer->item()->setCustomValueForKey(Value("Hello"), "status");
        sharer->setShareDelegate(outcome);
        ASSERT_TRUE(sharer->restoreAccessToken());
        ASSERT_TRUE(sharer->send());
        ASSERT_TRUE(pumpUntil([&] { return outcome->ended; }, 10));
        ASSERT_TRUE(outcome->error);
        EXPECT_EQ(outcome->shouldRelogin, c.relogin);
        EXPECT_EQ(outcome->error->domain(), c.domain);
        EXPECT_EQ(outcome->error->code(), c.relogin ? 1 : SXTwitter::kErrorCode);
        EXPECT_EQ(outcome->error->localizedDescription(), c.message);
    }
    // A status over 140 units is not sent at all.
    auto sharer = SXSharer::make<SXTwitter>();
    sharer->setItem(SXItem::text(std::string("x")));
    sharer->item()->setCustomValueForKey(Value(std::string(141, 'x')), "status");
    ASSERT_TRUE(sharer->restoreAccessToken());
    EXPECT_FALSE(sharer->send());
}

// --- Pictures ---

TEST_F(SXTwitterTest, APictureGoesToTheImageHostByOAuthEchoThenItsLinkIsPosted) {
    storeToken();
    std::weak_ptr<SXTwitter> weak = SXSharer::shareImageTitle<SXTwitter>(noisyImage(64), std::string("Look"));
    auto form = waitForForm();
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->hasAttachment());
    EXPECT_EQ(form->textView()->text(), "Look");
    form->navigationItem()->rightBarButtonItem()->tap();
    ASSERT_TRUE(waitFor("finish"));
    EXPECT_EQ(std::count(notes_.events.begin(), notes_.events.end(), "start"), 2);  // upload, then send

    auto uploads = seen("/api/2/upload.xml");
    ASSERT_EQ(uploads.size(), 1u);
    auto& upload = uploads[0];
    EXPECT_EQ(upload.headers["Content-Type"], "multipart/form-data; boundary=0xKhTmLbOuNdArY");
    EXPECT_EQ(upload.headers["X-Auth-Service-Provider"], base_ + "/1/account/verify_credentials.json");
    // The echoed header is our signature of the account call, checkable by
    // the service; the realm names the service.
    EXPECT_TRUE(signatureHolds("GET", base_ + "/1/account/verify_credentials.json", {},
                               upload.headers["X-Verify-Credentials-Authorization"], "cs", "as"));
    EXPECT_EQ(authorizationParams(upload.headers["X-Verify-Credentials-Authorization"]).find("realm")->second,
              base_ + "/");
    ASSERT_EQ(upload.parts.size(), 2u);
    EXPECT_EQ(upload.parts["message"], "||Look");
    EXPECT_EQ(upload.parts["media"].substr(0, 23), "upload.jpg|image/jpg|\xFF\xD8");

    auto updates = seen("/1/statuses/update.json");
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].params.find("status")->second, "Look https://img.test/p/1");
    pumpPending();
    EXPECT_TRUE(weak.expired());
}

// The PIN page means a wrong application setting; it is recognised on the
// API host the application configured, and on no other.
TEST_F(SXTwitterTest, ThePINPageIsRecognisedOnTheConfiguredAPIHost) {
    struct Recorder : SXOAuthViewDelegate {
        std::vector<std::string> errors;
        void tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(const std::shared_ptr<SXOAuthView>&, bool,
                                                                    const std::optional<QueryParams>&,
                                                                    const std::optional<platform::Error>& e) override {
            errors.push_back(e ? e->localizedDescription() : "");
        }
        void tokenAuthorizeCancelledView(const std::shared_ptr<SXOAuthView>&) override {}
        std::optional<platform::URL> authorizeCallbackURL() const override {
            return platform::URL::fromString("http://callback.example/done");
        }
    };
    struct Case {
        std::string page;
        bool reported;
    } cases[] = {
        {base_ + "/oauth/pin", true},
        // The same page elsewhere is not the service's.
        {"https://127.0.0.1:" + std::to_string(server_->port()) + "/oauth/pin", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        auto recorder = std::make_shared<Recorder>();
        auto view = SXOAuthView::initWithURLDelegate(*platform::URL::fromString(c.page), recorder);
        ASSERT_TRUE(pumpUntil([&] { return !view->webView()->isLoading() && view->webView()->request(); }));
        if (c.reported) {
            pumpUntil([&] { return !recorder->errors.empty(); });
        } else {
            pumpPending();
        }
        EXPECT_EQ(recorder->errors,
                  c.reported ? std::vector<std::string>{SXOAuthView::kPinPageMessage} : std::vector<std::string>{});
    }
}

TEST_F(SXTwitterTest, AStatusHoldingTheBoundaryLineStaysOnePart) {
    storeToken();
    const std::string status = "Look\r\n--0xKhTmLbOuNdArY\r\nContent-Disposition: form-data; name=\"media\"\r\n\r\nx";
    SXSharer::shareImageTitle<SXTwitter>(noisyImage(64), status);
    auto form = waitForForm();
    ASSERT_TRUE(form);
    form->navigationItem()->rightBarButtonItem()->tap();
    ASSERT_TRUE(waitFor("finish"));
    auto uploads = seen("/api/2/upload.xml");
    ASSERT_EQ(uploads.size(), 1u);
    auto& upload = uploads[0];
    // A fresh boundary, so the status is one value and the picture the other.
    EXPECT_TRUE(upload.headers["Content-Type"].starts_with("multipart/form-data; boundary=0xKhTmLbOuNdArY-"))
        << upload.headers["Content-Type"];
    ASSERT_EQ(upload.parts.size(), 2u);
    EXPECT_EQ(upload.parts["message"], "||" + status);
    EXPECT_EQ(upload.parts["media"].substr(0, 23), "upload.jpg|image/jpg|\xFF\xD8");
    pumpPending();
}

TEST_F(SXTwitterTest, AnUploadReplyWithoutALinkOrARefusedUploadEndsInAFailure) {
    storeToken();
    for (Reply r : {Reply{200, "<rsp><mediaid>9</mediaid></rsp>"}, Reply{401, "<error>no</error>"}}) {
        SCOPED_TRACE(r.body);
        notes_.events.clear();
        platform::AlertRegistry::reset();
        reply("/api/2/upload.xml", r);
        std::weak_ptr<SXTwitter> weak = SXSharer::shareImageTitle<SXTwitter>(noisyImage(8), std::string("Look"));
        auto form = waitForForm();
        ASSERT_TRUE(form);
        form->navigationItem()->rightBarButtonItem()->tap();
        ASSERT_TRUE(waitForOutcome());
        EXPECT_EQ(notes_.events, (Events{"start", "start", "fail"}));
        EXPECT_EQ(topAlertText(), "Error: There was an error while sharing");
        pumpPending();
        EXPECT_TRUE(weak.expired());
        SX::reset();
    }
    EXPECT_TRUE(seen("/1/statuses/update.json").empty());
}

TEST_F(SXTwitterTest, PicturesAreRecompressedUntilSmallEnoughOrAtTheLowestQuality) {
    auto image = noisyImage(96);
    const auto best = image->jpegRepresentation(0.9f);
    const auto small = SXTwitter::jpegForUpload(*image, best.size() / 2);
    EXPECT_LE(small.size(), best.size() / 2);
    // A limit no quality reaches ends at the lowest quality, not in a loop.
    const auto lowest = SXTwitter::jpegForUpload(*image, 1);
    EXPECT_LT(lowest.size(), small.size());
    EXPECT_EQ(SXTwitter::jpegForUpload(*image, best.size()), best);
}

}  // namespace
}  // namespace clipora
