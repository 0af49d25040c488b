#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include "net/request/RQError.h"
#include "net/request/RQHTTPRequest.h"
#include "platform/cfnetwork/HTTPAuthentication.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/Digest.h"
#include "tests/net/request/RequestTestSupport.h"
#include "tests/support/NTLMServer.h"

namespace clipora::test {
namespace {

using platform::Digest;
using platform::HTTPAuthentication;

std::string md5(const std::string& text) { return Digest::hex(Digest::md5(text)); }

// A server that wants "user"/"secret", by Basic or Digest (MD5, qop=auth).
class AuthServer {
public:
    explicit AuthServer(bool digest, bool alwaysStale = false) : digest_(digest), alwaysStale_(alwaysStale) {
        server_.server().Get("/private", [this](const httplib::Request& req, httplib::Response& res) {
            ++hits_;
            const std::string authorization = req.get_header_value("Authorization");
            if (!authorization.empty()) ++withCredentials_;
            if (accepts(authorization) && !alwaysStale_) {
                res.set_content("the secret", "text/plain");
                return;
            }
            ++challenges_;
            res.status = 401;
            if (digest_) {
                res.set_header("WWW-Authenticate", std::string("Digest realm=\"vault\", qop=\"auth\", nonce=\"n") +
                                                       std::to_string(challenges_.load()) + "\", opaque=\"o\"" +
                                                       (alwaysStale_ && !authorization.empty() ? ", stale=true" : ""));
            } else {
                res.set_header("WWW-Authenticate", "Basic realm=\"vault\"");
            }
            res.set_content("denied", "text/plain");
        });
        server_.start();
    }

    bool accepts(const std::string& header) const {
        if (!digest_) {
            const std::string expected = "user:secret";
            return header == "Basic " + platform::Base64::encode(std::string_view(expected));
        }
        if (header.rfind("Digest ", 0) != 0) return false;
        std::map<std::string, std::string> fields;
        std::string rest = header.substr(7);
        while (!rest.empty()) {
            auto eq = rest.find('=');
            if (eq == std::string::npos) break;
            std::string name = rest.substr(0, eq);
            while (!name.empty() && (name.front() == ' ' || name.front() == ',')) name.erase(0, 1);
            rest = rest.substr(eq + 1);
            std::string value;
            if (!rest.empty() && rest.front() == '"') {
                auto close = rest.find('"', 1);
                value = rest.substr(1, close - 1);
                rest = rest.substr(close + 1);
            } else {
                auto comma = rest.find(',');
                value = rest.substr(0, comma);
                rest = comma == std::string::npos ? "" : rest.substr(comma);
            }
            fields[name] = value;
        }
        if (fields["username"] != "user") return false;
        const std::string ha1 = md5("user:vault:secret");
        const std::string ha2 = md5("GET:" + fields["uri"]);
        const std::string expected =
            md5(ha1 + ":" + fields["nonce"] + ":" + fields["nc"] + ":" + fields["cnonce"] + ":auth:" + ha2);
        return fields["response"] == expected && fields["opaque"] == "o";
    }

    std::string url() const { return server_.url("/private"); }
    int hits() const { return hits_.load(); }
    int challenges() const { return challenges_.load(); }
    int withCredentials() const { return withCredentials_.load(); }

private:
    LoopbackServer server_;
    bool digest_;
    bool alwaysStale_;
    std::atomic<int> hits_{0};
    std::atomic<int> challenges_{0};
    std::atomic<int> withCredentials_{0};
};

class AuthenticationTest : public RequestTest {};

TEST_F(AuthenticationTest, DelegateAnswersThenTheSessionStoreServes) {
    for (bool digest : {false, true}) {
        SCOPED_TRACE(digest ? "Digest" : "Basic");
        RQHTTPRequest::clearSession();
        AuthServer server(digest);
        auto delegate = std::make_shared<RequestRecorder>();
        delegate->onAuthentication = [](RQHTTPRequest& request) {
            EXPECT_EQ(request.authenticationRealm(), "vault");
            request.setUsername(std::string("user"));
            request.setPassword(std::string("secret"));
            request.retryUsingSuppliedCredentials();
        };
        auto first = get(server.url());
        first->setDelegate(delegate);
        ASSERT_TRUE(runAsync(first));
        ASSERT_FALSE(first->error()) << first->error()->localizedDescription();
        EXPECT_EQ(text(first->responseData()), "the secret");
        EXPECT_EQ(first->authenticationScheme(), digest ? "Digest" : "Basic");
        EXPECT_EQ(delegate->count("delegate:authenticationNeeded"), 1u);
        EXPECT_EQ(server.challenges(), 1);

        // The next request finds the credentials in the session store and
        // sends them before any challenge.
        auto second = get(server.url());
        auto other = std::make_shared<RequestRecorder>();
        other->onAuthentication = [](RQHTTPRequest& request) { request.cancelAuthentication(); };
        second->setDelegate(other);
        ASSERT_TRUE(runAsync(second));
        EXPECT_EQ(text(second->responseData()), "the secret");
        EXPECT_FALSE(other->saw("delegate:authenticationNeeded"));
        EXPECT_EQ(server.challenges(), 1);
    }
}

TEST_F(AuthenticationTest, CredentialsSetOnTheRequest) {
    AuthServer server(true);
    auto request = get(server.url());
    request->setUsername(std::string("user"));
    request->setPassword(std::string("secret"));
    request->setUseSessionPersistence(false);
    ASSERT_TRUE(runAsync(request));
    EXPECT_EQ(text(request->responseData()), "the secret");

    // Wrong ones, nobody to ask: applied once, refused, code 3.
    AuthServer strict(false);
    auto wrong = get(strict.url());
    wrong->setUsername(std::string("user"));
    wrong->setPassword(std::string("guess"));
    ASSERT_TRUE(runAsync(wrong));
    ASSERT_TRUE(wrong->error());
    EXPECT_TRUE(RQError::is(*wrong->error(), RQError::kAuthenticationNeeded));
    EXPECT_EQ(wrong->error()->localizedDescription(), "Authentication needed");
    EXPECT_EQ(strict.withCredentials(), 1);
}

// The engine answers the server's NTLM challenge itself: the three
// messages go on one kept-alive connection (the server only accepts the
// answer there), for each way of giving the domain, synchronous too.
TEST_F(AuthenticationTest, NTLMHandshakeOnOneConnection) {
    NTLMServer server("ann", "CORP", "secret");
    const struct {
        const char* user;
        const char* domain;
        bool synchronous;
    } cases[] = {
        {"ann", "CORP", false},
        {"CORP\\ann", nullptr, false},
        {"ann", "CORP", true},
    };
    int accepted = 0;
    for (const auto& c : cases) {
        const std::size_t connectionsBefore = server.connectionsAccepted();
        auto request = get(server.url("/report"));
        request->setUsername(std::string(c.user));
        request->setPassword(std::string("secret"));
        if (c.domain) request->setDomain(std::string(c.domain));
        request->setUseSessionPersistence(false);
        if (c.synchronous) {
            request->startSynchronous();
        } else {
            ASSERT_TRUE(runAsync(request));
        }
        ASSERT_FALSE(request->error()) << c.user << ": " << request->error()->localizedDescription();
        EXPECT_EQ(request->responseStatusCode(), 200);
        EXPECT_EQ(text(request->responseData()), "Welcome, ann.");
        EXPECT_EQ(request->authenticationScheme(), "NTLM");
        EXPECT_EQ(server.accepted(), ++accepted);
        EXPECT_LE(server.connectionsAccepted() - connectionsBefore, 2u) << c.user;
    }
    EXPECT_EQ(server.refused(), 0);

    // A wrong password with nobody to ask: the answer is refused once and
    // the request fails with code 3.
    auto wrong = get(server.url("/report"));
    wrong->setUsername(std::string("CORP\\ann"));
    wrong->setPassword(std::string("guess"));
    wrong->setUseSessionPersistence(false);
    ASSERT_TRUE(runAsync(wrong));
    ASSERT_TRUE(wrong->error());
    EXPECT_TRUE(RQError::is(*wrong->error(), RQError::kAuthenticationNeeded));
    EXPECT_EQ(server.refused(), 1);
}

// With session persistence (the default) one answer serves every later
// request: on a server that keeps a signed-in connection, the kept-alive
// connection of the first handshake serves the rest without another; on
// one that asks again for every request, each costs one challenge.
TEST_F(AuthenticationTest, NTLMWithSessionPersistence) {
    for (const bool keepsConnections : {true, false}) {
        SCOPED_TRACE(keepsConnections ? "the connection stays signed in" : "every request is challenged");
        RQHTTPRequest::clearSession();
        NTLMServer server("ann", "CORP", "secret", keepsConnections);
        for (int i = 0; i < 6; ++i) {
            auto request = get(server.url("/report"));
            if (i == 0) {
                request->setUsername(std::string("CORP\\ann"));
                request->setPassword(std::string("secret"));
            }
            ASSERT_TRUE(runAsync(request));
            ASSERT_FALSE(request->error()) << i << ": " << request->error()->localizedDescription();
            EXPECT_EQ(text(request->responseData()), "Welcome, ann.") << i;
        }
        EXPECT_EQ(server.challengesSent(), keepsConnections ? 1 : 6);
        EXPECT_EQ(server.accepted(), keepsConnections ? 1 : 6);
        EXPECT_EQ(server.refused(), 0);
        if (keepsConnections) {
            EXPECT_LE(server.connectionsAccepted(), 2u);
        }
    }
}

TEST_F(AuthenticationTest, CredentialsInTheURLAndInTheKeychain) {
    AuthServer server(false);
    auto url = server.url();
    url.insert(url.find("//") + 2, "user:secret@");
    auto inURL = get(url);
    inURL->setUseKeychainPersistence(true);
    inURL->setUseSessionPersistence(false);
    ASSERT_TRUE(runAsync(inURL));
    EXPECT_EQ(text(inURL->responseData()), "the secret");

    // Saved for the host, port, scheme and realm: a later request finds
    // them there.
    auto later = get(server.url());
    later->setUseKeychainPersistence(true);
    later->setUseSessionPersistence(false);
    ASSERT_TRUE(runAsync(later));
    EXPECT_EQ(text(later->responseData()), "the secret");
}

TEST_F(AuthenticationTest, RetriesAreCapped) {
    // A delegate that keeps giving the wrong password, and a Digest server
    // that calls every nonce stale: both end with code 3 after a few tries.
    AuthServer server(false);
    auto delegate = std::make_shared<RequestRecorder>();
    delegate->onAuthentication = [](RQHTTPRequest& request) {
        request.setUsername(std::string("user"));
        request.setPassword(std::string("wrong"));
        request.retryUsingSuppliedCredentials();
    };
    auto request = get(server.url());
    request->setDelegate(delegate);
    ASSERT_TRUE(runAsync(request));
    ASSERT_TRUE(request->error());
    EXPECT_TRUE(RQError::is(*request->error(), RQError::kAuthenticationNeeded));
    EXPECT_LE(server.hits(), RQHTTPRequest::kMaximumAuthenticationRetries + 1);

    AuthServer stale(true, true);
    auto staleRequest = get(stale.url());
    staleRequest->setUsername(std::string("user"));
    staleRequest->setPassword(std::string("secret"));
    ASSERT_TRUE(runAsync(staleRequest));
    ASSERT_TRUE(staleRequest->error());
    EXPECT_TRUE(RQError::is(*staleRequest->error(), RQError::kAuthenticationNeeded));
    EXPECT_LE(stale.hits(), RQHTTPRequest::kMaximumAuthenticationRetries + 1);
    // The stale nonce is renewed once: the credentials went out twice.
    EXPECT_GE(stale.withCredentials(), 2);
}

TEST_F(AuthenticationTest, BlockAnswersAndCancelling) {
    AuthServer server(false);
    auto request = get(server.url());
    std::atomic<int> asked{0};
    std::weak_ptr<RQHTTPRequest> weak = request;
    request->setAuthenticationNeededBlock([&asked, weak] {
        ++asked;
        if (auto r = weak.lock()) r->cancelAuthentication();
    });
    ASSERT_TRUE(runAsync(request));
    EXPECT_EQ(asked.load(), 1);
    ASSERT_TRUE(request->error());
    EXPECT_TRUE(RQError::is(*request->error(), RQError::kAuthenticationNeeded));
}

}  // namespace
}  // namespace clipora::test
