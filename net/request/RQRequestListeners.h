#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "net/request/RQHTTPRequestDelegate.h"
#include "net/request/RQLockedProperty.h"
#include "net/request/RQProgressDelegate.h"
#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

class RQHTTPRequest;

// Who hears of one request, and how: its delegate (through the per-request
// selectors), its blocks, its queue, and its upload and download progress
// delegates.
//
// Contract:
// - Threads: setters and getters may be called from any thread (one lock);
//   the report operations are called by the request on the main thread,
//   and read the listeners afresh there, so a listener cleared meanwhile
//   hears nothing. No lock is held while a listener runs.
// - Order of each report: the delegate (when it answers the selector),
//   then the block, then the queue.
// - Ownership: the delegate and the progress delegates are not owned
//   (weak); the queue is (a queue lives while any of its requests does);
//   the blocks are, and takeBlocks() hands them over so the caller chooses
//   the thread they are released on.
class RQRequestListeners {
public:
    // Selectors: which operation of the delegate hears of an event.
    using RequestSelector = std::function<void(RQHTTPRequestDelegate&, RQHTTPRequest&)>;
    using HeadersSelector = std::function<void(RQHTTPRequestDelegate&, RQHTTPRequest&, const platform::HTTPHeaders&)>;
    using RedirectSelector = std::function<void(RQHTTPRequestDelegate&, RQHTTPRequest&, const platform::URL&)>;
    using DataSelector = std::function<void(RQHTTPRequestDelegate&, RQHTTPRequest&, const platform::Data&)>;

    // Blocks.
    using BasicBlock = std::function<void()>;
    using HeadersBlock = std::function<void(const platform::HTTPHeaders&)>;
    using ProgressBlock = std::function<void(std::uint64_t amount, std::uint64_t total)>;
    using SizeBlock = std::function<void(std::int64_t amount)>;
    using DataBlock = std::function<void(const platform::Data&)>;

    // The selectors start as the delegate protocol's operations.
    RQRequestListeners();
    RQRequestListeners(const RQRequestListeners&) = delete;
    RQRequestListeners& operator=(const RQRequestListeners&) = delete;

    std::shared_ptr<RQHTTPRequestDelegate> delegate() const;
    std::weak_ptr<RQHTTPRequestDelegate> weakDelegate() const;
    void setDelegate(std::weak_ptr<RQHTTPRequestDelegate> delegate);
    std::shared_ptr<RQHTTPRequestDelegate> queue() const;
    void setQueue(std::shared_ptr<RQHTTPRequestDelegate> queue);
    std::shared_ptr<RQProgressDelegate> progressDelegate(bool upload) const;
    std::weak_ptr<RQProgressDelegate> weakProgressDelegate(bool upload) const;
    void setProgressDelegate(bool upload, std::weak_ptr<RQProgressDelegate> delegate);

    void setDidStartSelector(RequestSelector selector);
    void setDidReceiveResponseHeadersSelector(HeadersSelector selector);
    // A custom selector makes the request wait for the delegate's decision.
    void setWillRedirectSelector(RedirectSelector selector);
    void setDidFinishSelector(RequestSelector selector);
    void setDidFailSelector(RequestSelector selector);
    // A custom selector takes the body bytes: the request keeps none.
    void setDidReceiveDataSelector(DataSelector selector);
    // The start, finish and fail selectors go to a copy of the request.
    void copySelectorsTo(RQRequestListeners& other) const;

    void setStartedBlock(BasicBlock block);
    void setHeadersReceivedBlock(HeadersBlock block);
    void setCompletionBlock(BasicBlock block);
    void setFailedBlock(BasicBlock block);
    void setBytesReceivedBlock(ProgressBlock block);
    void setBytesSentBlock(ProgressBlock block);
    void setDownloadSizeIncrementedBlock(SizeBlock block);
    void setUploadSizeIncrementedBlock(SizeBlock block);
    void setDataReceivedBlock(DataBlock block);
    void setAuthenticationNeededBlock(BasicBlock block);
    void setProxyAuthenticationNeededBlock(BasicBlock block);
    void setRequestRedirectedBlock(BasicBlock block);

    // Moves every block out into one holder; the caller picks the thread
    // the holder dies on.
    std::shared_ptr<void> takeBlocks();
    // Forgets the delegate, the queue and both progress delegates.
    void clearDelegates();

    // Whether someone decides on redirects: the delegate (with a custom
    // selector, or answering the operation), else the queue.
    bool respondsToWillRedirect() const;
    // Whether someone takes the body bytes (a data block, or the delegate).
    bool takesReceivedData() const;
    // Whether someone answers a challenge of the server or of a proxy: the
    // delegate (else the queue) answering the operation, or a block.
    bool answersAuthentication(bool proxy) const;
    bool hasProgressBlock(bool upload) const;
    bool hasSizeBlock(bool upload) const;

    // --- Reports (main thread) ---
    void started(RQHTTPRequest& request) const;
    void receivedResponseHeaders(RQHTTPRequest& request, const platform::HTTPHeaders& headers) const;
    void willRedirect(RQHTTPRequest& request, const platform::URL& url) const;
    // The delegate, then the block; the queue does not hear of redirects.
    void redirected(RQHTTPRequest& request) const;
    void finished(RQHTTPRequest& request) const;
    void failed(RQHTTPRequest& request) const;
    // The delegate, then the block.
    void receivedData(RQHTTPRequest& request, const platform::Data& data) const;
    // The delegate (else the queue) when it answers, otherwise the block.
    void askForCredentials(RQHTTPRequest& request, bool proxy) const;
    // A progress message to the queue (when `includeQueue` and it is a
    // progress delegate), then to the progress delegate of that direction.
    void progress(bool upload, const std::function<void(RQProgressDelegate&)>& call, bool includeQueue) const;
    void progressBlock(bool upload, std::uint64_t amount, std::uint64_t total) const;
    void sizeBlock(bool upload, std::int64_t amount) const;

private:
    template <class T>
    using Locked = RQLockedProperty<T>;

    mutable std::mutex mutex_;
    Locked<std::weak_ptr<RQHTTPRequestDelegate>> delegate_{mutex_};
    Locked<std::shared_ptr<RQHTTPRequestDelegate>> queue_{mutex_};
    Locked<std::weak_ptr<RQProgressDelegate>> uploadProgressDelegate_{mutex_};
    Locked<std::weak_ptr<RQProgressDelegate>> downloadProgressDelegate_{mutex_};

    Locked<RequestSelector> didStartSelector_{mutex_};
    Locked<HeadersSelector> didReceiveResponseHeadersSelector_{mutex_};
    Locked<RedirectSelector> willRedirectSelector_{mutex_};
    Locked<bool> customWillRedirectSelector_{mutex_, false};
    Locked<RequestSelector> didFinishSelector_{mutex_};
    Locked<RequestSelector> didFailSelector_{mutex_};
    Locked<DataSelector> didReceiveDataSelector_{mutex_};
    Locked<bool> customDidReceiveDataSelector_{mutex_, false};

    Locked<BasicBlock> startedBlock_{mutex_};
    Locked<HeadersBlock> headersReceivedBlock_{mutex_};
    Locked<BasicBlock> completionBlock_{mutex_};
    Locked<BasicBlock> failureBlock_{mutex_};
    Locked<ProgressBlock> bytesReceivedBlock_{mutex_};
    Locked<ProgressBlock> bytesSentBlock_{mutex_};
    Locked<SizeBlock> downloadSizeIncrementedBlock_{mutex_};
    Locked<SizeBlock> uploadSizeIncrementedBlock_{mutex_};
    Locked<DataBlock> dataReceivedBlock_{mutex_};
    Locked<BasicBlock> authenticationNeededBlock_{mutex_};
    Locked<BasicBlock> proxyAuthenticationNeededBlock_{mutex_};
    Locked<BasicBlock> requestRedirectedBlock_{mutex_};
};

}  // namespace clipora
