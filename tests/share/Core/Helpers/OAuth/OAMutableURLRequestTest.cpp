#include "share/Core/Helpers/OAuth/OAMutableURLRequest.h"

#include <gtest/gtest.h>

#include "platform/foundation/Text.h"
#include "share/Core/Helpers/OAuth/OAPlaintextSignatureProvider.h"
#include "share/Core/Helpers/OAuth/OAToken.h"
#include "share/Core/Helpers/OAuth/OAURLEncoding.h"

namespace clipora {
namespace {

using platform::URL;

OAMutableURLRequest photosRequest(std::shared_ptr<OASignatureProviding> provider) {
    return OAMutableURLRequest(*URL::fromString("http://photos.example.net/photos?file=vacation.jpg&size=original"),
                               OAConsumer("dpf43f3p2l4k3l03", "kd94hf93k423kf44"),
                               OAToken("nnch734d00sl2jdk", "pfkkdhi9sl3r4s00"), std::nullopt, std::move(provider),
                               "kllo9940pd9333jh", "1191242096");
}

TEST(OAMutableURLRequestTest, SignsTheClassicPhotosExampleWithHMACSHA1) {
    auto request = photosRequest(nullptr);
    EXPECT_EQ(
        request.signatureBaseString(),
        "GET&http%3A%2F%2Fphotos.example.net%2Fphotos&file%3Dvacation.jpg%26oauth_consumer_key%3Ddpf43f3p2l4k3l03%"
        "26oauth_nonce%3Dkllo9940pd9333jh%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1191242096%"
        "26oauth_token%3Dnnch734d00sl2jdk%26oauth_version%3D1.0%26size%3Doriginal");
    request.prepare();
    EXPECT_EQ(request.signature(), "tR3+Ty81lMeYAr/Fid0kMTYa/WM=");
    EXPECT_EQ(request.valueForHTTPHeaderField("Authorization"),
              "OAuth realm=\"\", oauth_consumer_key=\"dpf43f3p2l4k3l03\", oauth_token=\"nnch734d00sl2jdk\", "
              "oauth_signature_method=\"HMAC-SHA1\", oauth_signature=\"tR3%2BTy81lMeYAr%2FFid0kMTYa%2FWM%3D\", "
              "oauth_timestamp=\"1191242096\", oauth_nonce=\"kllo9940pd9333jh\", oauth_version=\"1.0\"");
    // Signed once: later changes are not signed again.
    request.setOAuthParameterNameWithValue("oauth_callback", "x");
    request.prepare();
    EXPECT_EQ(request.signature(), "tR3+Ty81lMeYAr/Fid0kMTYa/WM=");
}

TEST(OAMutableURLRequestTest, PlaintextSignsWithTheSecrets) {
    auto request = photosRequest(std::make_shared<OAPlaintextSignatureProvider>());
    request.prepare();
    EXPECT_EQ(request.signature(), "kd94hf93k423kf44&pfkkdhi9sl3r4s00");
    EXPECT_TRUE(platform::Text::contains(*request.valueForHTTPHeaderField("Authorization"),
                                         "oauth_signature_method=\"PLAINTEXT\", "
                                         "oauth_signature=\"kd94hf93k423kf44%26pfkkdhi9sl3r4s00\""));
    // Without a token: no token pair, the secret ends in "&".
    OAMutableURLRequest bare(*URL::fromString("http://a.example/x"), OAConsumer("ck", "c s"), std::nullopt,
                             std::nullopt, std::make_shared<OAPlaintextSignatureProvider>(), "n", "1");
    bare.prepare();
    EXPECT_EQ(bare.signature(), "c%20s&");
    EXPECT_FALSE(platform::Text::contains(*bare.valueForHTTPHeaderField("Authorization"), "oauth_token"));
}

// RFC 5849, section 3.4.1: query and form body both take part, "+" in the
// body is a blank, a piece without "=" is an empty value; this consumer
// always adds oauth_version, which sorts last here.
TEST(OAMutableURLRequestTest, BuildsTheBaseStringOfRFC5849Section341) {
    OAMutableURLRequest request(*URL::fromString("http://example.com/request?b5=%3D%253D&a3=a&c%40=&a2=r%20b"),
                                OAConsumer("9djdj82h48djs9d2", "j49sk3j29djd"),
                                OAToken("kkk9d7dh3k39sjv7", "dh893hdasih9"), std::nullopt, nullptr, "7d8f3e4a",
                                "137131201");
    request.setHTTPMethod("POST");
    request.setValueForHTTPHeaderField("application/x-www-form-urlencoded", "Content-Type");
    request.setHTTPBody(platform::Text::toData("c2&a3=2+q"));
    EXPECT_EQ(
        request.signatureBaseString(),
        "POST&http%3A%2F%2Fexample.com%2Frequest&a2%3Dr%2520b%26a3%3D2%2520q%26a3%3Da%26b5%3D%253D%25253D%26c%2540%"
        "3D%26c2%3D%26oauth_consumer_key%3D9djdj82h48djs9d2%26oauth_nonce%3D7d8f3e4a%26oauth_signature_method%3DHMAC-"
        "SHA1%26oauth_timestamp%3D137131201%26oauth_token%3Dkkk9d7dh3k39sjv7%26oauth_version%3D1.0");
    // A multipart body's fields are not signed.
    request.setValueForHTTPHeaderField("multipart/form-data; boundary=x", "Content-Type");
    EXPECT_FALSE(platform::Text::contains(request.signatureBaseString(), "c2%3D"));
}

// RFC 5849, section 3.4.1.2: the server signs the address it was reached
// at, so case, a default port, user information and a fragment as written
// must not change the base string.
TEST(OAMutableURLRequestTest, NormalisesTheBaseStringURI) {
    struct Case {
        const char* written;
        const char* signedAs;
    } cases[] = {
        {"http://EXAMPLE.COM:80/r%20v/X?id=123", "http://example.com/r%20v/X"},
        {"HTTPS://API.Example:443/1/statuses", "https://api.example/1/statuses"},
        {"https://api.example:8443/a", "https://api.example:8443/a"},
        {"http://api.example:443/a", "http://api.example:443/a"},
        {"https://api.example:80/a", "https://api.example:80/a"},
        {"https://api.example/a?b=1#frag", "https://api.example/a"},
        {"https://api.example/a#frag?x", "https://api.example/a"},
        {"https://api.example", "https://api.example/"},
        {"https://user:pw@api.example/a", "https://api.example/a"},
        {"http://[::1]:8080/a", "http://[::1]:8080/a"},
        {"http://127.0.0.1:80/a/B/", "http://127.0.0.1/a/B/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        OAMutableURLRequest request(*URL::fromString(c.written), OAConsumer("k", "s"), std::nullopt, std::nullopt,
                                    nullptr, "n", "1");
        const auto base = request.signatureBaseString();
        const auto uri = base.substr(4, base.find('&', 4) - 4);
        EXPECT_EQ(uri, OAURLEncoding::URLEncodedString(c.signedAs));
    }
    // The query still takes part; the fragment does not.
    OAMutableURLRequest fragment(*URL::fromString("https://api.example/a?b=1#c=2"), OAConsumer("k", "s"), std::nullopt,
                                 std::nullopt, nullptr, "n", "1");
    EXPECT_TRUE(platform::Text::contains(fragment.signatureBaseString(), "b%3D1"));
    EXPECT_FALSE(platform::Text::contains(fragment.signatureBaseString(), "c%3D2"));
}

TEST(OAMutableURLRequestTest, ExtraParametersAndParameterBodies) {
    OAMutableURLRequest request(*URL::fromString("http://a.example/p"), OAConsumer("k", "s"), std::nullopt,
                                std::string("r"), nullptr, "n", "1");
    request.setHTTPMethod("POST");
    request.setOAuthParameterNameWithValue("oauth_callback", "http://cb.example/a:b");
    request.setParameters({{"status", "caf\xC3\xA9 & +"}, {"x", "1"}});
    EXPECT_EQ(std::string(request.HTTPBody()->begin(), request.HTTPBody()->end()), "status=caf%C3%A9%20%26%20%2B&x=1");
    EXPECT_EQ(request.valueForHTTPHeaderField("Content-Length"), "32");
    EXPECT_EQ(request.parameters()->at(0).value(), "caf\xC3\xA9 & +");
    EXPECT_TRUE(platform::Text::contains(request.signatureBaseString(),
                                         "oauth_callback%3Dhttp%253A%252F%252Fcb.example%252Fa%253Ab"));
    request.prepare();
    auto header = *request.valueForHTTPHeaderField("Authorization");
    EXPECT_TRUE(
        platform::Text::hasPrefix(header, "OAuth realm=\"r\", oauth_consumer_key=\"k\", oauth_signature_method"));
    EXPECT_TRUE(platform::Text::hasSuffix(header, ", oauth_callback=\"http%3A%2F%2Fcb.example%2Fa%3Ab\""));
    EXPECT_EQ(request.signature().size(), 28u);

    OAMutableURLRequest get(*URL::fromString("http://a.example/g?old=1"), OAConsumer("k", "s"), std::nullopt,
                            std::nullopt, nullptr, "n", "1");
    get.setParameters({{"q", "a b"}});
    EXPECT_EQ(get.url().absoluteString(), "http://a.example/g?q=a%20b");
}

TEST(OATokenTest, ReadsTheTokenFromAReplyBody) {
    auto token = OAToken::initWithHTTPResponseBody(
        "oauth_token=ab%2Bc&oauth_token_secret=s%3D1&oauth_session_handle=h&oauth_callback_confirmed=true");
    EXPECT_EQ(token.key(), "ab+c");
    EXPECT_EQ(token.secret(), "s=1");
    EXPECT_EQ(token.sessionHandle(), "h");
    EXPECT_FALSE(OAToken::initWithHTTPResponseBody("oauth_token=a").sessionHandle());
}

}  // namespace
}  // namespace clipora
