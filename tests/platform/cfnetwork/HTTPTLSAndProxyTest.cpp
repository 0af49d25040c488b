#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/cfnetwork/HTTPClientCore.h"
#include "platform/cfnetwork/HTTPReadStream.h"
#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/cfnetwork/HostResolver.h"
#include "tests/platform/cfnetwork/ReadStreamHarness.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/RawServer.h"
#include "tests/support/TestCA.h"
#include "tests/support/TestHome.h"
#include "tests/support/TestProxy.h"

namespace clipora::test {
namespace {

using platform::HostResolver;
using platform::HTTPReadStream;
using platform::HTTPStreamError;

class HTTPTLSAndProxyTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ca_.emplace(home() / "tls", std::vector<std::string>{"api.example.test"});
    }
    void TearDown() override {
        HostResolver::removeAllOverrides();
        ca_.reset();
        PlatformTest::TearDown();
    }

    // An HTTPS server with `leaf`'s certificate answering "/" with "secure".
    std::unique_ptr<LoopbackServer> httpsServer(const TestCA::Leaf& leaf) {
        auto server = std::make_unique<LoopbackServer>(leaf.certificateFile, leaf.privateKeyFile);
        server->server().Get("/", [this](const httplib::Request& request, httplib::Response& response) {
            sawProxyAuthorization_ = sawProxyAuthorization_ || request.has_header("Proxy-Authorization");
            response.set_content("secure", "text/plain");
        });
        server->start();
        return server;
    }

    std::optional<TestCA> ca_;
    std::atomic<bool> sawProxyAuthorization_{false};
};

TEST_F(HTTPTLSAndProxyTest, AServerSignedByAnUnknownCAIsRejectedUntilTheCAFileNamesIt) {
    auto server = httpsServer(ca_->server());
    auto rejected = fetch("GET", server->url());
    ASSERT_TRUE(rejected.error);
    EXPECT_TRUE(HTTPStreamError::isTLSError(*rejected.error)) << rejected.error->description();
    EXPECT_EQ(rejected.error->code(), HTTPStreamError::kTLSChainNotTrusted);

    ca_->trust();
    auto accepted = fetch("GET", server->url());
    ASSERT_TRUE(accepted.ended) << (accepted.error ? accepted.error->description() : "");
    EXPECT_EQ(accepted.body, "secure");
    EXPECT_EQ(fetch("GET", server->url("/", "127.0.0.1")).body, "secure");  // an address named in the certificate

    // A self-signed certificate stays untrusted even with the CA file.
    auto selfSigned = httpsServer(ca_->selfSigned({"localhost"}, "self"));
    auto outcome = fetch("GET", selfSigned->url());
    ASSERT_TRUE(outcome.error);
    EXPECT_TRUE(HTTPStreamError::isTLSError(*outcome.error));
}

TEST_F(HTTPTLSAndProxyTest, AHostNameTheCertificateDoesNotNameIsRejected) {
    ca_->trust();
    auto server = httpsServer(ca_->issue({"other.example.test"}, "other"));
    auto outcome = fetch("GET", server->url());
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain(), HTTPStreamError::kOSStatusDomain);
    EXPECT_EQ(outcome.error->code(), HTTPStreamError::kTLSBadCertificate);
    EXPECT_GE(outcome.error->code(), HTTPStreamError::kTLSFirst);
    EXPECT_LE(outcome.error->code(), HTTPStreamError::kTLSLast);

    // The stream's own "do not validate" setting is the only way past it.
    auto stream = HTTPReadStream::create(makeRequest("GET", server->url()));
    stream->setSSLSettings({.validatesCertificateChain = false, .identity = nullptr, .extraCertificates = {}});
    EXPECT_EQ(runStream(stream).body, "secure");
}

TEST_F(HTTPTLSAndProxyTest, TheResolverOverridePlaysANamedHostWithSNIAndCertificateCheck) {
    ca_->trust();
    auto server = httpsServer(ca_->server());
    HostResolver::setOverride("api.example.test", server->port());
    auto outcome = fetch("GET", "https://api.example.test/");
    ASSERT_TRUE(outcome.ended) << (outcome.error ? outcome.error->description() : "");
    EXPECT_EQ(outcome.body, "secure");
    HostResolver::setOverride("wrong.example.test", server->port());
    auto mismatch = fetch("GET", "https://wrong.example.test/");
    ASSERT_TRUE(mismatch.error);
    EXPECT_EQ(mismatch.error->code(), HTTPStreamError::kTLSBadCertificate);
}

TEST_F(HTTPTLSAndProxyTest, ConnectTunnelSurfacesTheProxysRefusalAndKeepsCredentialsOffTheTunnel) {
    ca_->trust();
    auto server = httpsServer(ca_->server());
    TestProxy proxy(TestProxy::Kind::Connect);
    proxy.requireAuthorization("Basic cHJveHk6cGFzcw==");

    auto refused = HTTPReadStream::create(makeRequest("GET", server->url()));
    refused->setHTTPSProxy("127.0.0.1", proxy.port());
    auto outcome = runStream(refused);
    ASSERT_TRUE(outcome.ended) << (outcome.error ? outcome.error->description() : "");
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->responseStatusCode(), 407);
    EXPECT_EQ(outcome.response->headerFieldValue("proxy-authenticate"), "Basic realm=\"test proxy\"");
    EXPECT_EQ(outcome.body, TestProxy::kRefusalBody);

    auto request = makeRequest("GET", server->url());
    request->setHeaderFieldValue("Proxy-Authorization", "Basic cHJveHk6cGFzcw==");
    auto tunnelled = HTTPReadStream::create(request);
    tunnelled->setHTTPSProxy("127.0.0.1", proxy.port());
    auto ok = runStream(tunnelled);
    ASSERT_TRUE(ok.ended) << (ok.error ? ok.error->description() : "");
    EXPECT_EQ(ok.body, "secure");
    EXPECT_FALSE(sawProxyAuthorization_.load());
    ASSERT_EQ(proxy.targets().size(), 2u);
    EXPECT_EQ(proxy.targets()[1], "localhost:" + std::to_string(server->port()));
    EXPECT_NE(proxy.requestHeads()[1].find("Proxy-Authorization: Basic cHJveHk6cGFzcw==\r\n"), std::string::npos);
}

TEST_F(HTTPTLSAndProxyTest, PlainRequestsGoToAnHTTPProxyInAbsoluteForm) {
    RawServer proxy([](RawServer::Connection& c) {
        if (c.readRequest().empty()) return;
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nproxied");
    });
    auto request = makeRequest("GET", "http://origin.example.test:8080/a/b?c=d");
    request->setHeaderFieldValue("Proxy-Authorization", "Basic eA==");
    auto stream = HTTPReadStream::create(request);
    stream->setHTTPProxy("127.0.0.1", proxy.port());
    auto outcome = runStream(stream);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.body, "proxied");
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0],
              "GET http://origin.example.test:8080/a/b?c=d HTTP/1.1\r\n"
              "Host: origin.example.test:8080\r\nProxy-Authorization: Basic eA==\r\n\r\n");
}

TEST_F(HTTPTLSAndProxyTest, SOCKS5CarriesPlainAndTLSConnections) {
    ca_->trust();
    TestProxy socks(TestProxy::Kind::SOCKS5);
    LoopbackServer plain;
    plain.server().Get(
        "/", [](const httplib::Request&, httplib::Response& response) { response.set_content("plain", "text/plain"); });
    plain.start();
    auto stream = HTTPReadStream::create(makeRequest("GET", plain.url("/", "named.example.test")));
    stream->setSOCKSProxy("127.0.0.1", socks.port());
    EXPECT_EQ(runStream(stream).body, "plain");

    auto server = httpsServer(ca_->server());
    auto secure = HTTPReadStream::create(makeRequest("GET", server->url()));
    secure->setSOCKSProxy("127.0.0.1", socks.port());
    auto outcome = runStream(secure);
    ASSERT_TRUE(outcome.ended) << (outcome.error ? outcome.error->description() : "");
    EXPECT_EQ(outcome.body, "secure");
    EXPECT_EQ(socks.targets(), (std::vector<std::string>{"named.example.test:" + std::to_string(plain.port()),
                                                         "localhost:" + std::to_string(server->port())}));
}

TEST_F(HTTPTLSAndProxyTest, ConnectionsAreSharedOnlyUnderTheSameValidationSetting) {
    ca_->trust();
    auto server = httpsServer(ca_->server());
    auto make = [&](bool validates) {
        auto stream = HTTPReadStream::create(makeRequest("GET", server->url()));
        stream->setPersistentConnection(true);
        stream->setProperty("RQStreamID", 1);
        stream->setSSLSettings({.validatesCertificateChain = validates, .identity = nullptr, .extraCertificates = {}});
        return stream;
    };
    auto a = make(false);
    ASSERT_TRUE(runStream(a).ended);
    auto b = make(true);
    ASSERT_TRUE(runStream(b).ended);
    auto c = make(true);
    ASSERT_TRUE(runStream(c).ended);
    EXPECT_NE(a->connectionSerial(), b->connectionSerial());
    EXPECT_EQ(b->connectionSerial(), c->connectionSerial());
}

}  // namespace
}  // namespace clipora::test
