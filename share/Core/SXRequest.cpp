#include "share/Core/SXRequest.h"

#include <atomic>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Text.h"

namespace clipora {

namespace {

std::atomic<std::size_t>& maxLength() {
    static std::atomic<std::size_t> length{SXRequest::kDefaultMaxResponseLength};
    return length;
}

}  // namespace

std::size_t SXRequest::maxResponseLength() { return maxLength().load(); }
void SXRequest::setMaxResponseLength(std::size_t bytes) { maxLength().store(bytes); }

std::shared_ptr<SXRequest> SXRequest::initWithURLParamsDelegateIsFinishedSelectorMethodAutostart(
    const platform::URL& url, std::optional<std::string> params, std::weak_ptr<void> delegate,
    FinishedSelector isFinishedSelector, std::string method, bool autostart) {
    auto request = std::make_shared<SXRequest>();
    request->url_ = url;
    request->params_ = std::move(params);
    request->delegate_ = std::move(delegate);
    request->isFinishedSelector_ = std::move(isFinishedSelector);
    request->method_ = std::move(method);
    if (autostart) request->start();
    return request;
}

void SXRequest::start() {
    data_.clear();
    result_.reset();
    success_ = false;
    tooLarge_ = false;
    finished_ = false;
    if (!url_) {
        finish();
        return;
    }
    platform::URLRequest request(*url_, platform::URLRequest::CachePolicy::ReloadIgnoringLocalAndRemoteCacheData,
                                 kTimeout);
    if (!headerFields_.empty()) request.setAllHTTPHeaderFields(headerFields_);
    // Only a missing body means GET: an empty one (a check-in) keeps the
    // method and goes out with "Content-Length: 0".
    if (params_) {
        request.setHTTPMethod(method_);
        request.setHTTPBody(platform::Text::toData(*params_));
    }
    connection_ = platform::URLConnection::connectionWithRequestDelegate(request, shared_from_this());
}

void SXRequest::cancel() {
    if (connection_) connection_->cancel();
    connection_.reset();
}

void SXRequest::connectionDidReceiveResponse(const std::shared_ptr<platform::URLConnection>&,
                                             const std::shared_ptr<platform::HTTPURLResponse>& response) {
    response_ = response;
    headers_ = response ? response->allHeaderFields() : platform::Value::Dictionary{};
    data_.clear();
}

void SXRequest::connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection,
                                         const platform::Data& data) {
    if (data_.size() + data.size() > maxResponseLength()) {
        // A broken or hostile peer must not fill the memory.
        tooLarge_ = true;
        connection->cancel();
        connection_.reset();
        finish();
        return;
    }
    data_.insert(data_.end(), data.begin(), data.end());
}

void SXRequest::connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>&) {
    connection_.reset();
    finish();
}

void SXRequest::connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>&, const platform::Error&) {
    connection_.reset();
    response_.reset();
    finish();
}

void SXRequest::finish() {
    if (finished_) return;
    finished_ = true;
    auto keep = shared_from_this();
    int status = response_ ? response_->statusCode() : 0;
    success_ = !tooLarge_ && (status == 200 || status == 201);
    if (isFinishedSelector_ && !delegate_.expired()) isFinishedSelector_(keep);
}

const std::string& SXRequest::getResult() {
    if (!result_) result_ = std::string(data_.begin(), data_.end());
    return *result_;
}

}  // namespace clipora
