#pragma once

#include <memory>
#include <string>

#include "app/CinevueAppDelegate.h"
#include "app/OptionListViewController.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Application.h"
#include "tests/app/AppTest.h"
#include "tools/standin/StandinServer.h"

namespace clipora::test {

// The application launched against the stand-in of the social network.
class StandinAppTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        server = std::make_unique<standin::StandinServer>();
        server->start();
    }
    void TearDown() override {
        delegate.reset();
        if (server) server->stop();
        AppTest::TearDown();
        server.reset();
    }

    // Stores a valid token of "me", as an earlier sign-in would have.
    void storeSignIn() {
        auto defaults = platform::UserDefaults::standardUserDefaults();
        defaults->setObject(platform::Value(server->accessToken()), CinevueAppDelegate::kAccessTokenKey);
        defaults->setObject(platform::Value(platform::Date::distantFuture()), CinevueAppDelegate::kExpirationDateKey);
    }
    void launch() {
        delegate = CinevueAppDelegate::create();
        platform::Application::sharedApplication()->launch(delegate);
    }
    static standin::StandinKnob holdKnob() {
        standin::StandinKnob knob;
        knob.hold = true;
        return knob;
    }
    static standin::StandinKnob statusKnob(int status, int times = -1) {
        standin::StandinKnob knob;
        knob.status = status;
        knob.times = times;
        return knob;
    }
    std::shared_ptr<OptionListViewController> menu() const { return delegate->viewController(); }

    std::unique_ptr<standin::StandinServer> server;
    std::shared_ptr<CinevueAppDelegate> delegate;
};

}  // namespace clipora::test
