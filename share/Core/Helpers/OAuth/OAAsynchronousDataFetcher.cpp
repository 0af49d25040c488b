#include "share/Core/Helpers/OAuth/OAAsynchronousDataFetcher.h"

#include <atomic>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLConnection.h"
#include "share/Core/Helpers/OAuth/OAMutableURLRequest.h"

namespace clipora {

namespace {

std::atomic<std::size_t>& maxLength() {
    static std::atomic<std::size_t> length{OAAsynchronousDataFetcher::kDefaultMaxResponseLength};
    return length;
}

}  // namespace

std::size_t OAAsynchronousDataFetcher::maxResponseLength() { return maxLength().load(); }
void OAAsynchronousDataFetcher::setMaxResponseLength(std::size_t bytes) { maxLength().store(bytes); }

std::shared_ptr<OAAsynchronousDataFetcher>
OAAsynchronousDataFetcher::asynchronousFetcherWithRequestDelegateDidFinishSelectorDidFailSelector(
    std::shared_ptr<OAMutableURLRequest> request, std::weak_ptr<void> delegate, FinishSelector didFinish,
    FailSelector didFail) {
    auto fetcher = std::make_shared<OAAsynchronousDataFetcher>();
    fetcher->request_ = std::move(request);
    fetcher->delegate_ = std::move(delegate);
    fetcher->didFinish_ = std::move(didFinish);
    fetcher->didFail_ = std::move(didFail);
    return fetcher;
}

void OAAsynchronousDataFetcher::start() {
    request_->prepare();
    if (connection_) connection_->cancel();
    connection_.reset();
    responseData_.clear();
    response_.reset();
    connection_ = platform::URLConnection::connectionWithRequestDelegate(*request_, shared_from_this());
    if (!connection_) fail(std::nullopt);
}

void OAAsynchronousDataFetcher::cancel() {
    if (connection_) connection_->cancel();
    connection_.reset();
}

void OAAsynchronousDataFetcher::fail(const std::optional<platform::Error>& error) {
    auto keep = shared_from_this();
    connection_.reset();
    if (didFail_ && !delegate_.expired()) didFail_(OAServiceTicket(request_, response_, std::nullopt, false), error);
}

void OAAsynchronousDataFetcher::connectionDidReceiveResponse(
    const std::shared_ptr<platform::URLConnection>&, const std::shared_ptr<platform::HTTPURLResponse>& response) {
    response_ = response;
    responseData_.clear();
}

void OAAsynchronousDataFetcher::connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection,
                                                         const platform::Data& data) {
    if (responseData_.size() + data.size() > maxResponseLength()) {
        connection->cancel();
        fail(platform::Error::withDescription(kErrorDomain, kReplyTooLarge, "The reply is too large."));
        return;
    }
    responseData_.insert(responseData_.end(), data.begin(), data.end());
}

void OAAsynchronousDataFetcher::connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>&) {
    auto keep = shared_from_this();
    connection_.reset();
    bool succeeded = response_ && response_->statusCode() < 400;
    if (didFinish_ && !delegate_.expired()) {
        didFinish_(OAServiceTicket(request_, response_, responseData_, succeeded), responseData_);
    }
}

void OAAsynchronousDataFetcher::connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>&,
                                                           const platform::Error& error) {
    fail(error);
}

}  // namespace clipora
