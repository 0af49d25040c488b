#include "net/request/RQRequestListeners.h"

#include <utility>

namespace clipora {

RQRequestListeners::RQRequestListeners() {
    didStartSelector_.set([](RQHTTPRequestDelegate& d, RQHTTPRequest& r) { d.requestStarted(r); });
    didReceiveResponseHeadersSelector_.set(
        [](RQHTTPRequestDelegate& d, RQHTTPRequest& r, const platform::HTTPHeaders& h) {
            d.requestDidReceiveResponseHeaders(r, h);
        });
    willRedirectSelector_.set(
        [](RQHTTPRequestDelegate& d, RQHTTPRequest& r, const platform::URL& u) { d.requestWillRedirectToURL(r, u); });
    didFinishSelector_.set([](RQHTTPRequestDelegate& d, RQHTTPRequest& r) { d.requestFinished(r); });
    didFailSelector_.set([](RQHTTPRequestDelegate& d, RQHTTPRequest& r) { d.requestFailed(r); });
    didReceiveDataSelector_.set([](RQHTTPRequestDelegate& d, RQHTTPRequest& r, const platform::Data& data) {
        d.requestDidReceiveData(r, data);
    });
}

std::shared_ptr<RQHTTPRequestDelegate> RQRequestListeners::delegate() const { return delegate_.get().lock(); }
std::weak_ptr<RQHTTPRequestDelegate> RQRequestListeners::weakDelegate() const { return delegate_.get(); }
void RQRequestListeners::setDelegate(std::weak_ptr<RQHTTPRequestDelegate> delegate) {
    delegate_.set(std::move(delegate));
}
std::shared_ptr<RQHTTPRequestDelegate> RQRequestListeners::queue() const { return queue_.get(); }
void RQRequestListeners::setQueue(std::shared_ptr<RQHTTPRequestDelegate> queue) { queue_.set(std::move(queue)); }

std::shared_ptr<RQProgressDelegate> RQRequestListeners::progressDelegate(bool upload) const {
    return weakProgressDelegate(upload).lock();
}

std::weak_ptr<RQProgressDelegate> RQRequestListeners::weakProgressDelegate(bool upload) const {
    return upload ? uploadProgressDelegate_.get() : downloadProgressDelegate_.get();
}

void RQRequestListeners::setProgressDelegate(bool upload, std::weak_ptr<RQProgressDelegate> delegate) {
    (upload ? uploadProgressDelegate_ : downloadProgressDelegate_).set(std::move(delegate));
}

void RQRequestListeners::setDidStartSelector(RequestSelector selector) { didStartSelector_.set(std::move(selector)); }
void RQRequestListeners::setDidReceiveResponseHeadersSelector(HeadersSelector selector) {
    didReceiveResponseHeadersSelector_.set(std::move(selector));
}
void RQRequestListeners::setWillRedirectSelector(RedirectSelector selector) {
    std::lock_guard lock(mutex_);
    customWillRedirectSelector_.unlocked() = static_cast<bool>(selector);
    willRedirectSelector_.unlocked() = std::move(selector);
}
void RQRequestListeners::setDidFinishSelector(RequestSelector selector) { didFinishSelector_.set(std::move(selector)); }
void RQRequestListeners::setDidFailSelector(RequestSelector selector) { didFailSelector_.set(std::move(selector)); }
void RQRequestListeners::setDidReceiveDataSelector(DataSelector selector) {
    std::lock_guard lock(mutex_);
    customDidReceiveDataSelector_.unlocked() = static_cast<bool>(selector);
    didReceiveDataSelector_.unlocked() = std::move(selector);
}

void RQRequestListeners::copySelectorsTo(RQRequestListeners& other) const {
    std::scoped_lock lock(mutex_, other.mutex_);
    other.didStartSelector_.unlocked() = didStartSelector_.unlocked();
    other.didFinishSelector_.unlocked() = didFinishSelector_.unlocked();
    other.didFailSelector_.unlocked() = didFailSelector_.unlocked();
}

void RQRequestListeners::setStartedBlock(BasicBlock block) { startedBlock_.set(std::move(block)); }
void RQRequestListeners::setHeadersReceivedBlock(HeadersBlock block) { headersReceivedBlock_.set(std::move(block)); }
void RQRequestListeners::setCompletionBlock(BasicBlock block) { completionBlock_.set(std::move(block)); }
void RQRequestListeners::setFailedBlock(BasicBlock block) { failureBlock_.set(std::move(block)); }
void RQRequestListeners::setBytesReceivedBlock(ProgressBlock block) { bytesReceivedBlock_.set(std::move(block)); }
void RQRequestListeners::setBytesSentBlock(ProgressBlock block) { bytesSentBlock_.set(std::move(block)); }
void RQRequestListeners::setDownloadSizeIncrementedBlock(SizeBlock block) {
    downloadSizeIncrementedBlock_.set(std::move(block));
}
void RQRequestListeners::setUploadSizeIncrementedBlock(SizeBlock block) {
    uploadSizeIncrementedBlock_.set(std::move(block));
}
void RQRequestListeners::setDataReceivedBlock(DataBlock block) { dataReceivedBlock_.set(std::move(block)); }
void RQRequestListeners::setAuthenticationNeededBlock(BasicBlock block) {
    authenticationNeededBlock_.set(std::move(block));
}
void RQRequestListeners::setProxyAuthenticationNeededBlock(BasicBlock block) {
    proxyAuthenticationNeededBlock_.set(std::move(block));
}
void RQRequestListeners::setRequestRedirectedBlock(BasicBlock block) { requestRedirectedBlock_.set(std::move(block)); }

std::shared_ptr<void> RQRequestListeners::takeBlocks() {
    struct Blocks {
        BasicBlock a, b, c, d, e, f;
        HeadersBlock g;
        ProgressBlock h, i;
        SizeBlock j, k;
        DataBlock l;
    };
    std::lock_guard lock(mutex_);
    auto take = [](auto& property) { return std::exchange(property.unlocked(), nullptr); };
    return std::make_shared<Blocks>(
        Blocks{take(completionBlock_), take(failureBlock_), take(startedBlock_), take(proxyAuthenticationNeededBlock_),
               take(authenticationNeededBlock_), take(requestRedirectedBlock_), take(headersReceivedBlock_),
               take(bytesReceivedBlock_), take(bytesSentBlock_), take(downloadSizeIncrementedBlock_),
               take(uploadSizeIncrementedBlock_), take(dataReceivedBlock_)});
}

void RQRequestListeners::clearDelegates() {
    std::lock_guard lock(mutex_);
    delegate_.unlocked().reset();
    queue_.unlocked().reset();
    uploadProgressDelegate_.unlocked().reset();
    downloadProgressDelegate_.unlocked().reset();
}

bool RQRequestListeners::respondsToWillRedirect() const {
    const bool custom = customWillRedirectSelector_.get();
    // The request's own delegate decides when it takes part; otherwise the
    // queue's delegate may.
    if (auto d = delegate(); d && (custom || d->respondsToWillRedirectToURL())) return true;
    if (auto q = queue()) return q->respondsToWillRedirectToURL();
    return false;
}

bool RQRequestListeners::takesReceivedData() const {
    bool custom;
    bool block;
    {
        std::lock_guard lock(mutex_);
        custom = customDidReceiveDataSelector_.unlocked();
        block = static_cast<bool>(dataReceivedBlock_.unlocked());
    }
    if (block) return true;
    if (auto d = delegate()) return custom || d->respondsToDidReceiveData();
    return false;
}

bool RQRequestListeners::answersAuthentication(bool proxy) const {
    auto party = delegate();
    if (!party) party = queue();
    const bool block =
        static_cast<bool>(proxy ? proxyAuthenticationNeededBlock_.get() : authenticationNeededBlock_.get());
    if (block) return true;
    return party && (proxy ? party->respondsToProxyAuthenticationNeeded() : party->respondsToAuthenticationNeeded());
}

bool RQRequestListeners::hasProgressBlock(bool upload) const {
    return static_cast<bool>(upload ? bytesSentBlock_.get() : bytesReceivedBlock_.get());
}

bool RQRequestListeners::hasSizeBlock(bool upload) const {
    return static_cast<bool>(upload ? uploadSizeIncrementedBlock_.get() : downloadSizeIncrementedBlock_.get());
}

void RQRequestListeners::started(RQHTTPRequest& request) const {
    if (auto d = delegate()) {
        if (auto selector = didStartSelector_.get()) selector(*d, request);
    }
    if (auto block = startedBlock_.get()) block();
    if (auto q = queue()) q->requestStarted(request);
}

void RQRequestListeners::receivedResponseHeaders(RQHTTPRequest& request, const platform::HTTPHeaders& headers) const {
    if (auto d = delegate()) {
        if (auto selector = didReceiveResponseHeadersSelector_.get()) selector(*d, request, headers);
    }
    if (auto block = headersReceivedBlock_.get()) block(headers);
    if (auto q = queue()) q->requestDidReceiveResponseHeaders(request, headers);
}

void RQRequestListeners::willRedirect(RQHTTPRequest& request, const platform::URL& url) const {
    const bool custom = customWillRedirectSelector_.get();
    if (auto d = delegate(); d && (custom || d->respondsToWillRedirectToURL())) {
        if (auto selector = willRedirectSelector_.get()) selector(*d, request, url);
    }
    if (auto q = queue(); q && q->respondsToWillRedirectToURL()) q->requestWillRedirectToURL(request, url);
}

void RQRequestListeners::redirected(RQHTTPRequest& request) const {
    if (auto d = delegate()) d->requestRedirected(request);
    if (auto block = requestRedirectedBlock_.get()) block();
}

void RQRequestListeners::finished(RQHTTPRequest& request) const {
    if (auto d = delegate()) {
        if (auto selector = didFinishSelector_.get()) selector(*d, request);
    }
    if (auto block = completionBlock_.get()) block();
    if (auto q = queue()) q->requestFinished(request);
}

void RQRequestListeners::failed(RQHTTPRequest& request) const {
    if (auto d = delegate()) {
        if (auto selector = didFailSelector_.get()) selector(*d, request);
    }
    if (auto block = failureBlock_.get()) block();
    if (auto q = queue()) q->requestFailed(request);
}

void RQRequestListeners::receivedData(RQHTTPRequest& request, const platform::Data& data) const {
    const bool custom = customDidReceiveDataSelector_.get();
    if (auto d = delegate(); d && (custom || d->respondsToDidReceiveData())) {
        if (auto selector = didReceiveDataSelector_.get()) selector(*d, request, data);
    }
    if (auto block = dataReceivedBlock_.get()) block(data);
}

void RQRequestListeners::askForCredentials(RQHTTPRequest& request, bool proxy) const {
    auto party = delegate();
    if (!party) party = queue();
    if (party && (proxy ? party->respondsToProxyAuthenticationNeeded() : party->respondsToAuthenticationNeeded())) {
        if (proxy) {
            party->proxyAuthenticationNeededForRequest(request);
        } else {
            party->authenticationNeededForRequest(request);
        }
        return;
    }
    if (auto block = proxy ? proxyAuthenticationNeededBlock_.get() : authenticationNeededBlock_.get()) block();
}

void RQRequestListeners::progress(bool upload, const std::function<void(RQProgressDelegate&)>& call,
                                  bool includeQueue) const {
    if (includeQueue) {
        if (auto q = std::dynamic_pointer_cast<RQProgressDelegate>(queue())) call(*q);
    }
    if (auto target = progressDelegate(upload)) call(*target);
}

void RQRequestListeners::progressBlock(bool upload, std::uint64_t amount, std::uint64_t total) const {
    if (auto block = upload ? bytesSentBlock_.get() : bytesReceivedBlock_.get()) block(amount, total);
}

void RQRequestListeners::sizeBlock(bool upload, std::int64_t amount) const {
    if (auto block = upload ? uploadSizeIncrementedBlock_.get() : downloadSizeIncrementedBlock_.get()) block(amount);
}

}  // namespace clipora
