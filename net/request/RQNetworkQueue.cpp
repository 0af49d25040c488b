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
        ++requestsCount_.unlocked();
        accurate = showAccurateProgress_.unlocked();
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
        totalBytesToUpload_.unlocked() += request->postLength();
    } else {
        std::lock_guard lock(mutex_);
        totalBytesToDownload_.unlocked() += 1;
        totalBytesToUpload_.unlocked() += 1;
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
        bytesUploadedSoFar_.unlocked() = 0;
        totalBytesToUpload_.unlocked() = 0;
        bytesDownloadedSoFar_.unlocked() = 0;
        totalBytesToDownload_.unlocked() = 0;
    }
    OperationQueue::cancelAllOperations();
}

void RQNetworkQueue::reset() {
    cancelAllOperations();
    {
        std::lock_guard lock(mutex_);
        delegate_.unlocked().reset();
        uploadProgressDelegate_.unlocked().reset();
        downloadProgressDelegate_.unlocked().reset();
        requestDidStartSelector_.unlocked() = nullptr;
        requestDidReceiveResponseHeadersSelector_.unlocked() = nullptr;
        requestDidFailSelector_.unlocked() = nullptr;
        requestDidFinishSelector_.unlocked() = nullptr;
        queueDidFinishSelector_.unlocked() = nullptr;
    }
    setSuspended(true);
}

std::shared_ptr<RQNetworkQueue> RQNetworkQueue::copy() const {
    auto other = queue();
    std::lock_guard lock(mutex_);
    std::lock_guard otherLock(other->mutex_);
    other->delegate_.unlocked() = delegate_.unlocked();
    other->requestDidStartSelector_.unlocked() = requestDidStartSelector_.unlocked();
    other->requestDidReceiveResponseHeadersSelector_.unlocked() = requestDidReceiveResponseHeadersSelector_.unlocked();
    other->requestWillRedirectSelector_.unlocked() = requestWillRedirectSelector_.unlocked();
    other->requestDidFinishSelector_.unlocked() = requestDidFinishSelector_.unlocked();
    other->requestDidFailSelector_.unlocked() = requestDidFailSelector_.unlocked();
    other->queueDidFinishSelector_.unlocked() = queueDidFinishSelector_.unlocked();
    other->uploadProgressDelegate_.unlocked() = uploadProgressDelegate_.unlocked();
    other->downloadProgressDelegate_.unlocked() = downloadProgressDelegate_.unlocked();
    other->shouldCancelAllRequestsOnFailure_.unlocked() = shouldCancelAllRequestsOnFailure_.unlocked();
    other->showAccurateProgress_.unlocked() = showAccurateProgress_.unlocked();
    other->userInfo_.unlocked() = userInfo_.unlocked();
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
        remaining = --requestsCount_.unlocked();
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
        remaining = --requestsCount_.unlocked();
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

bool RQNetworkQueue::respondsToWillRedirectToURL() const { return requestWillRedirectSelector() && delegate(); }

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
        bytesDownloadedSoFar_.unlocked() += static_cast<std::uint64_t>(bytes);
    }
    updateProgressIndicator(Direction::Download);
}

void RQNetworkQueue::requestDidSendBytes(RQHTTPRequest&, std::int64_t bytes) {
    {
        std::lock_guard lock(mutex_);
        bytesUploadedSoFar_.unlocked() += static_cast<std::uint64_t>(bytes);
    }
    updateProgressIndicator(Direction::Upload);
}

void RQNetworkQueue::requestIncrementDownloadSizeBy(RQHTTPRequest&, std::int64_t amount) {
    std::lock_guard lock(mutex_);
    totalBytesToDownload_.unlocked() += static_cast<std::uint64_t>(amount);
}

void RQNetworkQueue::requestIncrementUploadSizeBy(RQHTTPRequest&, std::int64_t amount) {
    std::lock_guard lock(mutex_);
    totalBytesToUpload_.unlocked() += static_cast<std::uint64_t>(amount);
}

void RQNetworkQueue::updateProgressIndicator(Direction direction) {
    std::shared_ptr<RQProgressDelegate> target;
    std::int64_t soFar;
    std::int64_t total;
    {
        std::lock_guard lock(mutex_);
        const bool upload = direction == Direction::Upload;
        target = (upload ? uploadProgressDelegate_.unlocked() : downloadProgressDelegate_.unlocked()).lock();
        soFar = static_cast<std::int64_t>(upload ? bytesUploadedSoFar_.unlocked() : bytesDownloadedSoFar_.unlocked());
        total = static_cast<std::int64_t>(upload ? totalBytesToUpload_.unlocked() : totalBytesToDownload_.unlocked());
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

void RQNetworkQueue::setUploadProgressDelegate(std::weak_ptr<RQProgressDelegate> delegate) {
    uploadProgressDelegate_.set(std::move(delegate));
    resetProgressDelegate(Direction::Upload);
}

void RQNetworkQueue::setDownloadProgressDelegate(std::weak_ptr<RQProgressDelegate> delegate) {
    downloadProgressDelegate_.set(std::move(delegate));
    resetProgressDelegate(Direction::Download);
}

}  // namespace clipora
