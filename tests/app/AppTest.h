#pragma once

#include "app/AppConfig.h"
#include "app/ProgressHUD.h"
#include "app/UpdateChecker.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/View.h"
#include "tests/support/TestHome.h"

namespace clipora::test {

// Platform fixture plus fresh interface objects and application settings that
// reach no host: the remote lists are off and the affiliate host is a name no
// test serves unless it says so.
class AppTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        platform::Application::reset();
        platform::UserDefaults::resetStandardUserDefaults();
        platform::View::setAnimationsEnabled(true);
        AppConfig config = AppConfig::defaults();
        config.updateListURL.clear();
        config.versionsListURL.clear();
        config.shortenerLogin.clear();
        config.shortenerApiKey.clear();
        AppConfig::setCurrent(config);
    }
    void TearDown() override {
        ProgressHUD::resetSharedView();
        UpdateChecker::resetSharedInstance();
        platform::AlertRegistry::reset();
        platform::Application::reset();
        AppConfig::resetToDefaults();
        PlatformTest::TearDown();
    }
};

}  // namespace clipora::test
