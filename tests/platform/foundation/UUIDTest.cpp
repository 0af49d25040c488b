#include "platform/foundation/UUID.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace clipora::platform {
namespace {

TEST(UUIDTest, StringIsUpperCaseVersion4WithDashes) {
    const std::regex form("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
    for (int i = 0; i < 50; ++i) {
        const std::string text = UUID::newUUIDString();
        EXPECT_TRUE(std::regex_match(text, form)) << text;
    }
}

TEST(UUIDTest, EachIsNew) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) seen.insert(UUID().uuidString());
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(UUIDTest, TextFollowsTheBytes) {
    UUID::Bytes bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 17);
    const UUID uuid(bytes);
    EXPECT_EQ(uuid.uuidString(), "00112233-4455-6677-8899-AABBCCDDEEFF");
    EXPECT_EQ(uuid, UUID(bytes));
    EXPECT_NE(uuid, UUID());
}

}  // namespace
}  // namespace clipora::platform
