#include "platform/system/Keychain.h"

#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

class KeychainTest : public test::PlatformTest {
protected:
    void TearDown() override {
        Keychain::clearInjectedFailures();
        test::PlatformTest::TearDown();
    }

    static Data bytes(const std::string& text) { return Data(text.begin(), text.end()); }
    static Keychain::Item item(const std::string& service, const std::string& account, const std::string& secret) {
        return Keychain::Item{service, account, service, bytes(secret), {}, {}};
    }
    static unsigned mode(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        return st.st_mode & 07777;
    }
};

TEST_F(KeychainTest, StoreFileIsPrivateAndItemsSurviveAReload) {
    const std::string secret = std::string("p\ta\ns\0s", 7);  // bytes that could break a naive file layout
    ASSERT_EQ(Keychain::add(item("SX_AUTH_SXTwitter", "username", "alice")), Keychain::kSuccess);
    ASSERT_EQ(Keychain::add(item("SX_AUTH_SXTwitter", "password", secret)), Keychain::kSuccess);

    const std::string path = Keychain::storePath();
    EXPECT_TRUE(std::filesystem::path(path).string().starts_with(home().string()));
    EXPECT_EQ(mode(path), 0600u);
    EXPECT_EQ(mode(std::filesystem::path(path).parent_path().string()), 0700u);

    // Every call reads the file afresh: a copy of the store is all it takes.
    EXPECT_EQ(Keychain::passwordForServiceAccount("SX_AUTH_SXTwitter", "password"), secret);
    Keychain::Item found;
    ASSERT_EQ(Keychain::find({"SX_AUTH_SXTwitter", "username", std::nullopt}, &found), Keychain::kSuccess);
    EXPECT_EQ(found.value, bytes("alice"));
    EXPECT_EQ(found.label, "SX_AUTH_SXTwitter");
    EXPECT_EQ(found.creationDate, test::fixedTestDate());

    std::vector<Keychain::Item> all;
    ASSERT_EQ(Keychain::findAll({"SX_AUTH_SXTwitter", std::nullopt, std::nullopt}, &all), Keychain::kSuccess);
    EXPECT_EQ(all.size(), 2u);
    EXPECT_EQ(mode(path), 0600u);  // still private after rewrites
}

TEST_F(KeychainTest, AddUpdateFindDeleteAnswerThePlatformStatuses) {
    const Keychain::Query query{"svc", "acct", std::nullopt};
    EXPECT_EQ(Keychain::find(query, nullptr), Keychain::kItemNotFound);
    EXPECT_EQ(Keychain::update(query, bytes("x")), Keychain::kItemNotFound);
    EXPECT_EQ(Keychain::remove(query), Keychain::kItemNotFound);

    EXPECT_EQ(Keychain::add(item("svc", "acct", "one")), Keychain::kSuccess);
    EXPECT_EQ(Keychain::add(item("svc", "acct", "two")), Keychain::kDuplicateItem);
    EXPECT_EQ(Keychain::add(item("svc", "other", "three")), Keychain::kSuccess);

    test::PlatformTest::advanceClock(60);
    EXPECT_EQ(Keychain::update({"svc", "acct", "svc"}, bytes("two")), Keychain::kSuccess);
    EXPECT_EQ(Keychain::update({"svc", "acct", "wrong label"}, bytes("zzz")), Keychain::kItemNotFound);
    Keychain::Item found;
    ASSERT_EQ(Keychain::find(query, &found), Keychain::kSuccess);
    EXPECT_EQ(found.value, bytes("two"));
    EXPECT_EQ(found.modificationDate, test::fixedTestDate().addingTimeInterval(60));
    EXPECT_EQ(found.creationDate, test::fixedTestDate());

    EXPECT_EQ(Keychain::remove(query), Keychain::kSuccess);
    EXPECT_EQ(Keychain::find(query, nullptr), Keychain::kItemNotFound);
    EXPECT_EQ(Keychain::passwordForServiceAccount("svc", "other"), "three");

    EXPECT_EQ(Keychain::setPasswordForServiceAccount("four", "svc", "other"), Keychain::kSuccess);
    EXPECT_EQ(Keychain::setPasswordForServiceAccount("five", "svc", "new"), Keychain::kSuccess);
    EXPECT_EQ(Keychain::passwordForServiceAccount("svc", "other"), "four");
    EXPECT_EQ(Keychain::passwordForServiceAccount("svc", "new"), "five");
}

TEST_F(KeychainTest, InjectedFailuresAndADamagedStoreAreReportedNotHidden) {
    ASSERT_EQ(Keychain::add(item("svc", "acct", "one")), Keychain::kSuccess);
    Keychain::injectFailure(-34018, 2);
    EXPECT_EQ(Keychain::find({"svc", "acct", std::nullopt}, nullptr), -34018);
    EXPECT_EQ(Keychain::add(item("svc", "b", "two")), -34018);
    EXPECT_EQ(Keychain::passwordForServiceAccount("svc", "acct"), "one");

    std::ofstream(Keychain::storePath(), std::ios::trunc) << "something else\n";
    EXPECT_EQ(Keychain::find({"svc", "acct", std::nullopt}, nullptr), Keychain::kDecode);
    EXPECT_EQ(Keychain::add(item("svc", "c", "three")), Keychain::kDecode);  // the store is left for repair
}

}  // namespace
}  // namespace clipora::platform
