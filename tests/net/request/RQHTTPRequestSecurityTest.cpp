#include <filesystem>
#include <fstream>
#include <stdexcept>
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

// A server whose certificate fails any check is a connection failure
// (code 1) with the SSL text, and nothing of its answer reaches the caller;
// the same server answers a request that does not validate, and a
// certificate that passes every check is accepted.
TEST_F(SecurityTest, AnUntrustedServerIsAConnectionFailureWithTheSSLText) {
    TestCA ca(home() / "tls");
    const struct {
        const char* what;
        TestCA::Leaf leaf;
        bool caTrusted;
    } cases[] = {
        {"unknown authority", ca.server(), false},
        {"another host's name", ca.issue({"other.example.test"}, "other"), true},
        {"signed by itself", ca.selfSigned({"localhost", "127.0.0.1"}, "self"), true},
    };
    for (const auto& c : cases) {
        if (c.caTrusted)
            ca.trust();
        else
            ca.untrust();
        LoopbackServer server(c.leaf.certificateFile, c.leaf.privateKeyFile);
        server.server().Get(
            "/", [](const httplib::Request&, httplib::Response& res) { res.set_content("secret", "text/plain"); });
        server.start();
        auto request = get(server.url("/"));
        ASSERT_TRUE(runAsync(request)) << c.what;
        ASSERT_TRUE(request->error()) << c.what;
        EXPECT_TRUE(RQError::is(*request->error(), RQError::kConnectionFailure)) << c.what;
        EXPECT_EQ(request->error()->localizedDescription(),
                  "A connection failure occurred: SSL problem (Possible causes may include a bad/expired/self-signed "
                  "certificate, clock set to wrong date)")
            << c.what;
        EXPECT_TRUE(request->error()->underlyingError()) << c.what;
        EXPECT_EQ(request->responseStatusCode(), 0) << c.what;
        EXPECT_FALSE(request->responseData() && !request->responseData()->empty()) << c.what;

        // Without validation the same server answers.
        auto unchecked = get(server.url("/"));
        unchecked->setValidatesSecureCertificate(false);
        ASSERT_TRUE(runAsync(unchecked)) << c.what;
        EXPECT_FALSE(unchecked->error()) << c.what;
        EXPECT_EQ(unchecked->responseString(), "secret") << c.what;
    }

    ca.trust();
    LoopbackServer trusted(ca.server().certificateFile, ca.server().privateKeyFile);
    trusted.server().Get("/",
                         [](const httplib::Request&, httplib::Response& res) { res.set_content("ok", "text/plain"); });
    trusted.start();
    auto request = get(trusted.url("/"));
    ASSERT_TRUE(runAsync(request));
    EXPECT_FALSE(request->error()) << request->error()->localizedDescription();
    EXPECT_EQ(request->responseString(), "ok");
}

// A challenge the engine cannot answer, from the server or from a proxy, is
// code 7 with its text, whether the scheme is unknown or missing.
TEST_F(SecurityTest, AChallengeWithoutAUsableSchemeIsCode7) {
    const struct {
        const char* what;
        const char* response;
        bool viaProxy;
    } cases[] = {
        {"unknown scheme", "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Negotiate\r\nContent-Length: 0\r\n\r\n",
         false},
        {"no scheme", "HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n", false},
        {"proxy, unknown scheme",
         "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Negotiate\r\nContent-Length: 0\r\n\r\n",
         true},
        {"proxy, no scheme", "HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n", true},
    };
    for (const auto& c : cases) {
        const std::string response = c.response;
        RawServer server([response](RawServer::Connection& connection) {
            connection.readRequest();
            connection.send(response);
        });
        auto request = get(c.viaProxy ? "http://service.example.test/" : server.url("/"));
        if (c.viaProxy) {
            request->setProxyHost("127.0.0.1");
            request->setProxyPort(server.port());
            request->setProxyUsername("user");
            request->setProxyPassword("secret");
        }
        request->setUsername("user");
        request->setPassword("secret");
        ASSERT_TRUE(runAsync(request)) << c.what;
        ASSERT_TRUE(request->error()) << c.what;
        EXPECT_TRUE(RQError::is(*request->error(), RQError::kUnableToApplyCredentials))
            << c.what << ": " << request->error()->localizedDescription();
        EXPECT_EQ(request->error()->localizedDescription(), "Failed to get authentication object from response headers")
            << c.what;
        EXPECT_EQ(server.connectionsAccepted(), 1u) << c.what << ": no second attempt";
    }
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
        EXPECT_TRUE(RQError::is(*c.request->error(), c.code))
            << c.what << ": " << c.request->error()->localizedDescription();
        if (c.code == RQError::kUnableToCreateRequest) {
            EXPECT_EQ(c.request->error()->localizedDescription(), "Unable to create request (bad url?)") << c.what;
        }
    }
    EXPECT_EQ(server.connectionsAccepted(), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(fileText(folder / "kept.txt"), "kept");
}

// Request classes whose body cannot be built: with the platform's
// exception, and with any other.
class ThrowingRequest : public RQHTTPRequest {
public:
    using RQHTTPRequest::RQHTTPRequest;
    void buildPostBody() override {
        throw platform::Exception("BodyException", "the body could not be built", {{"part", "video"}});
    }
};

class FailingRequest : public RQHTTPRequest {
public:
    using RQHTTPRequest::RQHTTPRequest;
    void buildPostBody() override { throw std::runtime_error("out of room"); }
};

// An exception while a request is prepared is caught and reported as code 10:
// the exception's name as the text, its reason as the failure reason, and
// an underlying error of the same domain and code; nothing is sent and the
// failure is reported once.
TEST_F(SecurityTest, AnExceptionWhileStartingIsCode10) {
    RawServer server([](RawServer::Connection& c) {
        c.readRequest();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    const auto target = platform::URL::fromString(server.url("/"));
    const struct {
        const char* what;
        std::shared_ptr<RQHTTPRequest> request;
        const char* description;
        const char* reason;
    } cases[] = {
        {"platform exception", std::make_shared<ThrowingRequest>(target), "BodyException",
         "the body could not be built"},
        {"other exception", std::make_shared<FailingRequest>(target), "std::exception", "out of room"},
    };
    for (const auto& c : cases) {
        int failures = 0;
        c.request->setFailedBlock([&failures] { ++failures; });
        ASSERT_TRUE(runAsync(c.request)) << c.what;
        ASSERT_TRUE(c.request->error()) << c.what;
        const platform::Error error = *c.request->error();
        EXPECT_TRUE(RQError::is(error, RQError::kUnhandledException)) << c.what;
        EXPECT_EQ(error.localizedDescription(), c.description) << c.what;
        EXPECT_EQ(error.localizedFailureReason(), c.reason) << c.what;
        ASSERT_TRUE(error.underlyingError()) << c.what;
        EXPECT_TRUE(RQError::is(*error.underlyingError(), RQError::kUnhandledException)) << c.what;
        ASSERT_TRUE(pumpUntil([&failures] { return failures > 0; })) << c.what;
        pumpPending();
        EXPECT_EQ(failures, 1) << c.what;
    }
    const platform::Error error = *cases[0].request->error();
    const auto& info = error.underlyingError()->userInfo();
    const auto part = info.find("part");
    ASSERT_NE(part, info.end()) << "the exception's user info";
    EXPECT_EQ(part->second, platform::Value("video"));
    EXPECT_EQ(server.connectionsAccepted(), 0u);
}

}  // namespace
}  // namespace clipora::test
