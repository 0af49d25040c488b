#include <atomic>
#include <string>

#include <gtest/gtest.h>

#include "net/request/RQAuthenticationDialog.h"
#include "net/request/RQError.h"
#include "net/request/RQHTTPRequest.h"
#include "platform/foundation/Base64.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Window.h"
#include "tests/net/request/RequestTestSupport.h"
#include "tests/support/NTLMServer.h"
#include "tests/support/TestCA.h"
#include "tests/support/TestProxy.h"

namespace clipora::test {
namespace {

std::string basic(const std::string& user, const std::string& password) {
    const std::string text = user + ":" + password;
    return "Basic " + platform::Base64::encode(std::string_view(text));
}

class AuthenticationDialogTest : public RequestTest {
protected:
    void SetUp() override {
        RequestTest::SetUp();
        RQAuthenticationDialog::reset();
        window_ = std::make_shared<platform::Window>(platform::Rect(0, 0, 320, 480));
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        RQAuthenticationDialog::reset();
        window_->setHidden(true);
        window_.reset();
        RequestTest::TearDown();
    }

    static std::shared_ptr<RQAuthenticationDialog> waitForDialog() {
        pumpUntil([] { return RQAuthenticationDialog::currentDialog() != nullptr; });
        return RQAuthenticationDialog::currentDialog();
    }

    static std::string footer(const std::shared_ptr<RQAuthenticationDialog>& dialog) {
        auto table = dialog->tableView();
        return dialog->tableViewTitleForFooterInSection(table, dialog->numberOfSectionsInTableView(table) - 1)
            .value_or("");
    }

    std::shared_ptr<platform::Window> window_;
};

TEST_F(AuthenticationDialogTest, OneDialogAnswersEveryRequestForTheSameServer) {
    std::atomic<int> served{0};
    LoopbackServer server;
    LoopbackServer other;
    for (auto* s : {&server, &other}) {
        s->server().Get(R"(/r/(\d+))", [&served](const httplib::Request& req, httplib::Response& res) {
            if (req.get_header_value("Authorization") != basic("ann", "pw")) {
                res.status = 401;
                res.set_header("WWW-Authenticate", "Basic realm=\"files\"");
                return;
            }
            ++served;
            res.set_content("file " + std::string(req.matches[1]), "application/octet-stream");
        });
        s->start();
    }
    std::vector<std::shared_ptr<RQHTTPRequest>> requests;
    for (int i = 0; i < 3; ++i) requests.push_back(get(server.url("/r/" + std::to_string(i))));
    requests.push_back(get(other.url("/r/9")));
    for (auto& request : requests) {
        request->setShouldPresentAuthenticationDialog(true);
        request->setUseSessionPersistence(false);
        request->startAsynchronous();
    }
    auto dialog = waitForDialog();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(pumpUntil([] { return RQAuthenticationDialog::waitingRequests().size() == 3; }));
    EXPECT_EQ(dialog->type(), RQAuthenticationDialog::kServerCredentials);
    EXPECT_EQ(footer(dialog), "Password will be sent in the clear.");
    EXPECT_EQ(dialog->numberOfSectionsInTableView(dialog->tableView()), 1);
    EXPECT_EQ(dialog->tableViewTitleForHeaderInSection(dialog->tableView(), 0), "files");
    EXPECT_EQ(dialog->navigationItemShown()->prompt(), "Login to this secure server.");
    EXPECT_EQ(dialog->usernameField()->placeholder(), "User");
    EXPECT_TRUE(dialog->passwordField()->isSecureTextEntry());
    // Whichever server asked first, one dialog serves each server: two in
    // all, one after the other.
    int dialogs = 0;
    std::vector<std::string> hosts;
    for (auto current = dialog; current; ++dialogs) {
        hosts.push_back(current->navigationItemShown()->title() + ":" +
                        std::to_string(*current->request()->url()->port()));
        current->usernameField()->setText("ann");
        current->passwordField()->setText("pw");
        ASSERT_TRUE(current->loginButton()->tap());
        pumpUntil(
            [&] {
                return RQAuthenticationDialog::currentDialog() && RQAuthenticationDialog::currentDialog() != current;
            },
            1);
        auto next = RQAuthenticationDialog::currentDialog();
        current = next != current ? next : nullptr;
        if (dialogs > 3) break;
    }
    EXPECT_EQ(dialogs, 2);
    ASSERT_EQ(hosts.size(), 2u);
    EXPECT_NE(hosts[0], hosts[1]);
    ASSERT_TRUE(pumpUntil([&] {
        for (auto& r : requests)
            if (!r->isFinished()) return false;
        return true;
    }));
    for (auto& request : requests) {
        ASSERT_FALSE(request->error()) << request->error()->localizedDescription();
        EXPECT_EQ(request->responseStatusCode(), 200);
    }
    EXPECT_EQ(served.load(), 4);
}

// A request cancelled while it waits for a login sheet (behind another
// server's, or its own on screen) gets none, and the sheets of the others
// still come in turn.
TEST_F(AuthenticationDialogTest, ACancelledRequestGetsNoLoginSheet) {
    LoopbackServer first;
    LoopbackServer second;
    for (auto* s : {&first, &second}) {
        s->server().Get("/", [](const httplib::Request& req, httplib::Response& res) {
            if (req.get_header_value("Authorization") == basic("ann", "pw")) return res.set_content("ok", "text/plain");
            res.status = 401;
            res.set_header("WWW-Authenticate", "Basic realm=\"files\"");
        });
        s->start();
    }
    auto start = [](const std::string& url) {
        auto request = get(url);
        request->setShouldPresentAuthenticationDialog(true);
        request->setUseSessionPersistence(false);
        request->startAsynchronous();
        return request;
    };
    auto onScreen = start(first.url("/"));
    auto dialog = waitForDialog();
    ASSERT_TRUE(dialog);
    ASSERT_EQ(dialog->request(), onScreen);

    // Waiting behind the sheet on screen, then cancelled: it leaves the line.
    auto waiting = start(second.url("/"));
    ASSERT_TRUE(pumpUntil([] { return RQAuthenticationDialog::waitingRequests().size() == 1; }));
    waiting->cancel();
    ASSERT_TRUE(pumpUntil([&] { return waiting->isFinished(); }));
    ASSERT_TRUE(waiting->error());
    EXPECT_TRUE(RQError::is(*waiting->error(), RQError::kRequestCancelled));
    EXPECT_TRUE(pumpUntil([] { return RQAuthenticationDialog::waitingRequests().empty(); }));

    // The request of the sheet on screen is cancelled: its sheet goes and
    // the next one waiting gets its own.
    auto next = start(second.url("/"));
    ASSERT_TRUE(pumpUntil([] { return RQAuthenticationDialog::waitingRequests().size() == 1; }));
    onScreen->cancel();
    ASSERT_TRUE(pumpUntil([&] {
        auto current = RQAuthenticationDialog::currentDialog();
        return current && current->request() == next;
    }));
    EXPECT_TRUE(RQError::is(*onScreen->error(), RQError::kRequestCancelled));
    auto nextDialog = RQAuthenticationDialog::currentDialog();
    nextDialog->usernameField()->setText("ann");
    nextDialog->passwordField()->setText("pw");
    ASSERT_TRUE(nextDialog->loginButton()->tap());
    ASSERT_TRUE(pumpUntil([&] { return next->isFinished(); }));
    EXPECT_FALSE(next->error());
    EXPECT_EQ(text(next->responseData()), "ok");
    // Nobody is left to ask for.
    EXPECT_FALSE(pumpUntil([] { return RQAuthenticationDialog::currentDialog() != nullptr; }, 0.5));
    EXPECT_TRUE(RQAuthenticationDialog::waitingRequests().empty());
}

TEST_F(AuthenticationDialogTest, CancelFailsTheRequest) {
    LoopbackServer server;
    server.server().Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.status = 401;
        res.set_header("WWW-Authenticate", "Digest realm=\"r\", nonce=\"x\", qop=\"auth\"");
    });
    server.start();
    auto request = get(server.url("/"));
    request->setShouldPresentAuthenticationDialog(true);
    request->startAsynchronous();
    auto dialog = waitForDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(footer(dialog), "Password will be sent securely.");
    ASSERT_TRUE(dialog->cancelButton()->tap());
    ASSERT_TRUE(pumpUntil([&] { return request->isFinished(); }));
    ASSERT_TRUE(request->error());
    EXPECT_TRUE(RQError::is(*request->error(), RQError::kAuthenticationNeeded));
    EXPECT_FALSE(RQAuthenticationDialog::currentDialog());
}

TEST_F(AuthenticationDialogTest, AnNTLMChallengeAsksForTheDomainToo) {
    NTLMServer server("ann", "CORP", "secret");
    auto request = get(server.url("/"));
    request->setShouldPresentAuthenticationDialog(true);
    request->startAsynchronous();
    auto dialog = waitForDialog();
    ASSERT_TRUE(dialog);
    auto table = dialog->tableView();
    ASSERT_EQ(dialog->numberOfSectionsInTableView(table), 2);
    EXPECT_EQ(dialog->tableViewNumberOfRowsInSection(table, 1), 1);
    ASSERT_TRUE(dialog->domainField());
    EXPECT_EQ(dialog->domainField()->placeholder(), "Domain");
    EXPECT_FALSE(dialog->tableViewTitleForFooterInSection(table, 0));
    EXPECT_EQ(footer(dialog), "Password will be sent securely.");
    dialog->usernameField()->setText("ann");
    dialog->passwordField()->setText("secret");
    dialog->domainField()->setText("CORP");
    ASSERT_TRUE(dialog->loginButton()->tap());
    ASSERT_TRUE(pumpUntil([&] { return request->isFinished(); }));
    ASSERT_FALSE(request->error()) << request->error()->localizedDescription();
    EXPECT_EQ(request->domain(), "CORP");
    EXPECT_EQ(text(request->responseData()), "Welcome, ann.");
    EXPECT_EQ(server.accepted(), 1);
}

TEST_F(AuthenticationDialogTest, ProxyChallengeThroughTheProxyDialog) {
    TestCA ca(home());
    ca.trust();
    LoopbackServer server(ca.server().certificateFile, ca.server().privateKeyFile);
    server.server().Get("/secret", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("through the tunnel", "application/octet-stream");
    });
    server.start();
    TestProxy proxy(TestProxy::Kind::Connect);
    proxy.requireAuthorization(basic("proxyuser", "proxypass"));

    auto request = get(server.url("/secret"));
    request->setProxyHost("127.0.0.1");
    request->setProxyPort(proxy.port());
    request->startAsynchronous();
    auto dialog = waitForDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->type(), RQAuthenticationDialog::kProxyCredentials);
    EXPECT_EQ(dialog->navigationItemShown()->title(), "127.0.0.1");
    EXPECT_EQ(dialog->navigationItemShown()->prompt(), "Login to this secure proxy server.");
    // Basic to the proxy goes in the clear, even for an https target.
    EXPECT_EQ(footer(dialog), "Password will be sent in the clear.");
    dialog->usernameField()->setText("proxyuser");
    dialog->passwordField()->setText("proxypass");
    ASSERT_TRUE(dialog->loginButton()->tap());
    ASSERT_TRUE(pumpUntil([&] { return request->isFinished(); }));
    ASSERT_FALSE(request->error()) << request->error()->localizedDescription();
    EXPECT_EQ(text(request->responseData()), "through the tunnel");
    EXPECT_EQ(request->proxyUsername(), "proxyuser");
}

}  // namespace
}  // namespace clipora::test
