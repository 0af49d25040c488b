#include "net/request/RQNetworkQueue.h"

#include <algorithm>
#include <utility>

#include "platform/foundation/Exception.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"

namespace clipora {

using platform::HTTPHeaders;
using platform::URL;

std::shared_ptr<RQNetworkQueue> RQNetworkQueue::queue() { return std::make_shared<RQNetworkQueue>(); }

RQNetworkQueue::RQNetworkQueue() {
    OperationQueue::setMaxConcurrentOperationCount(kDefaultWidth);
    OperationQueue::setSuspended(true);
}

// Requests hold their queue, so by the time it goes none of them points at
// it any more: there is nothing to detach.
RQNetworkQueue::~RQNetworkQueue() = default;

void RQNetworkQueue::go() { setSuspended(false); }

void RQNetworkQueue::setSuspended(bool suspended) { OperationQueue::setSuspended(suspended); }

// ===========================================================================
// Adding and cancelling
// ===========================================================================

void RQNetworkQueue::addOperation(std::shared_ptr<platform::Operation> op) {
    auto request = std::dynamic_pointer_cast<RQHTTPRequest>(op);
    if (!request) {
        throw platform::Exception("AttemptToAddInvalidRequest",
                                  "Attempted to add an object that was not an RQHTTPRequest to an RQNetworkQueue");
    }
    bool accurate;
    {
        std::lock_guard lock(mutex_);
        ++requestsCount_;
        accurate = showAccurateProgress_;
    }
    if (accurate) {
        // Building the body may turn the method into POST.
        request->buildPostBody();
        if (request->requestMethod() == "GET" && isSuspended()) {
            auto head = request->HEADRequest();
            addHEADOperation(head);
            request->addDependency(head);
            if (request->shouldResetDownloadProgress()) {
                resetProgressDelegate(Direction::Download);
                request->setShouldResetDownloadProgress(false);
            }
        }
        request->buildPostBody();
        std::lock_guard lock(mutex_);
        totalBytesToUpload_ += request->postLength();
    } else {
        std::lock_guard lock(mutex_);
        totalBytesToDownload_ += 1;
        totalBytesToUpload_ += 1;
    }
    if (request->shouldResetUploadProgress()) {
        resetProgressDelegate(Direction::Upload);
        request->setShouldResetUploadProgress(false);
    }
    request->setShowAccurateProgress(accurate);
    request->setQueue(shared_from_this());
    OperationQueue::addOperation(request);
}

void RQNetworkQueue::addHEADOperation(std::shared_ptr<platform::Operation> op) {
    auto request = std::dynamic_pointer_cast<RQHTTPRequest>(op);
    if (!request) return;
    request->setRequestMethod("HEAD");
    request->setQueuePriority(kHEADPriority);
    request->setShowAccurateProgress(true);
    request->setQueue(shared_from_this());
    OperationQueue::addOperation(request);
}

void RQNetworkQueue::cancelAllOperations() {
    {
        std::lock_guard lock(mutex_);
        bytesUploadedSoFar_ = 0;
        totalBytesToUpload_ = 0;
        bytesDownloadedSoFar_ = 0;
        totalBytesToDownload_ = 0;
    }
    OperationQueue::cancelAllOperations();
}

void RQNetworkQueue::reset() {
    cancelAllOperations();
    {
        std::lock_guard lock(mutex_);
        delegate_.reset();
        uploadProgressDelegate_.reset();
        downloadProgressDelegate_.reset();
        requestDidStartSelector_ = nullptr;
        requestDidReceiveResponseHeadersSelector_ = nullptr;
        requestDidFailSelector_ = nullptr;
        requestDidFinishSelector_ = nullptr;
        queueDidFinishSelector_ = nullptr;
    }
    setSuspended(true);
}

std::shared_ptr<RQNetworkQueue> RQNetworkQueue::copy() const {
    auto other = queue();
    std::lock_guard lock(mutex_);
    std::lock_guard otherLock(other->mutex_);
    other->delegate_ = delegate_;
    other->requestDidStartSelector_ = requestDidStartSelector_;
    other->requestDidReceiveResponseHeadersSelector_ = requestDidReceiveResponseHeadersSelector_;
    other->requestWillRedirectSelector_ = requestWillRedirectSelector_;
    other->requestDidFinishSelector_ = requestDidFinishSelector_;
    other->requestDidFailSelector_ = requestDidFailSelector_;
    other->queueDidFinishSelector_ = queueDidFinishSelector_;
    other->uploadProgressDelegate_ = uploadProgressDelegate_;
    other->downloadProgressDelegate_ = downloadProgressDelegate_;
    other->shouldCancelAllRequestsOnFailure_ = shouldCancelAllRequestsOnFailure_;
    other->showAccurateProgress_ = showAccurateProgress_;
    other->userInfo_ = userInfo_;
    return other;
}

// ===========================================================================
// Request reports
// ===========================================================================

void RQNetworkQueue::requestStarted(RQHTTPRequest& request) {
    auto selector = requestDidStartSelector();
    auto d = delegate();
    if (selector && d) selector(*d, request);
}

void RQNetworkQueue::requestDidReceiveResponseHeaders(RQHTTPRequest& request, const HTTPHeaders& headers) {
    auto selector = requestDidReceiveResponseHeadersSelector();
    auto d = delegate();
    if (selector && d) selector(*d, request, headers);
}

void RQNetworkQueue::requestWillRedirectToURL(RQHTTPRequest& request, const URL& url) {
    auto selector = requestWillRedirectSelector();
    auto d = delegate();
    if (selector && d) selector(*d, request, url);
}

void RQNetworkQueue::queueDidFinishIfEmpty(int remaining) {
    if (remaining != 0) return;
    auto selector = queueDidFinishSelector();
    auto d = delegate();
    if (selector && d) selector(*d, *this);
}

void RQNetworkQueue::requestFinished(RQHTTPRequest& request) {
    auto keep = shared_from_this();
    int remaining;
    {
        std::lock_guard lock(mutex_);
        remaining = --requestsCount_;
    }
    auto selector = requestDidFinishSelector();
    if (auto d = delegate(); selector && d) selector(*d, request);
    queueDidFinishIfEmpty(remaining);
}

void RQNetworkQueue::requestFailed(RQHTTPRequest& request) {
    auto keep = shared_from_this();
    int remaining;
    {
        std::lock_guard lock(mutex_);
        remaining = --requestsCount_;
    }
    auto selector = requestDidFailSelector();
    if (auto d = delegate(); selector && d) selector(*d, request);
    queueDidFinishIfEmpty(remaining);
    if (shouldCancelAllRequestsOnFailure() && remaining > 0) cancelAllOperations();
}

void RQNetworkQueue::authenticationNeededForRequest(RQHTTPRequest& request) {
    if (auto d = delegate(); d && d->respondsToAuthenticationNeeded()) d->authenticationNeededForRequest(request);
}

void RQNetworkQueue::proxyAuthenticationNeededForRequest(RQHTTPRequest& request) {
    if (auto d = delegate(); d && d->respondsToProxyAuthenticationNeeded())
        d->proxyAuthenticationNeededForRequest(request);
}

bool RQNetworkQueue::respondsToWillRedirectToURL() const {
    return requestWillRedirectSelector() && delegate();
}

bool RQNetworkQueue::respondsToAuthenticationNeeded() const {
    auto d = delegate();
    return d && d->respondsToAuthenticationNeeded();
}

bool RQNetworkQueue::respondsToProxyAuthenticationNeeded() const {
    auto d = delegate();
    return d && d->respondsToProxyAuthenticationNeeded();
}

// ===========================================================================
// Progress
// ===========================================================================

void RQNetworkQueue::requestDidReceiveBytes(RQHTTPRequest&, std::int64_t bytes) {
    {
        std::lock_guard lock(mutex_);
        bytesDownloadedSoFar_ += static_cast<std::uint64_t>(bytes);
    }
    updateProgressIndicator(Direction::Download);
}

void RQNetworkQueue::requestDidSendBytes(RQHTTPRequest&, std::int64_t bytes) {
    {
        std::lock_guard lock(mutex_);
        bytesUploadedSoFar_ += static_cast<std::uint64_t>(bytes);
    }
    updateProgressIndicator(Direction::Upload);
}

void RQNetworkQueue::requestIncrementDownloadSizeBy(RQHTTPRequest&, std::int64_t amount) {
    std::lock_guard lock(mutex_);
    totalBytesToDownload_ += static_cast<std::uint64_t>(amount);
}

void RQNetworkQueue::requestIncrementUploadSizeBy(RQHTTPRequest&, std::int64_t amount) {
    std::lock_guard lock(mutex_);
    totalBytesToUpload_ += static_cast<std::uint64_t>(amount);
}

void RQNetworkQueue::updateProgressIndicator(Direction direction) {
    std::shared_ptr<RQProgressDelegate> target;
    std::int64_t soFar;
    std::int64_t total;
    {
        std::lock_guard lock(mutex_);
        const bool upload = direction == Direction::Upload;
        target = (upload ? uploadProgressDelegate_ : downloadProgressDelegate_).lock();
        soFar = static_cast<std::int64_t>(upload ? bytesUploadedSoFar_ : bytesDownloadedSoFar_);
        total = static_cast<std::int64_t>(upload ? totalBytesToUpload_ : totalBytesToDownload_);
    }
    if (!target) return;
    // A bar never runs backwards past empty nor beyond full, even while a
    // size is still on its way.
    double value = total > 0 ? static_cast<double>(soFar) / static_cast<double>(total) : 0.0;
    value = std::clamp(value, 0.0, 1.0);
    target->setProgress(static_cast<float>(value));
}

void RQNetworkQueue::resetProgressDelegate(Direction direction) {
    auto target = direction == Direction::Upload ? uploadProgressDelegate() : downloadProgressDelegate();
    if (!target) return;
    std::weak_ptr<RQProgressDelegate> weak = target;
    auto task = [weak] {
        if (auto delegate = weak.lock()) delegate->setProgress(0.0f);
    };
    if (platform::RunLoop::isMainThread()) {
        task();
    } else {
        platform::Thread::performOnMainThread(std::move(task), false);
    }
}

// ===========================================================================
// Properties
// ===========================================================================

std::shared_ptr<RQHTTPRequestDelegate> RQNetworkQueue::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void RQNetworkQueue::setDelegate(std::weak_ptr<RQHTTPRequestDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

void RQNetworkQueue::setRequestDidStartSelector(RequestSelector selector) {
    std::lock_guard lock(mutex_);
    requestDidStartSelector_ = std::move(selector);
}

void RQNetworkQueue::setRequestDidReceiveResponseHeadersSelector(HeadersSelector selector) {
    std::lock_guard lock(mutex_);
    requestDidReceiveResponseHeadersSelector_ = std::move(selector);
}

void RQNetworkQueue::setRequestWillRedirectSelector(RedirectSelector selector) {
    std::lock_guard lock(mutex_);
    requestWillRedirectSelector_ = std::move(selector);
}

void RQNetworkQueue::setRequestDidFinishSelector(RequestSelector selector) {
    std::lock_guard lock(mutex_);
    requestDidFinishSelector_ = std::move(selector);
}

void RQNetworkQueue::setRequestDidFailSelector(RequestSelector selector) {
    std::lock_guard lock(mutex_);
    requestDidFailSelector_ = std::move(selector);
}

void RQNetworkQueue::setQueueDidFinishSelector(QueueSelector selector) {
    std::lock_guard lock(mutex_);
    queueDidFinishSelector_ = std::move(selector);
}

RQNetworkQueue::RequestSelector RQNetworkQueue::requestDidStartSelector() const {
    std::lock_guard lock(mutex_);
    return requestDidStartSelector_;
}

RQNetworkQueue::HeadersSelector RQNetworkQueue::requestDidReceiveResponseHeadersSelector() const {
    std::lock_guard lock(mutex_);
    return requestDidReceiveResponseHeadersSelector_;
}

RQNetworkQueue::RedirectSelector RQNetworkQueue::requestWillRedirectSelector() const {
    std::lock_guard lock(mutex_);
    return requestWillRedirectSelector_;
}

RQNetworkQueue::RequestSelector RQNetworkQueue::requestDidFinishSelector() const {
    std::lock_guard lock(mutex_);
    return requestDidFinishSelector_;
}

RQNetworkQueue::RequestSelector RQNetworkQueue::requestDidFailSelector() const {
    std::lock_guard lock(mutex_);
    return requestDidFailSelector_;
}

RQNetworkQueue::QueueSelector RQNetworkQueue::queueDidFinishSelector() const {
    std::lock_guard lock(mutex_);
    return queueDidFinishSelector_;
}

std::shared_ptr<RQProgressDelegate> RQNetworkQueue::uploadProgressDelegate() const {
    std::lock_guard lock(mutex_);
    return uploadProgressDelegate_.lock();
}

void RQNetworkQueue::setUploadProgressDelegate(std::weak_ptr<RQProgressDelegate> delegate) {
    {
        std::lock_guard lock(mutex_);
        uploadProgressDelegate_ = std::move(delegate);
    }
    resetProgressDelegate(Direction::Upload);
}

std::shared_ptr<RQProgressDelegate> RQNetworkQueue::downloadProgressDelegate() const {
    std::lock_guard lock(mutex_);
    return downloadProgressDelegate_.lock();
}

void RQNetworkQueue::setDownloadProgressDelegate(std::weak_ptr<RQProgressDelegate> delegate) {
    {
        std::lock_guard lock(mutex_);
        downloadProgressDelegate_ = std::move(delegate);
    }
    resetProgressDelegate(Direction::Download);
}

std::uint64_t RQNetworkQueue::bytesUploadedSoFar() const {
    std::lock_guard lock(mutex_);
    return bytesUploadedSoFar_;
}

void RQNetworkQueue::setBytesUploadedSoFar(std::uint64_t value) {
    std::lock_guard lock(mutex_);
    bytesUploadedSoFar_ = value;
}

std::uint64_t RQNetworkQueue::totalBytesToUpload() const {
    std::lock_guard lock(mutex_);
    return totalBytesToUpload_;
}

void RQNetworkQueue::setTotalBytesToUpload(std::uint64_t value) {
    std::lock_guard lock(mutex_);
    totalBytesToUpload_ = value;
}

std::uint64_t RQNetworkQueue::bytesDownloadedSoFar() const {
    std::lock_guard lock(mutex_);
    return bytesDownloadedSoFar_;
}

void RQNetworkQueue::setBytesDownloadedSoFar(std::uint64_t value) {
    std::lock_guard lock(mutex_);
    bytesDownloadedSoFar_ = value;
}

std::uint64_t RQNetworkQueue::totalBytesToDownload() const {
    std::lock_guard lock(mutex_);
    return totalBytesToDownload_;
}

void RQNetworkQueue::setTotalBytesToDownload(std::uint64_t value) {
    std::lock_guard lock(mutex_);
    totalBytesToDownload_ = value;
}

int RQNetworkQueue::requestsCount() const {
    std::lock_guard lock(mutex_);
    return requestsCount_;
}

void RQNetworkQueue::setRequestsCount(int count) {
    std::lock_guard lock(mutex_);
    requestsCount_ = count;
}

bool RQNetworkQueue::shouldCancelAllRequestsOnFailure() const {
    std::lock_guard lock(mutex_);
    return shouldCancelAllRequestsOnFailure_;
}

void RQNetworkQueue::setShouldCancelAllRequestsOnFailure(bool value) {
    std::lock_guard lock(mutex_);
    shouldCancelAllRequestsOnFailure_ = value;
}

bool RQNetworkQueue::showAccurateProgress() const {
    std::lock_guard lock(mutex_);
    return showAccurateProgress_;
}

void RQNetworkQueue::setShowAccurateProgress(bool value) {
    std::lock_guard lock(mutex_);
    showAccurateProgress_ = value;
}

platform::Value RQNetworkQueue::userInfo() const {
    std::lock_guard lock(mutex_);
    return userInfo_;
}

void RQNetworkQueue::setUserInfo(platform::Value info) {
    std::lock_guard lock(mutex_);
    userInfo_ = std::move(info);
}

}  // namespace clipora
