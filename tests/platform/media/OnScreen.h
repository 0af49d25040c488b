#pragma once

#include <memory>

#include "platform/uikit/Screen.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/Window.h"

namespace clipora::test {

// A visible window whose root is `presenter`, so that what it presents
// appears on screen; hidden again when the object goes.
struct OnScreen {
    std::shared_ptr<platform::Window> window =
        std::make_shared<platform::Window>(platform::Screen::mainScreen()->bounds());
    std::shared_ptr<platform::ViewController> presenter = std::make_shared<platform::ViewController>();
    OnScreen() {
        window->setRootViewController(presenter);
        window->makeKeyAndVisible();
    }
    ~OnScreen() { window->setHidden(true); }
    OnScreen(const OnScreen&) = delete;
    OnScreen& operator=(const OnScreen&) = delete;
};

}  // namespace clipora::test
