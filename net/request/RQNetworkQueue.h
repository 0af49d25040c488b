#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "net/request/RQHTTPRequest.h"
#include "net/request/RQHTTPRequestDelegate.h"
#include "net/request/RQLockedProperty.h"
#include "net/request/RQProgressDelegate.h"
#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/Operation.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

// An operation queue of RQHTTPRequest objects with what a plain queue
// lacks: one delegate told of every request through selectors of the
// caller's choosing, a notice when no request is left, cancelling the rest
// when one fails, and overall upload and download progress across all its
// requests.
//
// A new queue runs at most 4 requests at a time and is suspended: nothing
// runs before go(). With showAccurateProgress() progress is counted in
// bytes, and every GET added before go() is preceded by a HEAD request (run
// first, at priority 10) that learns its size, so the download total is
// known before the first body byte arrives; otherwise each request counts
// one unit each way.
//
// The queue is the queue of the requests it holds: they report to it (on
// the main thread) after their own delegate and blocks, and it passes the
// reports on to its delegate. Requests hold their queue, so a queue lives
// while any of its requests does.
class RQNetworkQueue : public platform::OperationQueue,
                       public RQHTTPRequestDelegate,
                       public RQProgressDelegate,
                       public std::enable_shared_from_this<RQNetworkQueue> {
public:
    using RequestSelector = RQHTTPRequest::RequestSelector;
    using HeadersSelector = RQHTTPRequest::HeadersSelector;
    using RedirectSelector = RQHTTPRequest::RedirectSelector;
    using QueueSelector = std::function<void(RQHTTPRequestDelegate&, RQNetworkQueue&)>;

    static constexpr int kDefaultWidth = 4;
    static constexpr int kHEADPriority = 10;

    static std::shared_ptr<RQNetworkQueue> queue();
    // Use queue() (the queue hands itself to its requests as a shared_ptr).
    RQNetworkQueue();
    ~RQNetworkQueue() override;

    // Un-suspends the queue.
    void go();
    void setSuspended(bool suspended) override;

    // Counts the request and adds it (see the class comment). Anything that
    // is not an RQHTTPRequest is a programming error: platform::Exception
    // "AttemptToAddInvalidRequest".
    void addOperation(std::shared_ptr<platform::Operation> op) override;
    // A HEAD request for another request's size: method "HEAD", priority 10,
    // accurate progress, this queue; not counted in requestsCount().
    void addHEADOperation(std::shared_ptr<platform::Operation> op);
    // Sets the four byte counters to 0 and cancels every request (each then
    // fails in turn with code 4 and reaches requestFailed()).
    void cancelAllOperations() override;
    // Cancels all, forgets the delegate, both progress delegates and every
    // selector but the redirect one, and suspends the queue.
    void reset();

    // A new queue with the same delegate, selectors, progress delegates,
    // cancel-on-failure, accurate-progress setting and user info; no
    // requests, no counters.
    std::shared_ptr<RQNetworkQueue> copy() const;

    // --- What the requests tell the queue (main thread) ---
    void requestStarted(RQHTTPRequest& request) override;
    void requestDidReceiveResponseHeaders(RQHTTPRequest& request, const platform::HTTPHeaders& headers) override;
    void requestWillRedirectToURL(RQHTTPRequest& request, const platform::URL& url) override;
    void requestFinished(RQHTTPRequest& request) override;
    void requestFailed(RQHTTPRequest& request) override;
    void authenticationNeededForRequest(RQHTTPRequest& request) override;
    void proxyAuthenticationNeededForRequest(RQHTTPRequest& request) override;
    // The queue takes part in authentication only when its delegate does,
    // and in redirects only with a redirect selector and a delegate; a
    // request otherwise falls back to its own handling.
    bool respondsToWillRedirectToURL() const override;
    bool respondsToAuthenticationNeeded() const override;
    bool respondsToProxyAuthenticationNeeded() const override;

    void requestDidReceiveBytes(RQHTTPRequest& request, std::int64_t bytes) override;
    void requestDidSendBytes(RQHTTPRequest& request, std::int64_t bytes) override;
    void requestIncrementDownloadSizeBy(RQHTTPRequest& request, std::int64_t amount) override;
    void requestIncrementUploadSizeBy(RQHTTPRequest& request, std::int64_t amount) override;

    // --- Properties ---
    std::shared_ptr<RQHTTPRequestDelegate> delegate() const { return delegate_.get().lock(); }
    void setDelegate(std::weak_ptr<RQHTTPRequestDelegate> delegate) { delegate_.set(std::move(delegate)); }

    void setRequestDidStartSelector(RequestSelector selector) { requestDidStartSelector_.set(std::move(selector)); }
    void setRequestDidReceiveResponseHeadersSelector(HeadersSelector selector) {
        requestDidReceiveResponseHeadersSelector_.set(std::move(selector));
    }
    void setRequestWillRedirectSelector(RedirectSelector selector) {
        requestWillRedirectSelector_.set(std::move(selector));
    }
    void setRequestDidFinishSelector(RequestSelector selector) { requestDidFinishSelector_.set(std::move(selector)); }
    void setRequestDidFailSelector(RequestSelector selector) { requestDidFailSelector_.set(std::move(selector)); }
    void setQueueDidFinishSelector(QueueSelector selector) { queueDidFinishSelector_.set(std::move(selector)); }
    RequestSelector requestDidStartSelector() const { return requestDidStartSelector_.get(); }
    HeadersSelector requestDidReceiveResponseHeadersSelector() const {
        return requestDidReceiveResponseHeadersSelector_.get();
    }
    RedirectSelector requestWillRedirectSelector() const { return requestWillRedirectSelector_.get(); }
    RequestSelector requestDidFinishSelector() const { return requestDidFinishSelector_.get(); }
    RequestSelector requestDidFailSelector() const { return requestDidFailSelector_.get(); }
    QueueSelector queueDidFinishSelector() const { return queueDidFinishSelector_.get(); }

    // Setting a progress delegate also sets its progress to 0.
    std::shared_ptr<RQProgressDelegate> uploadProgressDelegate() const { return uploadProgressDelegate_.get().lock(); }
    void setUploadProgressDelegate(std::weak_ptr<RQProgressDelegate> delegate);
    std::shared_ptr<RQProgressDelegate> downloadProgressDelegate() const {
        return downloadProgressDelegate_.get().lock();
    }
    void setDownloadProgressDelegate(std::weak_ptr<RQProgressDelegate> delegate);

    std::uint64_t bytesUploadedSoFar() const { return bytesUploadedSoFar_.get(); }
    void setBytesUploadedSoFar(std::uint64_t value) { bytesUploadedSoFar_.set(value); }
    std::uint64_t totalBytesToUpload() const { return totalBytesToUpload_.get(); }
    void setTotalBytesToUpload(std::uint64_t value) { totalBytesToUpload_.set(value); }
    std::uint64_t bytesDownloadedSoFar() const { return bytesDownloadedSoFar_.get(); }
    void setBytesDownloadedSoFar(std::uint64_t value) { bytesDownloadedSoFar_.set(value); }
    std::uint64_t totalBytesToDownload() const { return totalBytesToDownload_.get(); }
    void setTotalBytesToDownload(std::uint64_t value) { totalBytesToDownload_.set(value); }

    // Requests added and not yet finished or failed.
    int requestsCount() const { return requestsCount_.get(); }
    void setRequestsCount(int count) { requestsCount_.set(count); }
    bool shouldCancelAllRequestsOnFailure() const { return shouldCancelAllRequestsOnFailure_.get(); }
    void setShouldCancelAllRequestsOnFailure(bool value) { shouldCancelAllRequestsOnFailure_.set(value); }
    bool showAccurateProgress() const { return showAccurateProgress_.get(); }
    void setShowAccurateProgress(bool value) { showAccurateProgress_.set(value); }
    platform::Value userInfo() const { return userInfo_.get(); }
    void setUserInfo(platform::Value info) { userInfo_.set(std::move(info)); }

private:
    enum class Direction { Upload, Download };

    // Sets the progress delegate of that direction to 0, on the main thread.
    void resetProgressDelegate(Direction direction);
    void updateProgressIndicator(Direction direction);
    void queueDidFinishIfEmpty(int remaining);

    mutable std::mutex mutex_;
    RQLockedProperty<std::weak_ptr<RQHTTPRequestDelegate>> delegate_{mutex_};
    RQLockedProperty<RequestSelector> requestDidStartSelector_{mutex_};
    RQLockedProperty<HeadersSelector> requestDidReceiveResponseHeadersSelector_{mutex_};
    RQLockedProperty<RedirectSelector> requestWillRedirectSelector_{mutex_};
    RQLockedProperty<RequestSelector> requestDidFinishSelector_{mutex_};
    RQLockedProperty<RequestSelector> requestDidFailSelector_{mutex_};
    RQLockedProperty<QueueSelector> queueDidFinishSelector_{mutex_};
    RQLockedProperty<std::weak_ptr<RQProgressDelegate>> uploadProgressDelegate_{mutex_};
    RQLockedProperty<std::weak_ptr<RQProgressDelegate>> downloadProgressDelegate_{mutex_};
    // Byte counters. Steps can be negative (an upload taken back), so they
    // are added with unsigned wrap-around and read as signed for progress.
    RQLockedProperty<std::uint64_t> bytesUploadedSoFar_{mutex_, 0};
    RQLockedProperty<std::uint64_t> totalBytesToUpload_{mutex_, 0};
    RQLockedProperty<std::uint64_t> bytesDownloadedSoFar_{mutex_, 0};
    RQLockedProperty<std::uint64_t> totalBytesToDownload_{mutex_, 0};
    RQLockedProperty<int> requestsCount_{mutex_, 0};
    RQLockedProperty<bool> shouldCancelAllRequestsOnFailure_{mutex_, true};
    RQLockedProperty<bool> showAccurateProgress_{mutex_, false};
    RQLockedProperty<platform::Value> userInfo_{mutex_};
};

}  // namespace clipora
