#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cfnetwork/HostResolver.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/View.h"
#include "platform/uikit/Window.h"
#include "social/sdk/FBDialogDelegate.h"
#include "social/sdk/FBHosts.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/FBRequestDelegate.h"
#include "social/sdk/FBSessionDelegate.h"
#include "tests/support/TestHome.h"

namespace clipora::test {

// Everything a session tells its delegate, in order.
struct SessionRecorder : FBSessionDelegate {
    std::vector<std::string> events;
    std::optional<std::string> extendedToken;
    std::optional<platform::Date> extendedExpiry;

    void fbDidLogin() override { events.push_back("login"); }
    void fbDidNotLogin(bool cancelled) override { events.push_back(cancelled ? "notLogin cancelled" : "notLogin"); }
    void fbDidExtendTokenExpiresAt(const std::string& token, platform::Date expiry) override {
        events.push_back("extended");
        extendedToken = token;
        extendedExpiry = expiry;
    }
    void fbDidLogout() override { events.push_back("logout"); }
    void fbSessionInvalidated() override { events.push_back("invalidated"); }
};

// Everything a request tells its delegate.
struct RequestRecorder : FBRequestDelegate {
    std::vector<std::string> events;
    std::optional<platform::Value> result;
    std::optional<platform::Error> error;
    std::optional<platform::Data> raw;
    int statusCode = 0;

    bool done() const { return result.has_value() || error.has_value(); }

    void requestLoading(const std::shared_ptr<FBRequest>&) override { events.push_back("loading"); }
    void requestDidReceiveResponse(const std::shared_ptr<FBRequest>&,
                                   const std::shared_ptr<platform::HTTPURLResponse>& response) override {
        events.push_back("response");
        statusCode = response ? response->statusCode() : 0;
    }
    void requestDidLoadRawResponse(const std::shared_ptr<FBRequest>&, const platform::Data& data) override {
        events.push_back("raw");
        raw = data;
    }
    void requestDidLoad(const std::shared_ptr<FBRequest>&, const platform::Value& value) override {
        events.push_back("load");
        result = value;
    }
    void requestDidFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& e) override {
        events.push_back("fail");
        error = e;
    }
};

// Everything a dialog tells its delegate.
struct DialogRecorder : FBDialogDelegate {
    std::vector<std::string> events;
    std::optional<platform::Error> error;
    bool openExternally = true;

    void dialogDidComplete(const std::shared_ptr<FBDialog>&) override { events.push_back("complete"); }
    void dialogCompleteWithUrl(const platform::URL& url) override {
        events.push_back("completeWithUrl " + url.absoluteString());
    }
    void dialogDidNotCompleteWithUrl(const std::optional<platform::URL>& url) override {
        events.push_back("notCompleteWithUrl " + (url ? url->absoluteString() : std::string("none")));
    }
    void dialogDidNotComplete(const std::shared_ptr<FBDialog>&) override { events.push_back("notComplete"); }
    void dialogDidFailWithError(const std::shared_ptr<FBDialog>&, const platform::Error& e) override {
        events.push_back("fail");
        error = e;
    }
    bool dialogShouldOpenURLInExternalBrowser(const std::shared_ptr<FBDialog>&, const platform::URL& url) override {
        events.push_back("askExternal " + url.absoluteString());
        return openExternally;
    }
};

// A fresh home, clock, application, device and window, and the network's
// hosts and upload route as they were.
class SdkTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        platform::Application::reset();
        platform::View::setAnimationsEnabled(true);
        FBHosts::resetToDefaults();
        FBRequest::setUploadRouteFactory({});
        window_ = std::make_shared<platform::Window>(platform::Rect(0, 0, 320, 480));
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        window_.reset();
        FBHosts::resetToDefaults();
        FBRequest::setUploadRouteFactory({});
        FBRequest::setMaxResponseLength(FBRequest::kDefaultMaxResponseLength);
        platform::HostResolver::removeAllOverrides();
        platform::Application::reset();
        PlatformTest::TearDown();
    }

    std::shared_ptr<platform::Window> window_;
};

}  // namespace clipora::test
