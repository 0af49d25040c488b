#include <gtest/gtest.h>

#include "platform/foundation/Base64.h"
#include "share/Core/SX.h"
#include "share/Sharers/SXGoogleReader.h"
#include "share/Sharers/SXInstapaper.h"
#include "share/Sharers/SXLinkedIn.h"
#include "share/Sharers/SXPinboard.h"
#include "share/Sharers/SXReadItLater.h"
#include "share/Sharers/SXTumblr.h"
#include "share/json/JSONDecoder.h"
#include "tests/share/Sharers/ServiceStandIn.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;
using Reply = test::ServiceStandIn::Reply;

// A password that breaks a form ("+", "&", "="), a URL user-info ("@", "/",
// "?", "#") and a naive JSON text.
const std::string kPassword = "p+w&x=1@h/?#\"\\";

// The member "0"."key" of a JSON text; "<bad>" when there is none.
std::string entryField(const std::string& json, const char* key) {
    auto document = JSONDecoder::objectFromJSONStringWithParseOptionsError(json);
    if (!document) return "<bad>";
    auto value = document->toValue();
    const auto* entry = value.find("0");
    const auto* field = entry ? entry->find(key) : nullptr;
    return field && field->string() ? *field->string() : "<bad>";
}

class ReadLaterTest : public test::SharerTest {
protected:
    void SetUp() override {
        SharerTest::SetUp();
        configure({{SXInstapaper::kBaseURLKey, service().base()},
                   {SXPinboard::kBaseURLKey, service().base()},
                   {SXReadItLater::kBaseURLKey, service().base()},
                   {"readItLaterKey", "k&y"}});
    }
    static std::shared_ptr<SXItem> link() {
        auto item = SXItem::URLTitle(platform::URL::fromString("http://example.com/v?a=1&b=2"), "Say \"hi\" \\ 1+1");
        return item;
    }
    static std::shared_ptr<SXSharer> make(const std::string& id) {
        if (id == "SXInstapaper") return SXSharer::make<SXInstapaper>();
        if (id == "SXPinboard") return SXSharer::make<SXPinboard>();
        return SXSharer::make<SXReadItLater>();
    }
    static void storeLogin(const std::string& sharerId) {
        SX::setAuthValueForKeyForSharer("al ice", "username", sharerId);
        SX::setAuthValueForKeyForSharer(kPassword, "password", sharerId);
    }
    // Starts a share of `link()` and logs in through the form; the service
    // answers `refused`: the alert shows, the form stays for another try,
    // nothing is stored and the attempt is still alive.
    template <class T>
    std::shared_ptr<SXFormController> refusedLogin(const std::string& path, Reply refused, const std::string& alert) {
        service().reply(path, refused);
        std::weak_ptr<T> weak = SXSharer::shareItem<T>(link());
        auto login = form();
        EXPECT_TRUE(login);
        if (!login) return nullptr;
        fill(login, {{"username", "al ice"}, {"password", kPassword}});
        login->validateForm();
        EXPECT_TRUE(test::pumpUntil([&] { return !topAlertText().empty(); }));
        EXPECT_EQ(topAlertText(), alert);
        EXPECT_EQ(form(), login);
        EXPECT_FALSE(SX::getAuthValueForKeyForSharer("password", T().sharerId()));
        EXPECT_TRUE(notes_.events.empty());
        EXPECT_FALSE(weak.expired());
        return login;
    }
    // The next try is accepted: the login is stored and reported.
    void acceptLogin(const std::shared_ptr<SXFormController>& login, const std::string& path, Reply accepted = {}) {
        service().reply(path, accepted);
        platform::AlertRegistry::reset();
        login->validateForm();
        ASSERT_TRUE(test::pumpUntil(
            [&] { return std::find(notes_.events.begin(), notes_.events.end(), "auth yes") != notes_.events.end(); }));
        EXPECT_EQ(login->formValues()["password"], kPassword);
    }
};

TEST_F(ReadLaterTest, InstapaperLogsInAndSavesTheLink) {
    service().reply("/api/add", Reply{201, "", {}});
    auto login =
        refusedLogin<SXInstapaper>("/api/authenticate", Reply{403, "", {}},
                                   "Login Error: Sorry, Instapaper did not accept your credentials. Please try again.");
    ASSERT_TRUE(login);
    acceptLogin(login, "/api/authenticate");
    EXPECT_EQ(SX::getAuthValueForKeyForSharer("password", "SXInstapaper"), kPassword);
    auto seen = service().seen();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].param("username"), "al ice");
    EXPECT_EQ(seen[0].param("password"), kPassword);
    // The stored login shares at once (no share form).
    ASSERT_TRUE(waitForEvents(3));
    EXPECT_EQ(notes_.events, (Events{"start", "auth yes", "finish"}));
    auto add = service().last();
    EXPECT_EQ(add.path, "/api/add");
    EXPECT_EQ(add.param("url"), "http://example.com/v?a=1&b=2");
    EXPECT_EQ(add.param("password"), kPassword);

    // Another server failure on login shows the general text.
    service().reply("/api/authenticate", Reply{500, "", {}});
    SX::removeAuthValueForKeyForSharer("username", "SXInstapaper");
    SX::removeAuthValueForKeyForSharer("password", "SXInstapaper");
    platform::AlertRegistry::reset();
    auto sharer = SXSharer::shareItem<SXInstapaper>(link());
    fill(form(), {{"username", "u"}});
    form()->validateForm();
    ASSERT_TRUE(test::pumpUntil([&] { return !topAlertText().empty(); }));
    EXPECT_EQ(topAlertText(), "Login Error: Sorry, Instapaper encountered an error. Please try again.");
}

TEST_F(ReadLaterTest, SendOutcomesFollowTheStatus) {
    struct Case {
        const char* sharer;
        const char* path;
        Reply reply;
        const char* alert;  // "" when the share finished
        bool relogin;
    } cases[] = {
        {"SXInstapaper", "/api/add", {200, "", {}}, "", false},
        {"SXInstapaper",
         "/api/add",
         {403, "", {}},
         "Sorry, Instapaper did not accept your credentials. Please try again.",
         true},
        {"SXInstapaper", "/api/add", {500, "", {}}, "The service encountered an error. Please try again later.", false},
        {"SXInstapaper", "/api/add", {400, "", {}}, "There was a problem saving to Instapaper.", false},
        {"SXPinboard", "/v1/posts/add", {200, "<result code=\"done\" />", {}}, "", false},
        {"SXPinboard", "/v1/posts/add", {200, "", {}}, "", false},
        {"SXPinboard",
         "/v1/posts/add",
         {200, "<result code=\"missing url\" />", {}},
         "There was an error saving to Pinboard",
         false},
        {"SXPinboard", "/v1/posts/add", {503, "", {}}, "There was an error saving to Pinboard", false},
        {"SXPinboard", "/v1/posts/add", {401, "", {}}, "Could not authenticate you. Please relogin.", true},
        {"SXReadItLater", "/v2/send", {200, "", {}}, "", false},
        {"SXReadItLater", "/v2/send", {401, "", {}}, "Could not authenticate you. Please relogin.", true},
        {"SXReadItLater", "/v2/send", {503, "", {{"X-Error", "Rate limit & more"}}}, "Rate limit & more", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.sharer) + " " + std::to_string(c.reply.status) + " " + c.reply.body);
        service().reply(c.path, c.reply);
        storeLogin(c.sharer);
        sendNow(make(c.sharer), link());
        expectOutcome(c.alert, c.relogin);
    }
}

TEST_F(ReadLaterTest, PinboardSendsTheFormInAQueryWithBasicAuthorization) {
    auto login = refusedLogin<SXPinboard>("/v1/posts/get", Reply{401, "", {}},
                                          "Login Error: Could not authenticate you. Please relogin.");
    ASSERT_TRUE(login);
    auto check = service().last();
    EXPECT_EQ(check.method, "GET");
    EXPECT_EQ(check.path, "/v1/posts/get");
    EXPECT_EQ(check.header("Authorization"), "Basic " + platform::Base64::encode("al ice:" + kPassword));

    // Any other answer (the service being down included) keeps the login.
    acceptLogin(login, "/v1/posts/get", Reply{503, "", {}});
    EXPECT_EQ(notes_.events, (Events{"auth yes"}));
    settle();
    auto share = form();
    ASSERT_TRUE(share);
    EXPECT_EQ(keysOf(share), (std::vector<std::string>{"title", "tags", "text", "shared"}));
    fill(share, {{"tags", "a&shared=yes b"}, {"text", "n+1"}, {"shared", "1"}});
    share->validateForm();
    ASSERT_TRUE(waitForEvents(3));
    auto add = service().last();
    EXPECT_EQ(add.path, "/v1/posts/add");
    EXPECT_EQ(add.param("url"), "http://example.com/v?a=1&b=2");
    EXPECT_EQ(add.param("description"), "Say \"hi\" \\ 1+1");
    EXPECT_EQ(add.param("tags"), "a&shared=yes b");
    EXPECT_EQ(add.param("extended"), "n+1");
    EXPECT_EQ(add.param("shared"), "yes");
    EXPECT_EQ(add.params.count("shared"), 1u);
    EXPECT_EQ(add.header("Authorization"), "Basic " + platform::Base64::encode("al ice:" + kPassword));
    EXPECT_EQ(notes_.events, (Events{"auth yes", "start", "finish"}));
}

TEST_F(ReadLaterTest, ReadItLaterSendsJSONThatSurvivesQuotes) {
    auto login =
        refusedLogin<SXReadItLater>("/v2/auth", Reply{401, "", {{"X-Error", "Bad login"}}}, "Login Error: Bad login");
    ASSERT_TRUE(login);
    auto auth = service().last();
    EXPECT_EQ(auth.path, "/v2/auth");
    EXPECT_EQ(auth.param("apikey"), "k&y");
    EXPECT_EQ(auth.param("password"), kPassword);

    // Read It Later always shares at once.
    acceptLogin(login, "/v2/auth");
    ASSERT_TRUE(waitForEvents(3));
    EXPECT_EQ(notes_.events, (Events{"start", "auth yes", "finish"}));
    auto send = service().last();
    EXPECT_EQ(send.path, "/v2/send");
    EXPECT_EQ(send.param("username"), "al ice");
    EXPECT_EQ(send.param("update_tags"), "<none>");  // no tags, no update
    EXPECT_EQ(entryField(send.param("new"), "url"), "http://example.com/v?a=1&b=2");
    EXPECT_EQ(entryField(send.param("new"), "title"), "Say \"hi\" \\ 1+1");

    auto tagged = link();
    tagged->setTags("x\",\"evil\":\"1");
    sendNow(SXSharer::make<SXReadItLater>(), tagged);
    EXPECT_EQ(entryField(service().last().param("update_tags"), "tags"), "x\",\"evil\":\"1");
}

// Credentials never travel in clear: without a configured address every
// service is reached over https.
TEST_F(ReadLaterTest, ServicesDefaultToHttps) {
    SXConfiguration::resetSharedInstance();
    for (auto [key, base] : {std::pair{SXInstapaper::kBaseURLKey, SXInstapaper::kDefaultBaseURL},
                             {SXPinboard::kBaseURLKey, SXPinboard::kDefaultBaseURL},
                             {SXReadItLater::kBaseURLKey, SXReadItLater::kDefaultBaseURL},
                             {SXTumblr::kBaseURLKey, SXTumblr::kDefaultBaseURL},
                             {SXGoogleReader::kAccountsURLKey, SXGoogleReader::kDefaultBaseURL},
                             {SXLinkedIn::kAPIBaseURLKey, SXLinkedIn::kDefaultAPIBaseURL},
                             {SXLinkedIn::kSiteBaseURLKey, SXLinkedIn::kDefaultSiteBaseURL}}) {
        auto url = SXPlainRequestSharer::serviceURL(key, base, "/p?q=1");
        ASSERT_TRUE(url) << key;
        EXPECT_EQ(url->scheme(), "https") << key;
        EXPECT_EQ(url->path(), "/p") << key;
    }
}

}  // namespace
}  // namespace clipora
