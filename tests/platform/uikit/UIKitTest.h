#pragma once

#include "platform/uikit/Application.h"
#include "platform/uikit/View.h"
#include "tests/support/TestHome.h"

namespace clipora::test {

// Platform fixture plus a fresh application, device, screen, keyboard and
// alert registry for every test.
class UIKitTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        platform::Application::reset();
        platform::View::setAnimationsEnabled(true);
    }
    void TearDown() override {
        platform::Application::reset();
        PlatformTest::TearDown();
    }
};

}  // namespace clipora::test
