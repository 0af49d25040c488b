#include "tests/net/request/RequestTestSupport.h"

#include <fstream>
#include <sstream>

#include "net/request/RQBandwidthThrottle.h"
#include "net/request/RQDataCompressor.h"
#include "platform/cfnetwork/HTTPClientCore.h"
#include "platform/cfnetwork/ProxySettings.h"
#include "platform/foundation/Text.h"
#include "tests/support/Pump.h"

namespace clipora::test {

void RequestRecorder::add(const std::string& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(name_ + ":" + event);
}

void RequestRecorder::requestWillRedirectToURL(RQHTTPRequest& request, const platform::URL& url) {
    add("willRedirect=" + url.absoluteString());
    if (onRedirect) onRedirect(request, url);
}

void RequestRecorder::requestDidReceiveData(RQHTTPRequest&, const platform::Data& data) {
    add("data");
    dataReceived.insert(dataReceived.end(), data.begin(), data.end());
}

void RequestRecorder::authenticationNeededForRequest(RQHTTPRequest& request) {
    add("authenticationNeeded");
    if (onAuthentication) onAuthentication(request);
}

void RequestRecorder::proxyAuthenticationNeededForRequest(RQHTTPRequest& request) {
    add("proxyAuthenticationNeeded");
    if (onProxyAuthentication) onProxyAuthentication(request);
}

void RequestRecorder::setProgress(float progress) {
    progressValues.push_back(progress);
    add("progress=" + platform::Text::format("%g", static_cast<double>(progress)));
}

void RequestRecorder::requestDidReceiveBytes(RQHTTPRequest&, std::int64_t bytes) { bytesReceived += bytes; }
void RequestRecorder::requestDidSendBytes(RQHTTPRequest&, std::int64_t bytes) { bytesSent += bytes; }
void RequestRecorder::requestIncrementDownloadSizeBy(RQHTTPRequest&, std::int64_t amount) { downloadSize += amount; }
void RequestRecorder::requestIncrementUploadSizeBy(RQHTTPRequest&, std::int64_t amount) { uploadSize += amount; }

std::vector<std::string> RequestRecorder::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

bool RequestRecorder::saw(const std::string& event) const { return count(event) > 0; }

std::size_t RequestRecorder::count(const std::string& event) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& e : events_) n += e == event;
    return n;
}

void RequestTest::SetUp() {
    PlatformTest::SetUp();
    RQHTTPRequest::resetClassStateForTesting();
    platform::ProxySettings::setSystemProxySettings(std::make_shared<platform::ProxySettings>());
    platform::HTTPClientCore::shared()->closeIdleConnections();
}

void RequestTest::TearDown() {
    RQHTTPRequest::resetClassStateForTesting();
    platform::ProxySettings::setSystemProxySettings(nullptr);
    platform::HTTPClientCore::shared()->closeIdleConnections();
    PlatformTest::TearDown();
}

bool RequestTest::runAsync(const std::shared_ptr<RQHTTPRequest>& request, double timeoutSeconds) {
    request->startAsynchronous();
    return pumpUntil([&] { return request->isFinished(); }, timeoutSeconds);
}

std::shared_ptr<RQHTTPRequest> RequestTest::get(const std::string& url) {
    return RQHTTPRequest::requestWithURL(platform::URL::fromString(url));
}

std::string RequestTest::text(const std::optional<platform::Data>& data) {
    if (!data) return "<none>";
    return std::string(data->begin(), data->end());
}

platform::Data RequestTest::bytes(const std::string& text) { return platform::Data(text.begin(), text.end()); }

platform::Data RequestTest::gzip(const std::string& text) {
    return RQDataCompressor::compressDataError(bytes(text), nullptr).value_or(platform::Data{});
}

std::string RequestTest::fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

}  // namespace clipora::test
