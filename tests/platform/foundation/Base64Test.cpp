#include "platform/foundation/Base64.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Digest.h"

namespace clipora::platform {
namespace {

TEST(Base64Test, EncodesRFC4648Vectors) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(Base64::encode(plain), encoded);
        EXPECT_EQ(Base64::decode(encoded), Data(plain.begin(), plain.end())) << encoded;
    }
    EXPECT_EQ(Base64::encode(Data{0xfb, 0xff, 0xbf}), "+/+/");
}

TEST(Base64Test, LineBreaksAfterEveryFullLineButNotAtTheEnd) {
    const Data bytes49(49, 'a');
    const std::string text = Base64::encode(bytes49, 64);
    ASSERT_EQ(text.size(), 70u);
    EXPECT_EQ(text.substr(64, 2), "\r\n");
    EXPECT_EQ(text.substr(66), "YQ==");
    // Exactly one full line: no break at all.
    EXPECT_EQ(Base64::encode(Data(48, 'a'), 64).find('\r'), std::string::npos);
    EXPECT_EQ(Base64::encode(bytes49).find('\r'), std::string::npos);
    // Line-broken text decodes to the same bytes.
    EXPECT_EQ(Base64::decode(text), bytes49);
}

TEST(Base64Test, DecodeRoundTripsRandomBytes) {
    for (std::size_t n : {1u, 2u, 3u, 57u, 1000u}) {
        const Data bytes = Digest::randomBytes(n);
        EXPECT_EQ(Base64::decode(Base64::encode(bytes, 76)), bytes) << n;
    }
}

TEST(Base64Test, DecodeAcceptsMissingPaddingAndWhitespace) {
    EXPECT_EQ(Base64::decode("YW"), Data{'a'});
    EXPECT_EQ(Base64::decode("YWI"), (Data{'a', 'b'}));
    EXPECT_EQ(Base64::decode(" YW\tJj\n"), (Data{'a', 'b', 'c'}));
    EXPECT_EQ(Base64::decode(""), Data{});
}

TEST(Base64Test, DecodeRefusesWhatIsNotBase64) {
    for (const char* bad : {"Y", "YWJjZ", "YW=J", "YWJj=", "YW===", "Y===", "YW*j", "YWJj\x80", "=", "YQ==YQ=="}) {
        EXPECT_FALSE(Base64::decode(bad).has_value()) << bad;
    }
}

}  // namespace
}  // namespace clipora::platform
