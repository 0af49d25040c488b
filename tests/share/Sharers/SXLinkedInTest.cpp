#include <gtest/gtest.h>

#include "platform/foundation/Text.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/TextView.h"
#include "share/Core/Helpers/OAuth/OAHMAC_SHA1SignatureProvider.h"
#include "share/Core/Helpers/OAuth/OAURLEncoding.h"
#include "share/Core/SX.h"
#include "share/Sharers/SXLinkedIn.h"
#include "share/Sharers/SXLinkedInOAMutableURLRequest.h"
#include "share/Sharers/SXLinkedInTextForm.h"
#include "tests/share/Sharers/ServiceStandIn.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;
using Reply = test::ServiceStandIn::Reply;
using platform::Text;

// The receiving side of an OAuth 1.0 signature, written from RFC 5849
// alone (the stand-in's server has already percent-decoded header values): the "Authorization" header's parameters (but
// the signature and the realm) and the query's, each percent-encoded once, sorted, joined and signed with the consumer
// and token secrets.
struct Signed {
    std::map<std::string, std::string> oauth;
    bool valid = false;
};

Signed checkSignature(const test::ServiceStandIn::Seen& seen, const std::string& url, const std::string& tokenSecret) {
    Signed result;
    auto header = seen.header("Authorization");
    if (!Text::hasPrefix(header, "OAuth ")) return result;
    for (auto piece : Text::split(header.substr(6), ",")) {
        piece = Text::trimWhitespaceAndNewlines(piece);
        auto pair = Text::splitAtFirst(piece, "=");
        if (!pair) continue;
        result.oauth[OAURLEncoding::URLDecodedString(pair->first)] =
            OAURLEncoding::URLDecodedString(Text::trim(pair->second, "\""));
    }
    std::vector<std::string> pairs;
    auto add = [&](const std::string& name, const std::string& value) {
        pairs.push_back(OAURLEncoding::URLEncodedString(name) + "=" + OAURLEncoding::URLEncodedString(value));
    };
    for (const auto& [name, value] : result.oauth)
        if (name != "oauth_signature" && name != "realm") add(name, value);
    for (const auto& [name, value] : seen.params) add(name, value);
    std::sort(pairs.begin(), pairs.end());
    auto base = seen.method + "&" + OAURLEncoding::URLEncodedString(url) + "&" +
                OAURLEncoding::URLEncodedString(Text::join(pairs, "&"));
    auto expected = OAHMAC_SHA1SignatureProvider().signClearTextWithSecret(
        base, "cs&" + OAURLEncoding::URLEncodedString(tokenSecret));
    result.valid = expected == result.oauth["oauth_signature"];
    return result;
}

class SXLinkedInTest : public test::SharerTest {
protected:
    void SetUp() override {
        SharerTest::SetUp();
        configure({{SXLinkedIn::kAPIBaseURLKey, service().base()},
                   {SXLinkedIn::kSiteBaseURLKey, service().base()},
                   {"linkedInConsumerKey", "ck"},
                   {"linkedInSecret", "cs"},
                   {"linkedInCallbackUrl", "app://linkedin/done?x=1"}});
    }
    static void storeAccessToken() {
        SX::setAuthValueForKeyForSharer("at", "accessKey", "SXLinkedIn");
        SX::setAuthValueForKeyForSharer("as", "accessSecret", "SXLinkedIn");
    }
    std::string url(const std::string& path) const { return standIn_->base() + path; }
};

TEST_F(SXLinkedInTest, TheAccessTokenRequestSignsVerifierAndCallbackOnce) {
    service().reply("/uas/oauth/accessToken", Reply{200, "oauth_token=at&oauth_token_secret=as", {}});
    auto sharer = SXSharer::make<SXLinkedIn>();
    sharer->setRequestToken(OAToken("rt", "r+s"));
    // A verifier with characters that need escaping: encoded twice it would
    // no longer match what the service signs.
    sharer->setAuthorizeResponseQueryVars(SXOAuthViewDelegate::QueryParams{{"oauth_verifier", "v+1/=&"}});
    sharer->tokenAccess();
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(notes_.events, (Events{"auth yes"}));
    EXPECT_EQ(SX::getAuthValueForKeyForSharer("accessSecret", "SXLinkedIn"), "as");

    auto seen = service().last();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.path, "/uas/oauth/accessToken");
    auto check = checkSignature(seen, url("/uas/oauth/accessToken"), "r+s");
    EXPECT_TRUE(check.valid) << seen.header("Authorization");
    EXPECT_EQ(check.oauth["oauth_verifier"], "v+1/=&");
    EXPECT_EQ(check.oauth["oauth_callback"], "app://linkedin/done?x=1");
    // Sent as the network's own kind of request: the callback first.
    EXPECT_TRUE(Text::hasPrefix(seen.header("Authorization"), "OAuth realm=\"\", oauth_callback=\""))
        << seen.header("Authorization");
    EXPECT_EQ(check.oauth["oauth_token"], "rt");
    EXPECT_EQ(check.oauth["oauth_consumer_key"], "ck");
}

// The network's own request signs exactly what the plain request with the
// callback as an extra OAuth parameter signed: the same base string and
// signature; only the header names the callback first. An empty callback
// adds nothing.
TEST(SXLinkedInOAMutableURLRequestTest, SignsTheCallbackAsBefore) {
    const auto url = *platform::URL::fromString("https://api.example/uas/oauth/accessToken");
    for (const std::string callback : {"app://linkedin/done?x=1", ""}) {
        SCOPED_TRACE(callback);
        SXLinkedInOAMutableURLRequest linked(url, OAConsumer("ck", "cs"), OAToken("rt", "r+s"), std::nullopt, nullptr,
                                             "nonce", "1700000000", callback);
        OAMutableURLRequest plain(url, OAConsumer("ck", "cs"), OAToken("rt", "r+s"), std::nullopt, nullptr, "nonce",
                                  "1700000000");
        for (OAMutableURLRequest* request : {static_cast<OAMutableURLRequest*>(&linked), &plain}) {
            request->setHTTPMethod("POST");
            request->setOAuthParameterNameWithValue("oauth_verifier", "v+1/=&");
        }
        if (!callback.empty()) plain.setOAuthParameterNameWithValue("oauth_callback", callback);
        EXPECT_EQ(linked.signatureBaseString(), plain.signatureBaseString());
        linked.prepare();
        plain.prepare();
        EXPECT_EQ(linked.signature(), plain.signature());
        const auto header = *linked.valueForHTTPHeaderField("Authorization");
        if (callback.empty()) {
            EXPECT_EQ(header, *plain.valueForHTTPHeaderField("Authorization"));
            EXPECT_FALSE(Text::contains(header, "oauth_callback"));
        } else {
            EXPECT_TRUE(Text::hasPrefix(header,
                                        "OAuth realm=\"\", oauth_callback=\"app%3A%2F%2Flinkedin%2Fdone%3Fx%3D1\", "
                                        "oauth_consumer_key=\"ck\", oauth_token=\"rt\", "))
                << header;
            EXPECT_TRUE(Text::hasSuffix(header, "oauth_version=\"1.0\", oauth_verifier=\"v%2B1%2F%3D%26\"")) << header;
        }
    }
}

TEST_F(SXLinkedInTest, SharesLinksAndTextsAsEscapedXML) {
    storeAccessToken();
    struct Case {
        std::shared_ptr<SXItem> item;
        std::string body;
    };
    auto link = SXItem::URLTitle(platform::URL::fromString("http://example.com/v?a=1&b=2"), "Tom & \"Jerry\"");
    link->setCustomValueForKey(platform::Value("connections</code><x>"), "visibility.code");
    Case cases[] = {
        {SXItem::text("a < b & c"),
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><share><comment>a &lt; b &amp; c</comment><visibility><code>anyone"
         "</code></visibility></share>"},
        {link,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><share><comment>Tom &amp; &quot;Jerry&quot;</comment><content>"
         "<submitted-url>http://example.com/v?a=1&amp;b=2</submitted-url></content><visibility><code>"
         "connections&lt;/code&gt;&lt;x&gt;</code></visibility></share>"},
    };
    service().reply("/v1/people/~/shares", Reply{201, "", {}});
    for (const auto& c : cases) {
        sendNow(SXSharer::make<SXLinkedIn>(), c.item);
        EXPECT_EQ(notes_.events, (Events{"start", "finish"}));
        auto seen = service().last();
        EXPECT_EQ(seen.path, "/v1/people/~/shares");
        EXPECT_EQ(seen.header("Content-Type"), "text/xml;charset=UTF-8");
        EXPECT_EQ(seen.body, c.body);
        auto check = checkSignature(seen, url("/v1/people/~/shares"), "as");
        EXPECT_TRUE(check.valid) << seen.header("Authorization");
        EXPECT_EQ(check.oauth["oauth_token"], "at");
    }

    // The comment is edited in the compose screen: neither empty nor beyond
    // 700 characters (not bytes); the counter shows what is left.
    notes_.events.clear();
    auto sharer = SXSharer::shareText<SXLinkedIn>("x");
    auto navigation = std::dynamic_pointer_cast<platform::NavigationController>(presented());
    ASSERT_TRUE(navigation);
    auto compose = std::dynamic_pointer_cast<SXLinkedInTextForm>(navigation->topViewController());
    ASSERT_TRUE(compose);
    EXPECT_EQ(compose->textView()->text(), "x");
    EXPECT_EQ(compose->counter()->text(), "699");
    struct Edit {
        std::string text;
        std::string alert;
        std::string counter;
    } edits[] = {
        {"", "Message is empty: You must enter a message in order to post.", "700"},
        {std::string(701, 'a'), "Message is too long: LinkedIn posts can only be 700 characters in length.", "-1"},
    };
    for (const auto& edit : edits) {
        platform::AlertRegistry::reset();
        compose->textView()->setText(edit.text);
        compose->textViewDidChange(compose->textView());
        EXPECT_EQ(compose->counter()->text(), edit.counter);
        compose->save();
        EXPECT_EQ(topAlertText(), edit.alert);
        EXPECT_TRUE(notes_.events.empty());
    }
    std::string accented;
    for (int i = 0; i < 700; ++i) accented += "\xc3\xa9";
    compose->textView()->setText(accented);
    compose->save();
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(notes_.events, (Events{"start", "finish"}));
    EXPECT_NE(service().last().body.find("<comment>" + accented + "</comment>"), std::string::npos);
    settle();

    // A link needs a title.
    EXPECT_FALSE(SXSharer::make<SXLinkedIn>()->tryToSend());
    auto untitled = SXSharer::make<SXLinkedIn>();
    untitled->setItem(SXItem::URLTitle(platform::URL::fromString("http://example.com/"), ""));
    EXPECT_FALSE(untitled->validateItem());

    // A refusal reports the fixed text and never asks for a new login.
    service().reply("/v1/people/~/shares", Reply{401, "<error/>", {}});
    sendNow(SXSharer::make<SXLinkedIn>(), SXItem::text("t"));
    expectOutcome("Why it failed", false);
}

}  // namespace
}  // namespace clipora
