#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/cfnetwork/URLCredential.h"
#include "platform/cfnetwork/URLCredentialStorage.h"
#include "platform/cfnetwork/URLProtectionSpace.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

using test::PlatformTest;
using Persistence = URLCredential::Persistence;

class CredentialTest : public PlatformTest {};

URLProtectionSpace server(std::string_view method = URLProtectionSpace::kAuthenticationMethodDefault) {
    return URLProtectionSpace("api.example.com", 443, "https", std::string("Users"), method);
}

TEST_F(CredentialTest, KeepsCredentialsBySpaceAndPersistence) {
    URLCredentialStorage storage;
    storage.setCredentialForProtectionSpace(URLCredential("nobody", "x", Persistence::None), server());
    EXPECT_TRUE(storage.credentialsForProtectionSpace(server()).empty());

    storage.setDefaultCredentialForProtectionSpace(URLCredential("ann", "pw1", Persistence::ForSession), server());
    storage.setCredentialForProtectionSpace(URLCredential("bob", "pw2", Persistence::Permanent), server());
    EXPECT_EQ(storage.credentialsForProtectionSpace(server()).size(), 2u);
    // The password methods share one entry; the space's host matches in any case.
    auto viaDigest = storage.defaultCredentialForProtectionSpace(URLProtectionSpace(
        "API.example.com", 443, "https", std::string("Users"), URLProtectionSpace::kAuthenticationMethodHTTPDigest));
    ASSERT_TRUE(viaDigest);
    EXPECT_EQ(viaDigest->user(), "ann");
    EXPECT_EQ(viaDigest->password(), "pw1");

    // Other realm, port, protocol, or a proxy space of the same host: other spaces.
    EXPECT_FALSE(storage.defaultCredentialForProtectionSpace(
        URLProtectionSpace("api.example.com", 443, "https", std::string("Admins"))));
    EXPECT_FALSE(storage.defaultCredentialForProtectionSpace(
        URLProtectionSpace("api.example.com", 80, "http", std::string("Users"))));
    EXPECT_FALSE(storage.defaultCredentialForProtectionSpace(URLProtectionSpace::proxySpace(
        "api.example.com", 443, URLProtectionSpace::kProxyTypeHTTPS, std::string("Users"))));

    storage.removeCredentialForProtectionSpace(URLCredential("ann", "", Persistence::ForSession), server());
    EXPECT_FALSE(storage.defaultCredentialForProtectionSpace(server()));
    EXPECT_EQ(storage.credentialsForProtectionSpace(server()).count("bob"), 1u);
}

TEST_F(CredentialTest, PermanentCredentialsLiveInAPrivateFileAndNeverInTheLog) {
    Log::Capture log;
    auto storage = URLCredentialStorage::sharedCredentialStorage();
    auto proxy = URLProtectionSpace::proxySpace("proxy.local", 3128, URLProtectionSpace::kProxyTypeHTTP, std::nullopt);
    storage->setDefaultCredentialForProtectionSpace(URLCredential("ann", "s3cret-pw", Persistence::Permanent),
                                                    server());
    storage->setCredentialForProtectionSpace(URLCredential("pat", "proxy-pw", Persistence::Permanent), proxy);
    storage->setCredentialForProtectionSpace(URLCredential("tmp", "session-pw", Persistence::ForSession), proxy);

    ASSERT_TRUE(storage->file());
    struct stat info {};
    ASSERT_EQ(stat(storage->file()->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    auto bytes = FileManager::contentsOfFile(*storage->file());
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()).find("session-pw"), std::string::npos);

    // A store reading the same file (a later launch) has the permanent ones.
    URLCredentialStorage reloaded(*storage->file());
    auto again = reloaded.defaultCredentialForProtectionSpace(server());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->password(), "s3cret-pw");
    EXPECT_EQ(again->persistence(), Persistence::Permanent);
    auto proxyCredentials = reloaded.credentialsForProtectionSpace(proxy);
    EXPECT_EQ(proxyCredentials.size(), 1u);
    EXPECT_EQ(proxyCredentials.count("pat"), 1u);

    EXPECT_EQ(again->description().find("s3cret"), std::string::npos);
    EXPECT_FALSE(log.contains("s3cret-pw"));
    EXPECT_FALSE(log.contains("proxy-pw"));
}

}  // namespace
}  // namespace clipora::platform
