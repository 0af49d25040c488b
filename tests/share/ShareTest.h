#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/system/NetworkReachability.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/View.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/Window.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/Core/SXSharer.h"
#include "share/UI/SXActivityIndicator.h"
#include "tests/support/TestHome.h"

namespace clipora::test {

// Records the framework's notifications ("start", "finish", "fail",
// "cancel", "auth yes" / "auth no"), in order, with the sharer's id.
class NotificationRecorder {
public:
    NotificationRecorder() {
        auto& center = platform::NotificationCenter::defaultCenter();
        watch(center, SXSharer::kSendDidStartNotification, "start");
        watch(center, SXSharer::kSendDidFinishNotification, "finish");
        watch(center, SXSharer::kSendDidFailWithErrorNotification, "fail");
        watch(center, SXSharer::kSendDidCancelNotification, "cancel");
        ids_.push_back(
            center.addObserver(SXSharer::kAuthDidFinishNotification, [this](const platform::Notification& n) {
                auto success = n.userInfo.find("success");
                events.push_back(std::string("auth ") + (success && success->boolValue() ? "yes" : "no"));
            }));
    }
    ~NotificationRecorder() {
        for (auto id : ids_) platform::NotificationCenter::defaultCenter().removeObserver(id);
    }
    std::vector<std::string> events;

private:
    void watch(platform::NotificationCenter& center, const char* name, std::string label) {
        ids_.push_back(center.addObserver(name, [this, label](const platform::Notification& n) {
            if (n.object.objectAs<SXSharer>()) events.push_back(label);
        }));
    }
    std::vector<platform::NotificationCenter::ObserverId> ids_;
};

// A fresh home, application, key window with a root screen, hub,
// configuration and indicator; online unless a test says otherwise.
class ShareTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        platform::Application::reset();
        resetShare();
        window_ = std::make_shared<platform::Window>(platform::Rect(0, 0, 320, 480));
        root_ = std::make_shared<platform::ViewController>();
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
        setOnline(true);
    }
    void TearDown() override {
        resetShare();
        root_.reset();
        window_.reset();
        platform::NetworkReachability::clearFlagsOverrides();
        platform::Application::reset();
        PlatformTest::TearDown();
    }
    static void resetShare() {
        SX::reset();
        SXConfiguration::resetSharedInstance();
        SXActivityIndicator::reset();
    }
    static void setOnline(bool online) {
        platform::NetworkReachability::setFlagsOverride(online ? platform::NetworkReachability::kReachable : 0u);
    }
    // Lets a parked screen come up (the hub waits 0.02 s).
    static void settle() {
        advanceClock(SX::kPendingViewDelay);
        pumpPending();
    }
    // The framework screen on top of the root, if any.
    std::shared_ptr<platform::ViewController> presented() const { return root_->modalViewController(); }
    static std::string topAlertText() {
        auto alert = platform::AlertRegistry::topAlert();
        return alert ? alert->title() + ": " + alert->message() : std::string();
    }

    std::shared_ptr<platform::Window> window_;
    std::shared_ptr<platform::ViewController> root_;
};

}  // namespace clipora::test
