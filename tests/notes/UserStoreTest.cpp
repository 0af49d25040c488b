#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include <thrift/TApplicationException.h>
#include <thrift/transport/TTransportException.h>

#include "notes/transport/NoteServiceHTTP.h"
#include "notes/types/EDAMUserStoreConstants.h"
#include "notes/userstore/EDAMUserStore.h"
#include "notes/userstore/EDAMUserStoreCalls.h"
#include "notes/userstore/EDAMUserStoreProcessor.h"
#include "platform/cfnetwork/HTTPClientCore.h"
#include "tests/notes/NotesTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/RawServer.h"
#include "tests/support/TestCA.h"
#include "tests/support/TestHome.h"

namespace clipora {
namespace {

using apache::thrift::TApplicationException;
using apache::thrift::transport::TTransportException;
using test::Bytes;
using test::hex;

// A user store that answers from fixed data and records what it was given.
class FakeUserStore final : public EDAMUserStore {
public:
    bool checkVersion(const std::optional<std::string>& clientName, std::int16_t major, std::int16_t minor) override {
        lastClientName = clientName;
        return major == 1 && minor == 16;
    }
    std::shared_ptr<EDAMAuthenticationResult> authenticate(const std::optional<std::string>& username,
                                                           const std::optional<std::string>& password,
                                                           const std::optional<std::string>&,
                                                           const std::optional<std::string>&) override {
        if (password != "pw") throw *EDAMUserException::initWithErrorCodeParameter(8, std::string("password"));
        auto user = std::make_shared<EDAMUser>();
        user->setUsername(username);
        user->setShardId(std::string("s9"));
        auto result = std::make_shared<EDAMAuthenticationResult>();
        result->setAuthenticationToken(std::string("token"));
        result->setUser(user);
        return result;
    }
    std::shared_ptr<EDAMAuthenticationResult> refreshAuthentication(const std::optional<std::string>&) override {
        return nullptr;
    }
    std::shared_ptr<EDAMUser> getUser(const std::optional<std::string>&) override {
        return std::make_shared<EDAMUser>();
    }
    std::shared_ptr<EDAMPublicUserInfo> getPublicUserInfo(const std::optional<std::string>& username) override {
        return EDAMPublicUserInfo::initWithUserIdShardIdPrivilegeUsername(3, std::string("s1"), 1, username);
    }
    std::optional<std::string> lastClientName;
};

class UserStoreTest : public test::PlatformTest {
protected:
    std::shared_ptr<FakeUserStore> store_ = std::make_shared<FakeUserStore>();
    std::shared_ptr<EDAMUserStoreProcessor> processor_ = EDAMUserStoreProcessor::initWithUserStore(store_);
    std::shared_ptr<test::LoopbackTransport> transport_;
    std::shared_ptr<EDAMUserStoreClient> client_ =
        EDAMUserStoreClient::initWithProtocol(test::loopbackProtocol(processor_, &transport_));

    // A REPLY whose result struct holds exactly `fields` (type byte, id, value ...).
    void scriptReply(const Bytes& fields, const std::string& name = "whatever", std::int32_t sequenceID = 77) {
        transport_->scriptReply(test::message(name, 2, sequenceID, fields + hex({0})));
    }
};

TEST_F(UserStoreTest, CheckVersionSendsTheUnversionedFrame) {
    EXPECT_TRUE(client_->checkVersion(std::string("abc"), EDAMUserStoreConstants::EDAM_VERSION_MAJOR(),
                                      EDAMUserStoreConstants::EDAM_VERSION_MINOR()));
    Bytes expected = hex({0, 0, 0, 0x0C}) + "checkVersion" + hex({1, 0, 0, 0, 0}) + hex({0x0B, 0, 1, 0, 0, 0, 3}) +
                     "abc" + hex({0x06, 0, 2, 0, 1, 0x06, 0, 3, 0, 0x10, 0});
    EXPECT_EQ(transport_->lastRequest(), expected);
    EXPECT_EQ(store_->lastClientName, "abc");

    // Without a client name only the two versions go out.
    EXPECT_FALSE(client_->checkVersion(std::nullopt, 1, 15));
    EXPECT_EQ(transport_->lastRequest().substr(21), hex({0x06, 0, 2, 0, 1, 0x06, 0, 3, 0, 0x0F, 0}));
}

TEST_F(UserStoreTest, AuthenticateThroughTheProcessor) {
    auto result = client_->authenticate(std::string("me"), std::string("pw"), std::string("key"), std::nullopt);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->authenticationToken(), "token");
    ASSERT_TRUE(result->userIsSet());
    EXPECT_EQ(result->user()->shardId(), "s9");
    EXPECT_EQ(transport_->flushes(), 1);

    // A password left out is not sent at all: fields 1 and 3 only.
    EDAMauthenticate_args sent;
    test::MemoryProtocol in(transport_->lastRequest());
    std::string name;
    apache::thrift::protocol::TMessageType type;
    std::int32_t sequenceID;
    in.protocol->readMessageBegin(name, type, sequenceID);
    sent.read(*in.protocol);
    EXPECT_EQ(name, "authenticate");
    EXPECT_EQ(sequenceID, 0);
    EXPECT_TRUE(sent.consumerKeyIsSet());
    EXPECT_FALSE(sent.consumerSecretIsSet());
}

TEST_F(UserStoreTest, RepliesAreReadWhateverTheirNameAndSequenceId) {
    auto notFound = EDAMNotFoundException::initWithIdentifierKey(std::string("username"), std::string("x"));
    auto system = EDAMSystemException::initWithErrorCodeMessage(4, std::string("down"));
    auto user = EDAMUserException::initWithErrorCodeParameter(2, std::string("name"));
    Bytes systemField = hex({0x0C, 0, 2}) + test::written(*system);
    Bytes userField = hex({0x0C, 0, 3}) + test::written(*user);

    scriptReply(systemField + userField, "getUser", -5);
    EXPECT_THROW(client_->getPublicUserInfo(std::string("x")), EDAMSystemException);

    scriptReply(userField + hex({0x0C, 0, 1}) + test::written(*notFound));
    try {
        client_->getPublicUserInfo(std::string("x"));
        ADD_FAILURE();
    } catch (const EDAMNotFoundException& e) {
        EXPECT_EQ(e.key(), "x");
        EXPECT_EQ(e.name(), "EDAMNotFoundException");
    }

    // success wins over an exception in the same reply.
    auto success = std::make_shared<EDAMAuthenticationResult>();
    success->setExpiration(9);
    scriptReply(hex({0x0C, 0, 0}) + test::written(*success) + hex({0x0C, 0, 1}) + test::written(*user));
    EXPECT_EQ(client_->authenticate(std::nullopt, std::nullopt, std::nullopt, std::nullopt)->expiration(), 9);
}

TEST_F(UserStoreTest, MissingResultsAndApplicationErrors) {
    struct Case {
        std::function<void()> call;
        const char* reason;
    };
    const Case cases[] = {
        {[&] { client_->checkVersion(std::nullopt, 1, 16); }, "checkVersion failed: unknown result"},
        {[&] { client_->authenticate(std::nullopt, std::nullopt, std::nullopt, std::nullopt); },
         "authenticate failed: unknown result"},
        {[&] { client_->refreshAuthentication(std::nullopt); }, "refreshAuthentication failed: unknown result"},
        {[&] { client_->getUser(std::nullopt); }, "getUser failed: unknown result"},
        {[&] { client_->getPublicUserInfo(std::nullopt); }, "getPublicUserInfo failed: unknown result"},
    };
    for (const auto& c : cases) {
        // An empty result, and a success of the wrong wire type.
        for (const Bytes& fields : {Bytes(), hex({0x0B, 0, 0, 0, 0, 0, 0})}) {
            scriptReply(fields);
            try {
                c.call();
                ADD_FAILURE() << c.reason;
            } catch (const TApplicationException& e) {
                EXPECT_EQ(e.getType(), TApplicationException::MISSING_RESULT);
                EXPECT_STREQ(e.what(), c.reason);
            }
        }
    }

    test::MemoryProtocol exceptionReply;
    exceptionReply.protocol->writeMessageBegin("anything", apache::thrift::protocol::T_EXCEPTION, 3);
    TApplicationException(TApplicationException::INTERNAL_ERROR, "boom").write(exceptionReply.protocol.get());
    transport_->scriptReply(exceptionReply.bytes());
    try {
        client_->getUser(std::string("t"));
        ADD_FAILURE();
    } catch (const TApplicationException& e) {
        EXPECT_EQ(e.getType(), TApplicationException::INTERNAL_ERROR);
        EXPECT_STREQ(e.what(), "boom");
    }
}

TEST_F(UserStoreTest, ProcessorRepliesAndRejectsUnknownMethods) {
    struct Case {
        std::string name;
        std::int32_t sequenceID;
        int replyType;
    };
    for (const Case& c : {Case{"checkVersion", 9, 2}, Case{"foo", 7, 3}, Case{"CheckVersion", 0, 3}}) {
        SCOPED_TRACE(c.name);
        EDAMcheckVersion_args args;
        args.setEdamVersionMajor(1);
        args.setEdamVersionMinor(16);
        test::MemoryProtocol reply =
            test::processCall(*processor_, test::message(c.name, 1, c.sequenceID, test::written(args)), c.name,
                              c.replyType, c.sequenceID);
        if (c.replyType == 3) {
            test::expectUnknownMethod(reply, c.name);
        } else {
            EDAMCheckVersion_result result;
            result.read(*reply.protocol);
            EXPECT_TRUE(result.successIsSet());
            EXPECT_TRUE(result.success());
        }
    }
}

TEST_F(UserStoreTest, ServiceExceptionsLeaveTheProcessorWithoutAReply) {
    EDAMauthenticate_args args;
    args.setPassword(std::string("wrong"));
    test::MemoryProtocol in(test::message("authenticate", 1, 1, test::written(args))), out;
    EXPECT_THROW(processor_->processOnInputProtocolOutputProtocol(*in.protocol, *out.protocol), EDAMUserException);
    EXPECT_TRUE(out.bytes().empty());
}

// ---- Over HTTPS ----

class UserStoreHTTPSTest : public test::PlatformTest {
protected:
    void SetUp() override {
        test::PlatformTest::SetUp();
        ca_ = std::make_unique<test::TestCA>(home() / "tls");
        ca_->trust();
    }
    // Before a loopback server goes: it would wait for the kept-alive connection.
    static void closeIdleConnections() { platform::HTTPClientCore::shared()->closeIdleConnections(); }
    std::unique_ptr<test::TestCA> ca_;
};

TEST_F(UserStoreHTTPSTest, TalksToAPythonThriftServer) {
    test::PythonServer server("userstore", ca_->server().certificateFile, ca_->server().privateKeyFile);
    ASSERT_TRUE(server.started());
    auto client = EDAMUserStoreClient::initWithProtocol(NoteServiceHTTP::binaryProtocol(server.url()));
    EXPECT_TRUE(client->checkVersion(std::string("Clipora"), 1, 16));
    auto result = client->authenticate(std::string("someone"), std::string("right password"),
                                       std::string("consumer key"), std::string("consumer secret"));
    ASSERT_TRUE(result && result->user());
    EXPECT_EQ(result->authenticationToken(), "S=s1:U=1:token");
    EXPECT_EQ(result->user()->shardId(), "s1");
    EXPECT_EQ(result->user()->username(), "someone");
    try {
        client->authenticate(std::string("someone"), std::string("wrong"), std::nullopt, std::nullopt);
        ADD_FAILURE();
    } catch (const EDAMUserException& e) {
        EXPECT_EQ(e.errorCode(), 8);
        EXPECT_EQ(e.parameter(), "password");
    }
    EXPECT_THROW(client->getPublicUserInfo(std::string("nobody")), EDAMNotFoundException);
    EXPECT_THROW(client->refreshAuthentication(std::string("t")), EDAMSystemException);
}

TEST_F(UserStoreHTTPSTest, TalksToOurProcessorBehindAnHTTPSServer) {
    auto processor = EDAMUserStoreProcessor::initWithUserStore(std::make_shared<FakeUserStore>());
    test::LoopbackServer server(ca_->server().certificateFile, ca_->server().privateKeyFile);
    std::string contentType;
    server.server().Post("/edam/user", [&](const httplib::Request& request, httplib::Response& response) {
        contentType = request.get_header_value("Content-Type");
        test::MemoryProtocol in(request.body), out;
        processor->processOnInputProtocolOutputProtocol(*in.protocol, *out.protocol);
        response.set_content(out.bytes(), "application/x-thrift");
    });
    server.start();
    auto client = EDAMUserStoreClient::initWithProtocol(NoteServiceHTTP::binaryProtocol(server.url("/edam/user")));
    EXPECT_TRUE(client->checkVersion(std::string("Clipora"), 1, 16));
    EXPECT_EQ(
        client->authenticate(std::string("me"), std::string("pw"), std::nullopt, std::nullopt)->authenticationToken(),
        "token");
    EXPECT_EQ(contentType, "application/x-thrift");
    closeIdleConnections();
}

TEST_F(UserStoreHTTPSTest, RefusesPlainHTTPAndUntrustedOrMisnamedServers) {
    for (const char* url : {"http://localhost/edam/user", "ftp://localhost/", "notaurl", "https:///nohost"}) {
        try {
            NoteServiceHTTP::binaryProtocol(url);
            ADD_FAILURE() << url;
        } catch (const TTransportException& e) {
            EXPECT_EQ(e.getType(), TTransportException::BAD_ARGS);
        }
    }

    auto misnamed = ca_->issue({"elsewhere.test"}, "elsewhere");
    auto selfSigned = ca_->selfSigned({"localhost", "127.0.0.1"}, "self");
    for (const auto* leaf : {&misnamed, &selfSigned}) {
        test::LoopbackServer server(leaf->certificateFile, leaf->privateKeyFile);
        bool reached = false;
        server.server().Post("/", [&](const httplib::Request&, httplib::Response&) { reached = true; });
        server.start();
        auto client = EDAMUserStoreClient::initWithProtocol(NoteServiceHTTP::binaryProtocol(server.url()));
        EXPECT_THROW(client->authenticate(std::string("me"), std::string("pw"), std::nullopt, std::string("secret")),
                     TTransportException);
        EXPECT_FALSE(reached) << "no credential left the client";
    }
}

TEST_F(UserStoreHTTPSTest, StalledServersEndInTimeOuts) {
    // A server that accepts the connection but never completes the TLS handshake.
    test::RawServer silent([](test::RawServer::Connection& c) { c.waitForPeerClose(10); });
    auto client = EDAMUserStoreClient::initWithProtocol(NoteServiceHTTP::binaryProtocol(
        "https://localhost:" + std::to_string(silent.port()) + "/", NoteServiceTimeouts{0.3, 5}));
    try {
        client->checkVersion(std::string("c"), 1, 16);
        ADD_FAILURE();
    } catch (const TTransportException& e) {
        EXPECT_EQ(e.getType(), TTransportException::TIMED_OUT);
    }

    // A server that takes the call and never answers.
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    test::LoopbackServer stalled(ca_->server().certificateFile, ca_->server().privateKeyFile);
    stalled.server().Post("/", [&](const httplib::Request&, httplib::Response& response) {
        std::unique_lock lock(mutex);
        released.wait_for(lock, std::chrono::seconds(10), [&] { return release; });
        response.status = 500;
    });
    stalled.start();
    client = EDAMUserStoreClient::initWithProtocol(NoteServiceHTTP::binaryProtocol(stalled.url(), {5, 0.3}));
    try {
        client->checkVersion(std::string("c"), 1, 16);
        ADD_FAILURE();
    } catch (const TTransportException& e) {
        EXPECT_EQ(e.getType(), TTransportException::TIMED_OUT);
    }
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
}

TEST_F(UserStoreHTTPSTest, StatusesOtherThan200AreTransportErrors) {
    test::LoopbackServer server(ca_->server().certificateFile, ca_->server().privateKeyFile);
    server.server().Post("/", [](const httplib::Request&, httplib::Response& response) {
        response.status = 503;
        response.set_content("busy", "text/plain");
    });
    server.start();
    auto client = EDAMUserStoreClient::initWithProtocol(NoteServiceHTTP::binaryProtocol(server.url()));
    try {
        client->authenticate(std::string("me"), std::string("secret password"), std::nullopt, std::nullopt);
        ADD_FAILURE();
    } catch (const TTransportException& e) {
        EXPECT_NE(std::string(e.what()).find("503"), std::string::npos);
        EXPECT_EQ(std::string(e.what()).find("secret password"), std::string::npos);
    }
    closeIdleConnections();
}

}  // namespace
}  // namespace clipora
