#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/request/RQHTTPRequest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestHome.h"

namespace clipora::test {

// Records what a request tells its listeners, in order, as short texts
// ("delegate:finished", "progress:setProgress=1"...).
class RequestRecorder : public RQHTTPRequestDelegate, public RQProgressDelegate {
public:
    explicit RequestRecorder(std::string name = "delegate") : name_(std::move(name)) {}

    void requestStarted(RQHTTPRequest&) override { add("started"); }
    void requestDidReceiveResponseHeaders(RQHTTPRequest&, const platform::HTTPHeaders&) override { add("headers"); }
    void requestWillRedirectToURL(RQHTTPRequest& request, const platform::URL& url) override;
    void requestFinished(RQHTTPRequest&) override { add("finished"); }
    void requestFailed(RQHTTPRequest&) override { add("failed"); }
    void requestRedirected(RQHTTPRequest&) override { add("redirected"); }
    void requestDidReceiveData(RQHTTPRequest&, const platform::Data& data) override;
    void authenticationNeededForRequest(RQHTTPRequest& request) override;
    void proxyAuthenticationNeededForRequest(RQHTTPRequest& request) override;

    bool respondsToWillRedirectToURL() const override { return static_cast<bool>(onRedirect); }
    bool respondsToDidReceiveData() const override { return takesData; }
    bool respondsToAuthenticationNeeded() const override { return static_cast<bool>(onAuthentication); }
    bool respondsToProxyAuthenticationNeeded() const override { return static_cast<bool>(onProxyAuthentication); }

    void setProgress(float progress) override;
    void requestDidReceiveBytes(RQHTTPRequest&, std::int64_t bytes) override;
    void requestDidSendBytes(RQHTTPRequest&, std::int64_t bytes) override;
    void requestIncrementDownloadSizeBy(RQHTTPRequest&, std::int64_t amount) override;
    void requestIncrementUploadSizeBy(RQHTTPRequest&, std::int64_t amount) override;

    std::vector<std::string> events() const;
    bool saw(const std::string& event) const;
    std::size_t count(const std::string& event) const;

    // Answers for the optional operations (unset: the operation is absent).
    std::function<void(RQHTTPRequest&, const platform::URL&)> onRedirect;
    std::function<void(RQHTTPRequest&)> onAuthentication;
    std::function<void(RQHTTPRequest&)> onProxyAuthentication;
    bool takesData = false;

    // Totals of the progress messages.
    std::int64_t bytesReceived = 0;
    std::int64_t bytesSent = 0;
    std::int64_t downloadSize = 0;
    std::int64_t uploadSize = 0;
    std::vector<float> progressValues;
    platform::Data dataReceived;

    void add(const std::string& event);

private:
    std::string name_;
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

// Base of the request-engine tests: a fresh home, the manual clock, the
// engine's class state forgotten, no proxies from the environment.
class RequestTest : public PlatformTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the request asynchronously and pumps the main loop until it has
    // finished; false on time-out.
    static bool runAsync(const std::shared_ptr<RQHTTPRequest>& request, double timeoutSeconds = 10);
    static std::shared_ptr<RQHTTPRequest> get(const std::string& url);
    static std::string text(const std::optional<platform::Data>& data);
    static platform::Data bytes(const std::string& text);
    static platform::Data gzip(const std::string& text);
    static std::string fileText(const std::filesystem::path& path);
};

}  // namespace clipora::test
