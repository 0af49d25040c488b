#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "net/request/RQError.h"
#include "net/request/RQHTTPRequest.h"
#include "platform/foundation/Exception.h"
#include "tests/net/request/RequestTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/RawServer.h"
#include "tests/support/TestCA.h"

namespace clipora::test {
namespace {

// The failures that guard the engine's security: each with its code and
// the text callers show.
class SecurityTest : public RequestTest {};

TEST_F(SecurityTest, AnUntrustedServerIsAConnectionFailureWithTheSSLText) {
    TestCA ca(home() / "tls");  // not trusted by the engine
    LoopbackServer server(ca.server().certificateFile, ca.server().privateKeyFile);
    server.server().Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/plain"); });
    server.start();
    auto request = get(server.url("/"));
    ASSERT_TRUE(runAsync(request));
    ASSERT_TRUE(request->error());
    EXPECT_TRUE(RQError::is(*request->error(), RQError::kConnectionFailure));
    EXPECT_EQ(request->error()->localizedDescription(),
              "A connection failure occurred: SSL problem (Possible causes may include a bad/expired/self-signed "
              "certificate, clock set to wrong date)");
    EXPECT_TRUE(request->error()->underlyingError());

    // Without validation the same server answers.
    auto unchecked = get(server.url("/"));
    unchecked->setValidatesSecureCertificate(false);
    ASSERT_TRUE(runAsync(unchecked));
    EXPECT_FALSE(unchecked->error());
}

TEST_F(SecurityTest, AChallengeOfAnUnknownSchemeIsCode7) {
    RawServer server([](RawServer::Connection& c) {
        c.readRequest();
        c.send("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Negotiate\r\nContent-Length: 0\r\n\r\n");
    });
    auto request = get(server.url("/"));
    request->setUsername("user");
    request->setPassword("secret");
    ASSERT_TRUE(runAsync(request));
    ASSERT_TRUE(request->error());
    EXPECT_TRUE(RQError::is(*request->error(), RQError::kUnableToApplyCredentials));
    EXPECT_EQ(request->error()->localizedDescription(), "Failed to get authentication object from response headers");
}

// Requests that must fail before a byte leaves the machine: no usable URL
// (code 5, its shared text), and a download that would replace something
// other than a file (code 8), which stays as it was.
TEST_F(SecurityTest, RequestsRefusedBeforeAnythingIsSent) {
    RawServer server([](RawServer::Connection& c) {
        c.readRequest();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nvideo");
    });
    const auto folder = home() / "Documents" / "clips";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "kept.txt") << "kept";

    auto withDestination = [&](const std::string& path) {
        auto request = get(server.url("/video"));
        request->setDownloadDestinationPath(path);
        return request;
    };
    const struct {
        const char* what;
        std::shared_ptr<RQHTTPRequest> request;
        std::int64_t code;
    } cases[] = {
        {"no URL", RQHTTPRequest::requestWithURL(std::nullopt), RQError::kUnableToCreateRequest},
        {"not http", RQHTTPRequest::requestWithURL(platform::URL::fromString("file:///etc/passwd")),
         RQError::kUnableToCreateRequest},
        {"onto a folder", withDestination(folder.string()), RQError::kFileManagement},
        {"onto a device", withDestination("/dev/null"), RQError::kFileManagement},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(runAsync(c.request)) << c.what;
        ASSERT_TRUE(c.request->error()) << c.what;
        EXPECT_TRUE(RQError::is(*c.request->error(), c.code)) << c.what << ": " << c.request->error()->localizedDescription();
        if (c.code == RQError::kUnableToCreateRequest) {
            EXPECT_EQ(c.request->error()->localizedDescription(), "Unable to create request (bad url?)") << c.what;
        }
    }
    EXPECT_EQ(server.connectionsAccepted(), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(fileText(folder / "kept.txt"), "kept");
}

// A request class whose body cannot be built.
class ThrowingRequest : public RQHTTPRequest {
public:
    using RQHTTPRequest::RQHTTPRequest;
    void buildPostBody() override { throw platform::Exception("BodyException", "the body could not be built"); }
};

TEST_F(SecurityTest, AnExceptionWhileStartingIsCode10) {
    auto request = std::make_shared<ThrowingRequest>(platform::URL::fromString("http://127.0.0.1:9/"));
    ASSERT_TRUE(runAsync(request));
    ASSERT_TRUE(request->error());
    EXPECT_TRUE(RQError::is(*request->error(), RQError::kUnhandledException));
    EXPECT_EQ(request->error()->localizedDescription(), "BodyException");
}

}  // namespace
}  // namespace clipora::test
