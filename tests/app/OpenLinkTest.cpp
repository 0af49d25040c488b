#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AppConfig.h"
#include "app/OpenLink.h"
#include "platform/uikit/Application.h"
#include "tests/app/AppTest.h"
#include "tests/support/LoopbackServer.h"

namespace clipora {
namespace {

using namespace platform;

class OpenLinkTest : public test::AppTest {};

// An affiliate chain is followed on loopback: the click host redirects to a
// page that redirects on to the address named by the case. Only the store's
// own address may be opened from the chain; another application's address
// ends it at the last web address.
TEST_F(OpenLinkTest, ARedirectChainOpensOnlyWebAndStoreAddresses) {
    struct Case {
        const char* target;
        bool opensTarget;
    };
    const Case cases[] = {
        {"otherapp://pay?to=someone", false},
        {"itms-apps://store.test/app/id0", true},
    };
    for (const auto& c : cases) {
        test::LoopbackServer server;
        server.server().set_keep_alive_max_count(1);
        server.server().Get("/fs-bin/click", [&](const httplib::Request&, httplib::Response& response) {
            response.status = 302;
            response.set_header("Location", server.url("/hop"));
        });
        server.server().Get("/hop", [&](const httplib::Request&, httplib::Response& response) {
            response.status = 302;
            response.set_header("Location", c.target);
        });
        server.start();
        AppConfig config = AppConfig::current();
        config.affiliateClickHost = "127.0.0.1:" + std::to_string(server.port());
        AppConfig::setCurrent(config);
        Application::reset();
        auto app = Application::sharedApplication();
        std::vector<std::string> handled;
        for (const char* scheme : {"otherapp", "itms-apps"})
            app->registerURLSchemeHandler(scheme, [&](const URL& url) {
                handled.push_back(url.absoluteString());
                return true;
            });

        auto opener = std::make_shared<OpenLink>();
        opener->openLinkShareLink(server.url("/fs-bin/click?id=1"));
        ASSERT_TRUE(pumpUntil([&] { return !app->openedURLs().empty(); })) << c.target;
        ASSERT_EQ(app->openedURLs().size(), 1u) << c.target;
        const std::string opened = app->openedURLs().back().absoluteString();
        if (c.opensTarget) {
            EXPECT_EQ(opened, c.target);
            EXPECT_EQ(handled, std::vector<std::string>{c.target});
        } else {
            EXPECT_EQ(opened, server.url("/hop")) << "the last web address";
            EXPECT_TRUE(handled.empty()) << "another application's address was opened";
        }
    }
}

}  // namespace
}  // namespace clipora
