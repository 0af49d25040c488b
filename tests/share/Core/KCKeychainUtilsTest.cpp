#include "share/Core/KCKeychainUtils.h"

#include <gtest/gtest.h>

#include "platform/foundation/Clock.h"
#include "platform/system/Keychain.h"
#include "tests/support/TestHome.h"

namespace clipora {
namespace {

using platform::Keychain;

class KCKeychainUtilsTest : public test::PlatformTest {
protected:
    static std::optional<std::string> get(const char* user, std::optional<platform::Error>* error = nullptr) {
        return KCKeychainUtils::getPasswordForUsernameAndServiceNameError(user, std::string("SX_AUTH_S"), error);
    }
    static bool store(const char* user, const char* secret, bool update,
                      std::optional<platform::Error>* error = nullptr) {
        return KCKeychainUtils::storeUsernameAndPasswordForServiceNameUpdateExistingError(
            user, std::string(secret), std::string("SX_AUTH_S"), update, error);
    }
};

TEST_F(KCKeychainUtilsTest, StoresUpdatesReadsAndDeletes) {
    std::optional<platform::Error> error;
    EXPECT_FALSE(get("username", &error));
    EXPECT_FALSE(error);  // missing is no error

    EXPECT_TRUE(store("username", "alice", true));
    EXPECT_EQ(get("username"), "alice");
    Keychain::Item item;
    ASSERT_EQ(Keychain::find({std::string("SX_AUTH_S"), std::string("username"), std::nullopt}, &item), 0);
    EXPECT_EQ(item.label, "SX_AUTH_S");

    // The same secret again writes nothing; without update an existing
    // secret stays.
    auto modified = item.modificationDate;
    platform::Clock::advance(10);
    EXPECT_TRUE(store("username", "alice", true));
    ASSERT_EQ(Keychain::find({std::string("SX_AUTH_S"), std::string("username"), std::nullopt}, &item), 0);
    EXPECT_EQ(item.modificationDate, modified);
    EXPECT_TRUE(store("username", "bob", false));
    EXPECT_EQ(get("username"), "alice");
    EXPECT_TRUE(store("username", "bob", true));
    EXPECT_EQ(get("username"), "bob");

    EXPECT_TRUE(KCKeychainUtils::deleteItemForUsernameAndServiceNameError(std::string("username"),
                                                                          std::string("SX_AUTH_S"), &error));
    EXPECT_FALSE(get("username"));
}

TEST_F(KCKeychainUtilsTest, ReportsMissingArgumentsSecretlessItemsAndStoreFailures) {
    std::optional<platform::Error> error;
    EXPECT_FALSE(KCKeychainUtils::getPasswordForUsernameAndServiceNameError(std::nullopt, std::string("s"), &error));
    EXPECT_EQ(error->code(), KCKeychainUtils::kMissingArgument);
    EXPECT_EQ(error->domain(), "KCKeychainUtilsErrorDomain");
    EXPECT_FALSE(KCKeychainUtils::storeUsernameAndPasswordForServiceNameUpdateExistingError(
        std::string("u"), std::nullopt, std::string("s"), true, &error));
    EXPECT_EQ(error->code(), KCKeychainUtils::kMissingArgument);

    // An item without a secret reads as -1999 and is replaced when stored.
    Keychain::Item bare;
    bare.service = "SX_AUTH_S";
    bare.account = "password";
    ASSERT_EQ(Keychain::add(bare), 0);
    EXPECT_FALSE(get("password", &error));
    EXPECT_EQ(error->code(), KCKeychainUtils::kNoSecret);
    EXPECT_TRUE(store("password", "secret", false));
    EXPECT_EQ(get("password"), "secret");

    Keychain::injectFailure(Keychain::kDecode);
    EXPECT_FALSE(store("other", "x", true, &error));
    EXPECT_EQ(error->code(), Keychain::kDecode);
    Keychain::clearInjectedFailures();
}

}  // namespace
}  // namespace clipora
