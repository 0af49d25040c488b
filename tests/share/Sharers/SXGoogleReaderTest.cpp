#include <gtest/gtest.h>

#include "platform/foundation/UserDefaults.h"
#include "share/Core/SX.h"
#include "share/Sharers/SXGoogleReader.h"
#include "tests/share/Sharers/ServiceStandIn.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;
using Reply = test::ServiceStandIn::Reply;

constexpr const char* kLogin = "/accounts/ClientLogin";
constexpr const char* kToken = "/reader/api/0/token";
constexpr const char* kEdit = "/reader/api/0/item/edit";

class SXGoogleReaderTest : public test::SharerTest {
protected:
    void SetUp() override {
        SharerTest::SetUp();
        configure(
            {{SXGoogleReader::kAccountsURLKey, service().base()}, {SXGoogleReader::kReaderURLKey, service().base()}});
        service().reply(kLogin, Reply{200, "SID=s1\nLSID=l1\nAuth=A+1\n", {}});
        service().reply(kToken, Reply{200, "tok+en&x=1", {}});
    }
    static std::shared_ptr<SXItem> link() {
        auto item = SXItem::URLTitle(platform::URL::fromString("http://example.com/v?a=1&b=2"), "A & B");
        item->setText("note+1");
        return item;
    }
    std::vector<test::ServiceStandIn::Seen> seenAt(const std::string& path) const {
        std::vector<test::ServiceStandIn::Seen> found;
        for (auto& seen : standIn_->seen())
            if (seen.path == path) found.push_back(seen);
        return found;
    }
};

TEST_F(SXGoogleReaderTest, LoginErrorsThenSessionCarriedByEveryRequest) {
    struct Refusal {
        Reply reply;
        const char* alert;
    } refusals[] = {
        {{403, "Error=BadAuthentication\n", {}}, "Login Error: Incorrect username and password"},
        {{403, "Error=CaptchaRequired\nUrl=x\n", {}}, "Login Error: CaptchaRequired"},
        {{503, "", {}}, "Login Error: There was an error logging into Google Reader"},
    };
    auto sharer = SXSharer::shareItem<SXGoogleReader>(link());
    auto login = form();
    ASSERT_TRUE(login);
    fill(login, {{"email", "me@example.com"}, {"password", "p&ss=1"}});
    for (const auto& refusal : refusals) {
        service().reply(kLogin, refusal.reply);
        platform::AlertRegistry::reset();
        login->validateForm();
        ASSERT_TRUE(pumpUntil([&] { return !topAlertText().empty(); }));
        EXPECT_EQ(topAlertText(), refusal.alert);
    }
    EXPECT_TRUE(notes_.events.empty());
    auto request = service().last();
    EXPECT_EQ(request.param("service"), "reader");
    EXPECT_EQ(request.param("source"), "ShareCore-My App Name-0.2.1");
    EXPECT_EQ(request.param("Email"), "me@example.com");
    EXPECT_EQ(request.param("Passwd"), "p&ss=1");
    EXPECT_EQ(request.param("accountType"), "GOOGLE");

    service().reply(kLogin, Reply{200, "SID=s1\nLSID=l1\nAuth=A+1\n", {}});
    login->validateForm();
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(notes_.events, (Events{"auth yes"}));
    EXPECT_EQ(sharer->session().size(), 3u);
    settle();
    auto share = form();
    ASSERT_TRUE(share);
    EXPECT_EQ(keysOf(share), (std::vector<std::string>{"text", "share"}));
    fill(share, {{"share", "1"}});
    share->validateForm();
    ASSERT_TRUE(waitForEvents(3));
    EXPECT_EQ(notes_.events, (Events{"auth yes", "start", "finish"}));
    EXPECT_TRUE(platform::UserDefaults::standardUserDefaults()->boolForKey("SXGoogleReader_isPublic"));

    auto token = seenAt(kToken);
    ASSERT_EQ(token.size(), 1u);
    EXPECT_EQ(token[0].method, "GET");
    EXPECT_NE(token[0].param("ck"), "<none>");
    auto edit = seenAt(kEdit);
    ASSERT_EQ(edit.size(), 1u);
    for (const auto& signedRequest : {token[0], edit[0]}) {
        EXPECT_EQ(signedRequest.header("Authorization"), "GoogleLogin auth=A+1");
        auto cookies = signedRequest.header("Cookie");
        for (const char* cookie : {"SID=s1", "LSID=l1", "Auth=A+1"})
            EXPECT_NE(cookies.find(cookie), std::string::npos) << cookies;
    }
    EXPECT_EQ(edit[0].param("T"), "tok+en&x=1");
    EXPECT_EQ(edit[0].param("linkify"), "false");
    EXPECT_EQ(edit[0].param("snippet"), "note+1");
    EXPECT_EQ(edit[0].param("srcTitle"), "My App Name");
    EXPECT_EQ(edit[0].param("title"), "A & B");
    EXPECT_EQ(edit[0].param("url"), "http://example.com/v?a=1&b=2");
    EXPECT_EQ(edit[0].param("share"), "true");
}

TEST_F(SXGoogleReaderTest, ASendLogsInFirstAndEndsOnce) {
    SX::setAuthValueForKeyForSharer("me@example.com", "email", "SXGoogleReader");
    SX::setAuthValueForKeyForSharer("pw", "password", "SXGoogleReader");
    struct Case {
        const char* path;  // the step that fails, or nullptr
        Reply reply;
        Events events;
        const char* alert;
    } cases[] = {
        {nullptr, {}, {"start", "auth yes", "finish"}, ""},
        {kLogin,
         {403, "Error=BadAuthentication\n", {}},
         {"start", "auth no", "fail"},
         "Login Error: Incorrect username and password"},
        {kToken,
         {401, "", {}},
         {"start", "auth yes", "fail"},
         "Error: There was a problem authenticating your account."},
        {kEdit, {400, "", {}}, {"start", "auth yes", "fail"}, "Error: There was a problem saving your note."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path ? c.path : "success");
        service().reply(kLogin, Reply{200, "SID=s1\nLSID=l1\nAuth=A+1\n", {}});
        service().reply(kToken, Reply{200, "tok", {}});
        service().reply(kEdit, Reply{});
        if (c.path) service().reply(c.path, c.reply);
        notes_.events.clear();
        standIn_->clear();
        platform::AlertRegistry::reset();
        auto sharer = SXSharer::make<SXGoogleReader>();
        sharer->setItem(link());
        ASSERT_TRUE(sharer->tryToSend());
        // A second send while the login runs starts nothing new.
        ASSERT_TRUE(sharer->tryToSend());
        EXPECT_TRUE(sharer->sendAfterLogin());
        ASSERT_TRUE(waitForEvents(c.events.size()));
        EXPECT_EQ(notes_.events, c.events);
        EXPECT_EQ(seenAt(kLogin).size(), 1u);
        EXPECT_EQ(platform::AlertRegistry::shownAlerts().size(), *c.alert ? 1u : 0u);
        if (*c.alert) {
            EXPECT_EQ(topAlertText(), c.alert);
        }
    }
}

}  // namespace
}  // namespace clipora
