#include "net/request/RQHTTPRequest.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <utility>

#include "net/DownloadFile.h"
#include "net/request/RQAuthenticationDialog.h"
#include "net/request/RQBandwidthThrottle.h"
#include "net/request/RQDataDecompressor.h"
#include "net/request/RQError.h"
#include "net/request/RQInputStream.h"
#include "net/request/RQProxyResolver.h"
#include "net/request/RQProxyScriptLoader.h"
#include "net/request/RQRedirectPolicy.h"
#include "net/request/RQResponseBodyWriter.h"
#include "net/request/RQResponseHead.h"
#include "net/request/RQSessionCookieStore.h"
#include "net/request/RQUserAgent.h"
#include "platform/cfnetwork/HTTPCookieStorage.h"
#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/cfnetwork/ProxySettings.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/MimeType.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoopSource.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"

namespace clipora {

using platform::Data;
using platform::Date;
using platform::Error;
using platform::FileManager;
using platform::HTTPAuthentication;
using platform::HTTPCookie;
using platform::HTTPCookieStorage;
using platform::HTTPHeaders;
using platform::HTTPMessage;
using platform::HTTPReadStream;
using platform::RunLoop;
using platform::Text;
using platform::Thread;
using platform::Timer;
using platform::URL;
using platform::Value;

namespace {

// Process-wide state of the engine. Made once and never destroyed: the
// network thread may still touch it while the process exits.
struct ClassState {
    // Changes of the shared queue's width (PAC requests run beside the
    // requests that wait for them).
    std::mutex queueWidthLock;

    std::mutex defaultsMutex;
    std::shared_ptr<RQCacheDelegate> defaultCache;
    double defaultTimeOut = 10.0;

    std::once_flag threadOnce;
    std::shared_ptr<Thread> networkThread;
    std::shared_ptr<platform::OperationQueue> sharedQueue;

    ClassState() {
        sharedQueue = std::make_shared<platform::OperationQueue>();
        sharedQueue->setMaxConcurrentOperationCount(4);
        sharedQueue->setName("RQHTTPRequest");
    }
};

ClassState& state() {
    static ClassState* instance = new ClassState;
    return *instance;
}

RQBandwidthThrottle& throttle() { return RQBandwidthThrottle::shared(); }

RQConnectionPool& pool() { return RQConnectionPool::shared(); }

// A PAC request runs beside the requests waiting for it: the shared queue
// grows by one while it runs.
void widenSharedQueue(int by) {
    std::lock_guard lock(state().queueWidthLock);
    auto queue = state().sharedQueue;
    queue->setMaxConcurrentOperationCount(queue->maxConcurrentOperationCount() + by);
}
constexpr std::size_t kMaxPACScriptSize = platform::ProxySettings::kMaxPACScriptSize;

std::string lower(std::string_view text) { return Text::lowercase(text); }

std::optional<std::uint64_t> parseContentLength(const std::string& text) { return RQResponseHead::contentLength(text); }

using Side = RQSessionCredentialStore::Side;
RQSessionCredentialStore& credentialStore() { return RQSessionCredentialStore::shared(); }
RQSessionCookieStore& cookieStore() { return RQSessionCookieStore::shared(); }

bool idempotentMethod(const std::string& method) {
    return method == "GET" || method == "HEAD" || method == "PUT" || method == "DELETE" || method == "OPTIONS" ||
           method == "TRACE";
}

}  // namespace

// ===========================================================================
// Construction
// ===========================================================================

RQHTTPRequest::RQHTTPRequest(std::optional<URL> url) {
    timeOut_.timeOutSeconds.store(defaultTimeOutSeconds());
    url_.unlocked() = std::move(url);
    downloadCache_.unlocked() = defaultCache();
}

RQHTTPRequest::~RQHTTPRequest() {
    // Whatever is still open is closed here; nothing is reported.
    if (statusTimer_.unlocked()) statusTimer_.unlocked()->invalidate();
    if (readStream_.unlocked()) {
        readStream_.unlocked()->setClient(0, nullptr);
        if (!connectionCanBeReused_.load()) readStream_.unlocked()->close();
    }
    if (readStreamIsScheduled_) pool().streamUnscheduled(false);
    if (!temporaryFileDownloadPath_.unlocked().empty() && !allowResumeForFileDownloads_.load() && !complete_.load())
        FileManager::removeItem(temporaryFileDownloadPath_.unlocked());
    if (!temporaryUncompressedDataDownloadPath_.unlocked().empty())
        FileManager::removeItem(temporaryUncompressedDataDownloadPath_.unlocked());
    // Blocks may capture objects that must be released on the main thread.
    auto blocks = listeners_.takeBlocks();
    if (!RunLoop::isMainThread()) {
        Thread::performOnMainThread([blocks]() mutable { blocks.reset(); }, false);
    }
}

std::shared_ptr<RQHTTPRequest> RQHTTPRequest::requestWithURL(std::optional<URL> url) {
    return std::make_shared<RQHTTPRequest>(std::move(url));
}

std::shared_ptr<RQHTTPRequest> RQHTTPRequest::requestWithURLUsingCache(std::optional<URL> url,
                                                                       std::shared_ptr<RQCacheDelegate> cache) {
    return requestWithURLUsingCacheAndCachePolicy(std::move(url), std::move(cache), 0);
}

std::shared_ptr<RQHTTPRequest> RQHTTPRequest::requestWithURLUsingCacheAndCachePolicy(
    std::optional<URL> url, std::shared_ptr<RQCacheDelegate> cache, int policy) {
    auto request = requestWithURL(std::move(url));
    request->setDownloadCache(cache);
    request->setCachePolicy(policy);
    return request;
}

std::shared_ptr<RQHTTPRequest> RQHTTPRequest::makeRequestOfSameClass(std::optional<URL> url) const {
    return std::make_shared<RQHTTPRequest>(std::move(url));
}

std::shared_ptr<RQHTTPRequest> RQHTTPRequest::self() {
    return std::static_pointer_cast<RQHTTPRequest>(shared_from_this());
}

void RQHTTPRequest::copySharedSettingsTo(RQHTTPRequest& other) const {
    other.setRequestHeaders(requestHeaders());
    other.setRequestCookies(requestCookies());
    other.setUseCookiePersistence(useCookiePersistence());
    other.setUseKeychainPersistence(useKeychainPersistence());
    other.setUseSessionPersistence(useSessionPersistence());
    other.setAllowCompressedResponse(allowCompressedResponse());
    other.setUsername(username());
    other.setPassword(password());
    other.setDomain(domain());
    other.setProxyUsername(proxyUsername());
    other.setProxyPassword(proxyPassword());
    other.setProxyDomain(proxyDomain());
    other.setProxyHost(proxyHost());
    other.setProxyPort(proxyPort());
    other.setProxyType(proxyType());
    other.setShouldPresentAuthenticationDialog(shouldPresentAuthenticationDialog());
    other.setShouldPresentProxyAuthenticationDialog(shouldPresentProxyAuthenticationDialog());
    other.setTimeOutSeconds(timeOutSeconds());
    other.setUseHTTPVersionOne(useHTTPVersionOne());
    other.setValidatesSecureCertificate(validatesSecureCertificate());
    other.setClientCertificateIdentity(clientCertificateIdentity());
    other.setClientCertificates(clientCertificates());
    other.setPACurl(PACurl());
    other.setShouldPresentCredentialsBeforeChallenge(shouldPresentCredentialsBeforeChallenge());
    other.setNumberOfTimesToRetryOnTimeout(numberOfTimesToRetryOnTimeout());
    other.setShouldUseRFC2616RedirectBehaviour(shouldUseRFC2616RedirectBehaviour());
    other.setShouldAttemptPersistentConnection(shouldAttemptPersistentConnection());
    other.setPersistentConnectionTimeoutSeconds(persistentConnectionTimeoutSeconds());
}

std::shared_ptr<RQHTTPRequest> RQHTTPRequest::copy() const {
    auto c = makeRequestOfSameClass(url());
    copySharedSettingsTo(*c);
    c->setDelegate(listeners_.weakDelegate());
    c->setRequestMethod(requestMethod());
    c->setPostBody(postBody());
    c->setShouldStreamPostDataFromDisk(shouldStreamPostDataFromDisk());
    c->setPostBodyFilePath(postBodyFilePath());
    c->setDownloadDestinationPath(downloadDestinationPath());
    c->setTemporaryFileDownloadPath(temporaryFileDownloadPath());
    c->setUploadProgressDelegate(listeners_.weakProgressDelegate(true));
    c->setDownloadProgressDelegate(listeners_.weakProgressDelegate(false));
    c->setPostLength(postLength());
    c->setHaveBuiltPostBody(haveBuiltPostBody());
    listeners_.copySelectorsTo(c->listeners_);
    c->setShouldResetDownloadProgress(shouldResetDownloadProgress());
    c->setShouldResetUploadProgress(shouldResetUploadProgress());
    c->setShowAccurateProgress(showAccurateProgress());
    c->setDefaultResponseEncoding(defaultResponseEncoding());
    c->setAllowResumeForFileDownloads(allowResumeForFileDownloads());
    c->setUserInfo(userInfo());
    c->setShouldRedirect(shouldRedirect());
    return c;
}

// ===========================================================================
// Hand-written accessors
// ===========================================================================

std::optional<URL> RQHTTPRequest::url() const {
    std::lock_guard lock(cancelledLock_);
    return url_.get();
}

void RQHTTPRequest::setURL(std::optional<URL> newURL) {
    std::lock_guard lock(cancelledLock_);
    std::lock_guard propertyLock(propertyMutex_);
    if (url_.unlocked() == newURL) return;
    url_.unlocked() = std::move(newURL);
    challenges_.forgetAuthenticationObjectsLocked();
    request_.unlocked().reset();
    redirectURL_.unlocked().reset();
}

std::optional<int> RQHTTPRequest::connectionID() const {
    auto record = connectionInfo_.get();
    if (!record) return std::nullopt;
    return record->id;
}

bool RQHTTPRequest::isCancelled() const {
    std::lock_guard lock(cancelledLock_);
    return cancelled_.load();
}

void RQHTTPRequest::addRequestHeaderValue(const std::string& header, const std::string& value) {
    std::lock_guard lock(propertyMutex_);
    requestHeaders_.unlocked().set(header, value);
}

// ===========================================================================
// Class-level services
// ===========================================================================

std::shared_ptr<Thread> RQHTTPRequest::threadForRequest(const std::shared_ptr<RQHTTPRequest>&) {
    auto& st = state();
    std::call_once(st.threadOnce, [&st] {
        st.networkThread = Thread::detach(
            [] {
                auto loop = RunLoop::current();
                // A source that never fires, so that the loop always has
                // something to wait for.
                auto keepAlive = platform::RunLoopSource::create(nullptr);
                loop->addSource(keepAlive, RunLoop::defaultMode);
                for (;;) loop->run();
            },
            "RQHTTPRequest");
    });
    return st.networkThread;
}

std::shared_ptr<platform::OperationQueue> RQHTTPRequest::sharedQueue() { return state().sharedQueue; }

bool RQHTTPRequest::isNetworkInUse() { return pool().isNetworkInUse(); }
void RQHTTPRequest::expirePersistentConnections() { pool().expire(); }
std::size_t RQHTTPRequest::connectionPoolSize() { return pool().size(); }
void RQHTTPRequest::setShouldUpdateNetworkActivityIndicator(bool value) {
    pool().setShouldUpdateNetworkActivityIndicator(value);
}

void RQHTTPRequest::showNetworkActivityIndicator() {
    platform::Application::sharedApplication()->setNetworkActivityIndicatorVisible(true);
}

void RQHTTPRequest::hideNetworkActivityIndicator() {
    platform::Application::sharedApplication()->setNetworkActivityIndicatorVisible(false);
}

void RQHTTPRequest::hideNetworkActivityIndicatorAfterDelay() {
    RunLoop::current()->performAfterDelay(0.5, [] { hideNetworkActivityIndicatorIfNeeeded(); });
}

void RQHTTPRequest::hideNetworkActivityIndicatorIfNeeeded() { pool().hideNetworkActivityIndicatorIfNeeded(); }

double RQHTTPRequest::defaultTimeOutSeconds() {
    std::lock_guard lock(state().defaultsMutex);
    return state().defaultTimeOut;
}

void RQHTTPRequest::setDefaultTimeOutSeconds(double seconds) {
    std::lock_guard lock(state().defaultsMutex);
    state().defaultTimeOut = seconds;
}

std::optional<std::string> RQHTTPRequest::defaultUserAgentString() { return RQUserAgent::defaultString(); }

void RQHTTPRequest::setDefaultUserAgentString(std::optional<std::string> agent) {
    RQUserAgent::setDefaultString(std::move(agent));
}

std::shared_ptr<RQCacheDelegate> RQHTTPRequest::defaultCache() {
    std::lock_guard lock(state().defaultsMutex);
    return state().defaultCache;
}

void RQHTTPRequest::setDefaultCache(std::shared_ptr<RQCacheDelegate> cache) {
    std::lock_guard lock(state().defaultsMutex);
    state().defaultCache = std::move(cache);
}

bool RQHTTPRequest::isMultitaskingSupported() {
    auto device = platform::Device::currentDevice();
    return device->answersMultitaskingSupported() && device->isMultitaskingSupported();
}

// --- Session credentials, permanent credentials, cookies ---

std::vector<std::shared_ptr<RQHTTPRequest::SessionCredentials>> RQHTTPRequest::sessionCredentialsStore() {
    return credentialStore().records(Side::Server);
}

std::vector<std::shared_ptr<RQHTTPRequest::SessionCredentials>> RQHTTPRequest::sessionProxyCredentialsStore() {
    return credentialStore().records(Side::Proxy);
}

void RQHTTPRequest::storeAuthenticationCredentialsInSessionStore(std::shared_ptr<SessionCredentials> record) {
    credentialStore().store(Side::Server, std::move(record));
}

void RQHTTPRequest::storeProxyAuthenticationCredentialsInSessionStore(std::shared_ptr<SessionCredentials> record) {
    credentialStore().store(Side::Proxy, std::move(record));
}

void RQHTTPRequest::removeAuthenticationCredentialsFromSessionStore(
    const std::shared_ptr<const Value::Dictionary>& credentials) {
    credentialStore().remove(Side::Server, credentials);
}

void RQHTTPRequest::removeProxyAuthenticationCredentialsFromSessionStore(
    const std::shared_ptr<const Value::Dictionary>& credentials) {
    credentialStore().remove(Side::Proxy, credentials);
}

std::shared_ptr<RQHTTPRequest::SessionCredentials> RQHTTPRequest::findSessionAuthenticationCredentials() {
    return challenges_.findSessionCredentials(Side::Server);
}

std::shared_ptr<RQHTTPRequest::SessionCredentials> RQHTTPRequest::findSessionProxyAuthenticationCredentials() {
    return challenges_.findSessionCredentials(Side::Proxy);
}

void RQHTTPRequest::clearSession() {
    credentialStore().clear(Side::Server);
    setSessionCookies({});
    if (auto cache = defaultCache()) cache->clearCachedResponsesForStoragePolicy(0);
}

void RQHTTPRequest::saveCredentialsForHostPortProtocolRealm(const platform::URLCredential& credential,
                                                            const std::string& host, int port,
                                                            const std::string& protocol,
                                                            const std::optional<std::string>& realm) {
    RQSessionCredentialStore::savePermanentServerCredential(credential, host, port, protocol, realm);
}

void RQHTTPRequest::saveCredentialsForProxyPortRealm(const platform::URLCredential& credential, const std::string& host,
                                                     int port, const std::optional<std::string>& realm) {
    RQSessionCredentialStore::savePermanentProxyCredential(credential, host, port, realm);
}

std::optional<platform::URLCredential> RQHTTPRequest::savedCredentialsForHostPortProtocolRealm(
    const std::string& host, int port, const std::string& protocol, const std::optional<std::string>& realm) {
    return RQSessionCredentialStore::permanentServerCredential(host, port, protocol, realm);
}

std::optional<platform::URLCredential> RQHTTPRequest::savedCredentialsForProxyPortProtocolRealm(
    const std::string& host, int port, const std::string&, const std::optional<std::string>& realm) {
    return RQSessionCredentialStore::permanentProxyCredential(host, port, realm);
}

void RQHTTPRequest::removeCredentialsForHostPortProtocolRealm(const std::string& host, int port,
                                                              const std::string& protocol,
                                                              const std::optional<std::string>& realm) {
    RQSessionCredentialStore::removePermanentServerCredential(host, port, protocol, realm);
}

void RQHTTPRequest::removeCredentialsForProxyPortRealm(const std::string& host, int port,
                                                       const std::optional<std::string>& realm) {
    RQSessionCredentialStore::removePermanentProxyCredential(host, port, realm);
}

std::vector<std::shared_ptr<HTTPCookie>> RQHTTPRequest::sessionCookies() { return cookieStore().cookies(); }

void RQHTTPRequest::setSessionCookies(std::vector<std::shared_ptr<HTTPCookie>> cookies) {
    cookieStore().setCookies(std::move(cookies));
}

void RQHTTPRequest::addSessionCookie(const std::shared_ptr<HTTPCookie>& cookie) { cookieStore().add(cookie); }

// --- Bandwidth ---

std::uint64_t RQHTTPRequest::maxBandwidthPerSecond() { return throttle().maxBandwidthPerSecond(); }
void RQHTTPRequest::setMaxBandwidthPerSecond(std::uint64_t bytes) { throttle().setMaxBandwidthPerSecond(bytes); }
void RQHTTPRequest::incrementBandwidthUsedInLastSecond(std::uint64_t bytes) {
    throttle().incrementBandwidthUsedInLastSecond(bytes);
}
bool RQHTTPRequest::isBandwidthThrottled() { return throttle().isBandwidthThrottled(); }
void RQHTTPRequest::measureBandwidthUsage() { throttle().measureBandwidthUsage(); }
std::uint64_t RQHTTPRequest::maxUploadReadLength() { return throttle().maxUploadReadLength(); }
std::uint64_t RQHTTPRequest::averageBandwidthUsedPerSecond() { return throttle().averageBandwidthUsedPerSecond(); }

void RQHTTPRequest::setShouldThrottleBandwidthForWWAN(bool shouldThrottle) {
    if (shouldThrottle) {
        throttle().throttleForWWANUsingLimit(RQBandwidthThrottle::kWWANDefaultLimit);
    } else {
        throttle().stopWWANThrottling();
    }
}

void RQHTTPRequest::throttleBandwidthForWWANUsingLimit(std::uint64_t limit) {
    throttle().throttleForWWANUsingLimit(limit);
}
bool RQHTTPRequest::isNetworkReachableViaWWAN() { return throttle().isNetworkReachableViaWWAN(); }
void RQHTTPRequest::reachabilityChanged() { throttle().reachabilityChanged(); }

// --- Parsing and encoding ---

std::optional<std::string> RQHTTPRequest::mimeTypeForFileAtPath(const std::string& path) {
    if (!FileManager::fileExists(path)) return std::nullopt;
    return platform::MimeType::forPath(path);
}

std::string RQHTTPRequest::base64forData(const Data& data) { return platform::Base64::encode(data); }

std::optional<Date> RQHTTPRequest::dateFromRFC1123String(const std::string& text) {
    return platform::DateFormatter::dateFromHTTPDate(text);
}

void RQHTTPRequest::parseMimeTypeAndResponseEncodingFromContentType(std::string* mimeType, Text::Encoding* encoding,
                                                                    const std::optional<std::string>& contentType) {
    RQResponseHead::mimeTypeAndEncoding(mimeType, encoding, contentType);
}

void RQHTTPRequest::resetClassStateForTesting() {
    auto& st = state();
    pool().reset();
    credentialStore().clear(Side::Server);
    credentialStore().clear(Side::Proxy);
    cookieStore().reset();
    {
        std::lock_guard lock(st.defaultsMutex);
        st.defaultCache.reset();
        st.defaultTimeOut = 10.0;
    }
    RQUserAgent::reset();
    setShouldThrottleBandwidthForWWAN(false);
    throttle().reset();
    RQProxyResolver::shared().clear();
}

// ===========================================================================
// Threads and main-thread delivery
// ===========================================================================

void RQHTTPRequest::performOnRequestThread(std::function<void()> task) {
    std::shared_ptr<Thread> thread;
    std::string mode;
    {
        std::lock_guard lock(propertyMutex_);
        thread = requestThread_.unlocked();
        mode = runLoopMode_.unlocked();
    }
    if (!thread) {
        thread = threadForRequest();
        mode = RunLoop::defaultMode;
    }
    std::vector<std::string> modes{mode};
    if (mode != RunLoop::defaultMode) modes.push_back(RunLoop::defaultMode);
    Thread::performOnThread(thread, std::move(task), false, std::move(modes));
}

void RQHTTPRequest::performOnMainThread(std::function<void()> task) {
    Thread::performOnMainThread(std::move(task), RunLoop::isMainThread());
}

// ===========================================================================
// Running
// ===========================================================================

void RQHTTPRequest::startSynchronous() {
    setSynchronous(true);
    runLoopMode_.set(std::string(kRunLoopMode));
    inProgress_.store(true);
    setExecuting(true);
    if (!isCancelled() && !complete()) {
        requestThread_.set(Thread::current());
        main();
        // Until the request has finished, not merely completed an attempt:
        // a request that waits for credentials or a redirect decision keeps
        // the caller's loop turning in the private mode, where the answer
        // (or a cancel) arrives.
        auto loop = RunLoop::current();
        while (!finished_.load()) loop->runMode(kRunLoopMode, Date::distantFuture());
    } else if (!finished_.exchange(true)) {
        // Cancelled (or failed) before it started: it is over all the same.
        setExecuting(false);
        stateDidChange();
    }
    inProgress_.store(false);
}

void RQHTTPRequest::startAsynchronous() { sharedQueue()->addOperation(self()); }

void RQHTTPRequest::start() {
    inProgress_.store(true);
    setExecuting(true);
    auto keep = self();
    auto thread = threadForRequest(keep);
    requestThread_.set(thread);
    Thread::performOnThread(thread, [keep] { keep->main(); }, false, {RunLoop::defaultMode});
}

void RQHTTPRequest::main() {
    auto keep = self();
    std::unique_lock lock(cancelledLock_);
    requestThread_.set(Thread::current());
    try {
        if (isMultitaskingSupported() && shouldContinueWhenAppEntersBackground() &&
            backgroundTask_ == platform::Application::kBackgroundTaskInvalid) {
            std::weak_ptr<Operation> weak = weak_from_this();
            auto application = platform::Application::sharedApplication();
            backgroundTask_ = application->beginBackgroundTaskWithExpirationHandler([weak] {
                Thread::performOnMainThread(
                    [weak] {
                        auto request = std::static_pointer_cast<RQHTTPRequest>(weak.lock());
                        if (!request) return;
                        auto task = request->backgroundTask_;
                        if (task != platform::Application::kBackgroundTaskInvalid) {
                            platform::Application::sharedApplication()->endBackgroundTask(task);
                            request->backgroundTask_ = platform::Application::kBackgroundTaskInvalid;
                            request->cancel();
                        }
                    },
                    RunLoop::isMainThread());
            });
        }
        if (error()) {
            complete_.store(true);
            markAsFinished();
            return;
        }
        complete_.store(false);
        didUseCachedResponse_.store(false);
        auto requestURL = url();
        if (!requestURL) {
            failWithError(RQError::unableToCreateRequest());
            return;
        }
        // A download whose folder is missing fails before the first byte,
        // not after the whole body has been fetched.
        if (const std::string destination = downloadDestinationPath(); !destination.empty()) {
            std::filesystem::path folder = std::filesystem::path(destination).parent_path();
            if (folder.empty()) folder = ".";
            if (!FileManager::isDirectory(folder)) {
                failWithError(RQError::make(
                    RQError::kFileManagement,
                    Text::format("The folder of the download destination '%@' does not exist", destination)));
                return;
            }
            if (auto refused = DownloadFile::checkDestination(destination)) {
                failWithError(RQError::make(
                    RQError::kFileManagement,
                    Text::format("The download destination '%@' is not a file that may be replaced", destination),
                    *refused));
                return;
            }
        }
        auto mainReq = mainRequest();
        if (!mainReq) {
            buildPostBody();
            if (error()) return;
        }
        if (requestMethod() != "GET") setDownloadCache({});

        auto message = HTTPMessage::createRequest(
            requestMethod(), *requestURL, useHTTPVersionOne() ? HTTPMessage::kVersion10 : HTTPMessage::kVersion11);
        request_.set(message);
        if (!message) {
            failWithError(RQError::unableToCreateRequest());
            return;
        }
        if (mainReq) mainReq->buildRequestHeaders();
        buildRequestHeaders();
        if (error()) return;

        if (auto cache = downloadCache()) {
            if (cachePolicy() == 0) setCachePolicy(cache->defaultCachePolicy());
            if (cache->canUseCachedDataForRequest(*this)) {
                useDataFromCache();
                return;
            }
            if (cachePolicy() &
                (RQCacheDelegate::kAskServerIfModifiedWhenStale | RQCacheDelegate::kAskServerIfModified)) {
                if (auto cached = cache->cachedResponseHeadersForURL(*requestURL)) {
                    if (auto etag = cached->value("Etag")) addRequestHeaderValue("If-None-Match", *etag);
                    if (auto modified = cached->value("Last-Modified"))
                        addRequestHeaderValue("If-Modified-Since", *modified);
                }
            }
        }

        challenges_.applyUpFrontCredentials();

        const HTTPHeaders headers = requestHeaders();
        for (const auto& field : headers.fields()) {
            message->setHeaderFieldValue(field.name, Text::join(field.values, ", "));
        }

        if (configureProxies()) startRequest();
    } catch (const platform::Exception& exception) {
        auto error = RQError::make(RQError::kUnhandledException, exception.name());
        error.setUserInfoValue(std::string(Error::kLocalizedFailureReasonKey), exception.reason());
        error = error.withUnderlyingError(
            Error(std::string(RQError::kDomain), RQError::kUnhandledException, exception.userInfo()));
        failWithError(error);
    } catch (const std::exception& exception) {
        auto error = RQError::make(RQError::kUnhandledException, "std::exception");
        error.setUserInfoValue(std::string(Error::kLocalizedFailureReasonKey), std::string(exception.what()));
        error = error.withUnderlyingError(Error(std::string(RQError::kDomain), RQError::kUnhandledException));
        failWithError(error);
    }
}

// ===========================================================================
// Cancelling
// ===========================================================================

void RQHTTPRequest::cancel() {
    auto keep = self();
    performOnRequestThread([keep] { keep->cancelOnRequestThread(); });
}

void RQHTTPRequest::cancelOnRequestThread() {
    auto keep = self();
    std::lock_guard lock(cancelledLock_);
    // A request whose attempt is over but which still waits (for
    // credentials, a redirect decision or a proxy script) can be cancelled;
    // one that has finished cannot.
    if (cancelled_.load() || finished_.load() || (complete() && !inProgress())) return;
    failWithError(RQError::cancelled());
    complete_.store(true);
    cancelLoad();
    cancelled_.store(true);
    // A cancelled request gets no login sheet, now or after the one on
    // screen. Posted after the dialog was asked for, so it runs after it.
    if (askedDialog_.exchange(false)) performOnMainThread([keep] { RQAuthenticationDialog::withdrawRequest(keep); });
}

void RQHTTPRequest::clearDelegatesAndCancel() {
    {
        std::lock_guard lock(cancelledLock_);
        listeners_.clearDelegates();
        releaseBlocksOnMainThread();
    }
    cancel();
}

void RQHTTPRequest::releaseBlocksOnMainThread() {
    auto blocks = listeners_.takeBlocks();
    performOnMainThread([blocks]() mutable { blocks.reset(); });
}

// ===========================================================================
// Body
// ===========================================================================

void RQHTTPRequest::setupPostBody() { body_.setUp(); }

void RQHTTPRequest::appendPostData(const Data& data) {
    body_.setUp();
    if (data.empty()) return;
    if (auto failure = body_.append(data.data(), data.size())) failWithError(*failure);
}

void RQHTTPRequest::appendPostDataFromFile(const std::string& path) {
    body_.setUp();
    if (auto failure = body_.appendFile(path)) failWithError(*failure);
}

void RQHTTPRequest::buildPostBody() {
    if (haveBuiltPostBody()) return;
    if (auto failure = body_.build()) {
        failWithError(*failure);
        return;
    }
    if (postLength() > 0) {
        const std::string method = requestMethod();
        if (method == "GET" || method == "DELETE" || method == "HEAD") setRequestMethod("POST");
        addRequestHeaderValue("Content-Length", std::to_string(postLength()));
    } else if (const std::string method = requestMethod(); method == "POST" || method == "PUT") {
        // An empty body is said out loud: servers may refuse a body-carrying
        // method without a length (411) instead of reading it as empty.
        addRequestHeaderValue("Content-Length", "0");
    }
    setHaveBuiltPostBody(true);
}

// ===========================================================================
// Headers
// ===========================================================================

void RQHTTPRequest::buildRequestHeaders() {
    if (haveBuiltRequestHeaders()) return;
    setHaveBuiltRequestHeaders(true);
    if (auto mainReq = mainRequest()) {
        const HTTPHeaders headers = mainReq->requestHeaders();
        for (const auto& field : headers.fields()) addRequestHeaderValue(field.name, Text::join(field.values, ", "));
        return;
    }
    applyCookieHeader();
    if (!requestHeaders().contains("User-Agent")) {
        auto agent = userAgent();
        if (!agent) agent = defaultUserAgentString();
        if (agent) addRequestHeaderValue("User-Agent", *agent);
    }
    if (allowCompressedResponse()) addRequestHeaderValue("Accept-Encoding", "gzip");
    if (shouldCompressRequestBody()) addRequestHeaderValue("Content-Encoding", "gzip");
    updatePartialDownloadSize();
    if (partialDownloadSize() > 0)
        addRequestHeaderValue("Range",
                              Text::format("bytes=%llu-", static_cast<unsigned long long>(partialDownloadSize())));
}

void RQHTTPRequest::applyCookieHeader() {
    auto requestURL = url();
    if (useCookiePersistence() && requestURL) {
        auto stored = HTTPCookieStorage::sharedHTTPCookieStorage()->cookiesForURL(*requestURL);
        std::lock_guard lock(propertyMutex_);
        requestCookies_.unlocked().insert(requestCookies_.unlocked().end(), stored.begin(), stored.end());
    }
    auto mainReq = mainRequest();
    auto cookies = mainReq ? mainReq->requestCookies() : requestCookies();
    if (cookies.empty()) return;
    std::string header;
    for (const auto& cookie : cookies) {
        if (header.empty()) {
            header = cookie->name() + "=" + cookie->value();
        } else {
            header += "; " + cookie->name() + "=" + cookie->value();
        }
    }
    addRequestHeaderValue("Cookie", header);
}

void RQHTTPRequest::updatePartialDownloadSize() {
    const std::string temporary = temporaryFileDownloadPath();
    if (!allowResumeForFileDownloads() || downloadDestinationPath().empty() || temporary.empty() ||
        !FileManager::fileExists(temporary))
        return;
    std::optional<Error> failure;
    const auto size = RQResponseBodyWriter::partialFileSize(temporary, &failure);
    if (!size) {
        if (failure) failWithError(*failure);
        return;
    }
    partialDownloadSize_.store(*size);
}

// ===========================================================================
// Sending
// ===========================================================================

void RQHTTPRequest::startRequest() {
    if (isCancelled()) return;
    auto keep = self();
    std::lock_guard lock(cancelledLock_);

    performOnMainThread([keep] { keep->requestStarted(); });

    downloadComplete_.store(false);
    complete_.store(false);
    totalBytesRead_.store(0);
    receivedResponseBytes_.store(false);
    bodyGoesToFile_.store(false);
    resumeAlreadyComplete_.store(false);
    servedFromCache_.store(false);
    haveExaminedHeaders_ = false;
    connectionCanBeReused_.store(false);
    fileError_.set(std::optional<Error>());
    if (redirectCount() == 0) setOriginalURL(url());
    progress_.attemptStarting();
    contentLength_.store(0);
    responseHeaders_.set(std::optional<HTTPHeaders>());
    // A download keeps its body in the file; what the server sends instead
    // (an error page, a redirect's or a challenge's body) stays in memory.
    rawResponseData_.set(downloadDestinationPath().empty() ? std::optional<Data>(Data{}) : std::nullopt);
    readStreamIsScheduled_ = false;

    auto requestURL = url();
    auto message = request_.get();
    if (!requestURL || !message) {
        failWithError(RQError::unableToCreateRequest());
        return;
    }

    // The body stream, when there is a body.
    auto bodyStream = body_.openStream(keep);
    auto stream = bodyStream ? HTTPReadStream::create(message, bodyStream) : HTTPReadStream::create(message);
    if (!stream) {
        failWithError(RQError::make(RQError::kInternalError, "Unable to create read stream"));
        return;
    }
    readStream_.set(stream);

    const bool secure = lower(requestURL->scheme()) == "https";
    if (secure) {
        HTTPReadStream::SSLSettings settings;
        settings.validatesCertificateChain = validatesSecureCertificate();
        if (auto identity = clientCertificateIdentity()) {
            settings.identity = identity;
            settings.extraCertificates = clientCertificates();
        }
        stream->setSSLSettings(std::move(settings));
    }

    const std::string host = proxyHost();
    const int port = proxyPort();
    std::string type = proxyType();
    if (!host.empty() && port > 0) {
        if (type.empty()) {
            type = kProxyTypeHTTP;
            setProxyType(type);
        }
        const auto port16 = static_cast<std::uint16_t>(port);
        if (type == kProxyTypeSOCKS) {
            stream->setSOCKSProxy(host, port16);
        } else if (secure) {
            stream->setHTTPSProxy(host, port16);
        } else {
            stream->setHTTPProxy(host, port16);
        }
    }

    // The connection pool.
    pool().expire();
    std::shared_ptr<HTTPReadStream> oldStream;
    if (requestURL->host().empty() || requestURL->scheme().empty()) {
        connectionInfo_.set(std::shared_ptr<ConnectionRecord>());
        setShouldAttemptPersistentConnection(false);
    }
    if (shouldAttemptPersistentConnection()) {
        RQConnectionPool::Key key{requestURL->scheme(),
                                  requestURL->host(),
                                  requestURL->port().value_or(0),
                                  validatesSecureCertificate(),
                                  clientCertificateIdentity(),
                                  host,
                                  port,
                                  type};
        auto attached = pool().attach(key, connectionInfo_.get(), requestID(), stream);
        oldStream = std::move(attached.previousStream);
        requestID_.set(std::optional<std::uint64_t>(attached.requestNumber));
        connectionInfo_.set(std::move(attached.record));
    }

    if (!readStreamIsScheduled_ && !throttle().isSleeping()) scheduleReadStream();

    std::weak_ptr<Operation> weak = weak_from_this();
    stream->setClient(HTTPReadStream::kDefaultEvents, [weak](HTTPReadStream& s, unsigned event) {
        auto keepStream = s.shared_from_this();
        if (auto request = std::static_pointer_cast<RQHTTPRequest>(weak.lock())) request->handleNetworkEvent(event);
    });
    const bool opened = stream->open();
    if (oldStream && oldStream != stream) oldStream->close();

    if (!opened) {
        connectionCanBeReused_.store(false);
        destroyReadStream();
        failWithError(RQError::make(RQError::kInternalError, "Unable to start HTTP connection"));
        return;
    }

    progress_.attemptOpened();

    timeOut_.noteActivity();
    auto timer = Timer::create(0.25, true, [weak](Timer&) {
        if (auto request = std::static_pointer_cast<RQHTTPRequest>(weak.lock())) request->updateStatus();
    });
    RunLoop::current()->addTimer(timer, runLoopMode());
    setStatusTimer(timer);
}

void RQHTTPRequest::setStatusTimer(std::shared_ptr<Timer> timer) {
    auto keep = self();
    std::shared_ptr<Timer> old;
    {
        std::lock_guard lock(propertyMutex_);
        if (statusTimer_.unlocked() == timer) return;
        old = std::move(statusTimer_.unlocked());
        statusTimer_.unlocked() = std::move(timer);
    }
    if (old) old->invalidate();
}

void RQHTTPRequest::updateStatus() {
    auto keep = self();
    checkRequestStatus();
    if (!inProgress()) setStatusTimer(nullptr);
}

void RQHTTPRequest::scheduleReadStream() {
    auto stream = readStream();
    if (!stream || readStreamIsScheduled_) return;
    pool().streamScheduled();
    timeOut_.noteActivity();
    std::weak_ptr<Operation> weak = weak_from_this();
    stream->setClient(HTTPReadStream::kDefaultEvents, [weak](HTTPReadStream& s, unsigned event) {
        auto keepStream = s.shared_from_this();
        if (auto request = std::static_pointer_cast<RQHTTPRequest>(weak.lock())) request->handleNetworkEvent(event);
    });
    stream->scheduleInRunLoop(RunLoop::current(), runLoopMode());
    readStreamIsScheduled_ = true;
}

void RQHTTPRequest::unscheduleReadStream() {
    auto stream = readStream();
    if (!stream || !readStreamIsScheduled_) return;
    pool().streamUnscheduled();
    stream->setClient(0, nullptr);
    stream->unscheduleFromRunLoop(RunLoop::current(), runLoopMode());
    readStreamIsScheduled_ = false;
}

void RQHTTPRequest::destroyReadStream() {
    auto stream = readStream();
    if (!stream) return;
    unscheduleReadStream();
    if (!connectionCanBeReused()) {
        stream->setClient(0, nullptr);
        stream->close();
    }
    readStream_.set(std::shared_ptr<HTTPReadStream>());
}

void RQHTTPRequest::closeDownloadStreams() { bodyWriter_.closeFiles(); }

void RQHTTPRequest::cancelLoad() {
    if (auto loader = std::exchange(pacLoader_, nullptr)) loader->cancel();
    destroyReadStream();
    body_.closeStream();
    rawResponseData_.set(std::optional<Data>());
    if (!temporaryFileDownloadPath().empty() || !temporaryUncompressedDataDownloadPath().empty()) {
        closeDownloadStreams();
        if (!allowResumeForFileDownloads()) removeTemporaryDownloadFile();
        removeTemporaryUncompressedDownloadFile();
    }
    bodyWriter_.finishInflating(false);
    // The body files the request made stay until it ends: a retry on a new
    // connection sends the same body again. failWithError and the end of
    // the response remove them.
    responseHeaders_.set(std::optional<HTTPHeaders>());
}

// ===========================================================================
// Status, time-outs and retries
// ===========================================================================

void RQHTTPRequest::checkRequestStatus() {
    auto keep = self();
    std::unique_lock lock(cancelledLock_);
    if (cancelled_.load() || complete()) return;
    performThrottling();
    const RQTimeOutWatch::Attempt attempt{readStream() && readStreamIsScheduled_, postLength(), uploadBufferSize(),
                                          totalBytesSent()};
    if (timeOut_.timedOut(attempt)) {
        if (timeOut_.mayRetryAfterTimeOut()) {
            retryAfterTimeOut();
            return;
        }
        failWithError(RQError::timedOut());
        cancelLoad();
        complete_.store(true);
        return;
    }
    auto stream = readStream();
    if (stream && postLength() > 0) {
        const std::uint64_t before = totalBytesSent_.load();
        progress_.sentSince(before);
        const std::uint64_t written = stream->requestBytesWritten();
        totalBytesSent_.store(written);
        if (written > before) {
            timeOut_.noteActivity();
            incrementBandwidthUsedInLastSecond(written - before);
        }
    }
    if (stream) progress_.updateIndicators();
}

void RQHTTPRequest::retryAfterTimeOut() {
    // The stalled attempt goes completely: its stream and connection (so the
    // retry does not queue behind a dead connection), its body stream and
    // its download streams (so the file is rewritten, or resumed only with a
    // "Range" the server honours).
    timeOut_.countRetry();
    pool().discard(connectionInfo_.get());
    connectionInfo_.set(std::shared_ptr<ConnectionRecord>());
    connectionCanBeReused_.store(false);
    setStatusTimer(nullptr);
    destroyReadStream();
    body_.closeStream();
    closeDownloadStreams();
    bodyWriter_.finishInflating(false);
    partialDownloadSize_.store(0);
    updatePartialDownloadSize();
    if (error()) return;
    auto message = request_.get();
    if (partialDownloadSize() > 0) {
        if (message)
            message->setHeaderFieldValue(
                "Range", Text::format("bytes=%llu-", static_cast<unsigned long long>(partialDownloadSize())));
    } else {
        if (message) message->removeHeaderField("Range");
        const std::string temporary = temporaryFileDownloadPath();
        if (!temporary.empty()) FileManager::removeItem(temporary);
    }
    startRequest();
}

bool RQHTTPRequest::retryUsingNewConnection() {
    if (retryCount() != 0) return false;
    pool().discard(connectionInfo_.get());
    connectionInfo_.set(std::shared_ptr<ConnectionRecord>());
    timeOut_.countRetry();
    startRequest();
    return true;
}

// ===========================================================================
// Stream events and reading
// ===========================================================================

void RQHTTPRequest::handleNetworkEvent(unsigned event) {
    auto keep = self();
    std::unique_lock lock(cancelledLock_);
    if (complete() || cancelled_.load()) return;
    switch (event) {
    case HTTPReadStream::kEventEndEncountered: handleStreamComplete(); break;
    case HTTPReadStream::kEventErrorOccurred: handleStreamError(); break;
    case HTTPReadStream::kEventHasBytesAvailable: handleBytesAvailable(); break;
    default: break;
    }
    performThrottling();
    lock.unlock();

    if (downloadComplete() && needsRedirect_.load()) {
        if (listeners_.respondsToWillRedirect()) {
            auto target = redirectURL();
            redirectURL_.set(std::optional<URL>());
            if (target) performOnMainThread([keep, target] { keep->requestWillRedirectToURL(*target); });
        } else {
            performRedirect();
        }
    } else if (downloadComplete() && authenticationNeeded() != kNoAuthenticationNeeded && !error()) {
        attemptToApplyCredentialsAndResume();
    }
}

void RQHTTPRequest::handleBytesAvailable() {
    if (!haveExaminedHeaders_) {
        haveExaminedHeaders_ = true;
        readResponseHeaders();
    }
    auto stream = readStream();
    if (complete() || !stream || !stream->hasBytesAvailable()) return;

    const std::uint64_t length = contentLength();
    std::uint64_t size = length > 262144 ? 262144 : length > 65536 ? 65536 : 16384;
    if (isBandwidthThrottled()) size = throttle().maxDownloadReadLength(size);

    thread_local std::vector<std::uint8_t> buffer(262144);
    const std::int64_t got = stream->read(buffer.data(), static_cast<std::size_t>(size));
    if (got < 0) {
        handleStreamError();
        return;
    }
    if (got == 0) return;
    receivedResponseBytes_.store(true);
    const auto count = static_cast<std::size_t>(got);
    const std::uint8_t* bytes = buffer.data();

    const bool compressed = isResponseCompressed();
    const bool inflateNow = compressed && !shouldWaitToInflateCompressedResponses();
    const bool passOn = listeners_.takesReceivedData();
    const bool toFile = bodyGoesToFile_.load();
    if (inflateNow) bodyWriter_.decompressor(passOn || toFile);
    // Inflates this piece straight into its destination (the decompressor's
    // one buffer, no copy per piece); false after failing the request.
    auto inflateInto = [&](const platform::Inflater::Sink& sink) {
        auto failure = bodyWriter_.inflate(bytes, count, sink);
        if (failure) failWithError(*failure);
        return !failure;
    };

    totalBytesRead_.fetch_add(count);
    timeOut_.noteActivity();
    incrementBandwidthUsedInLastSecond(count);
    if (isPACFileRequest() && totalBytesRead() > kMaxPACScriptSize) {
        failWithError(RQError::make(RQError::kInternalError, "The proxy auto-configuration script is too large"));
        return;
    }

    // The answer to a resume that already holds every byte carries nothing
    // for the file.
    if (resumeAlreadyComplete_.load()) return;

    if (passOn) {
        Data data;
        if (!inflateNow) {
            data.assign(bytes, bytes + count);
        } else if (!inflateInto([&data](const std::uint8_t* out, std::size_t n) {
                       data.insert(data.end(), out, out + n);
                       return true;
                   })) {
            return;
        }
        if (data.empty()) return;
        auto keep = self();
        performOnMainThread([keep, data = std::move(data)] { keep->passOnReceivedData(data); });
        return;
    }
    if (toFile) {
        if (!bodyWriter_.hasOpenFiles()) {
            bool append = false;
            const std::string destination = downloadDestinationPath();
            std::string temporary = temporaryFileDownloadPath();
            if (!temporary.empty()) {
                auto message = request_.get();
                const bool rangeSent = message && message->headerFieldValue("Range").has_value();
                if (allowResumeForFileDownloads() && rangeSent && responseStatusCode() == 206) {
                    auto headers = responseHeaders();
                    if (auto refused = RQResponseBodyWriter::checkContinuation(
                            headers ? headers->value("Content-Range") : std::nullopt, partialDownloadSize())) {
                        failWithError(*refused);
                        return;
                    }
                    append = true;
                } else if (rangeSent) {
                    progress_.incrementSizeBy(false, -static_cast<std::int64_t>(partialDownloadSize()));
                    partialDownloadSize_.store(0);
                }
            } else {
                temporary = RQResponseBodyWriter::temporaryPathBeside(destination);
                setTemporaryFileDownloadPath(temporary);
            }
            std::string inflatedPath;
            if (inflateNow) {
                inflatedPath = temporaryUncompressedDataDownloadPath();
                if (inflatedPath.empty()) {
                    inflatedPath = RQResponseBodyWriter::temporaryPathBeside(destination);
                    setTemporaryUncompressedDataDownloadPath(inflatedPath);
                }
            }
            bodyWriter_.openFiles(temporary, inflatedPath, append);
        }
        if (auto failure = bodyWriter_.write(bytes, count, inflateNow, temporaryFileDownloadPath(),
                                             temporaryUncompressedDataDownloadPath()))
            failWithError(*failure);
        return;
    }
    if (!inflateNow) {
        std::lock_guard lock(propertyMutex_);
        if (!rawResponseData_.unlocked()) rawResponseData_.unlocked() = Data{};
        rawResponseData_.unlocked()->insert(rawResponseData_.unlocked()->end(), bytes, bytes + count);
        return;
    }
    inflateInto([this](const std::uint8_t* out, std::size_t n) {
        std::lock_guard lock(propertyMutex_);
        if (!rawResponseData_.unlocked()) rawResponseData_.unlocked() = Data{};
        rawResponseData_.unlocked()->insert(rawResponseData_.unlocked()->end(), out, out + n);
        return true;
    });
}

void RQHTTPRequest::handleStreamComplete() {
    auto keep = self();
    setStatusTimer(nullptr);
    downloadComplete_.store(true);
    if (!haveExaminedHeaders_) {
        haveExaminedHeaders_ = true;
        readResponseHeaders();
    }
    if (complete() && didUseCachedResponse()) return;
    const bool fromCache = servedFromCache_.load();
    auto stream = readStream();
    const bool redirectPending = needsRedirect_.load() && shouldRedirect();
    const bool authenticationPending = authenticationNeeded() != kNoAuthenticationNeeded;
    std::optional<Error> fileError;
    {
        std::lock_guard progressLock(RQProgressReporter::lock());
        progress_.sentSince(totalBytesSent_.load());
        if (stream) totalBytesSent_.store(stream->requestBytesWritten());
        complete_.store(true);
        if (contentLength() == 0) contentLength_.store(totalBytesRead());
        progress_.updateIndicators();
        // Nothing to send is all sent.
        if (postLength() == 0 && !mainRequest() && !redirectPending && !authenticationPending)
            progress_.setProgress(true, 0, 0);
        body_.closeStream();
        // A compressed body inflated on the fly must have reached its end:
        // a truncated one is an error, not a shorter success.
        fileError = bodyWriter_.finishInflating(!redirectPending && !authenticationPending);
        // A redirect that keeps its method sends the same body again.
        if (!authenticationPending && !redirectPending) {
            if (auto failure = body_.removeTemporaryFiles()) failWithError(*failure);
        }

        if (!temporaryFileDownloadPath().empty() || !temporaryUncompressedDataDownloadPath().empty()) {
            closeDownloadStreams();
            // The body of a redirect or of a challenge is not the download:
            // the file waits for the next attempt. Neither is an error page:
            // the destination keeps what it held, a partial file kept for
            // resuming stays, any other temporary file goes.
            if (!redirectPending && !authenticationPending && !bodyGoesToFile_.load() &&
                !resumeAlreadyComplete_.load()) {
                if (!allowResumeForFileDownloads()) removeTemporaryDownloadFile();
                removeTemporaryUncompressedDownloadFile();
            } else if (!redirectPending && !authenticationPending) {
                using Finish = RQResponseBodyWriter::Finish;
                const bool compressed = isResponseCompressed() && !resumeAlreadyComplete_.load();
                const Finish how = !compressed                                ? Finish::Move
                                   : shouldWaitToInflateCompressedResponses() ? Finish::InflateFile
                                                                              : Finish::MoveInflated;
                fileError = RQResponseBodyWriter::finishDownload(how, temporaryFileDownloadPath(),
                                                                 temporaryUncompressedDataDownloadPath(),
                                                                 downloadDestinationPath(), fileError);
                if (how == Finish::Move) {
                    setTemporaryFileDownloadPath({});
                } else {
                    if (how == Finish::MoveInflated) setTemporaryUncompressedDataDownloadPath({});
                    removeTemporaryDownloadFile();
                }
            }
        }
        if (auto cache = downloadCache(); cache && !didUseCachedResponse() && !fromCache && !fileError)
            cache->storeResponseForRequestMaxAge(*this, secondsToCache());
    }
    if (!connectionCanBeReused()) unscheduleReadStream();
    pool().release(connectionInfo_.get(), Date::now().addingTimeInterval(persistentConnectionTimeoutSeconds()),
                   connectionCanBeReused());
    if (!authenticationPending) destroyReadStream();

    if (fromCache) {
        useDataFromCache();
        if (auto cache = downloadCache()) cache->storeResponseForRequestMaxAge(*this, secondsToCache());
        return;
    }
    if (redirectPending || authenticationPending || didUseCachedResponse()) {
        if (authenticationPending) RunLoop::current()->stop();
        return;
    }
    if (fileError) {
        failWithError(*fileError);
    } else {
        requestFinished();
        // The reply asked for a second attempt, which is under way.
        if (!complete()) return;
    }
    markAsFinished();
}

void RQHTTPRequest::handleStreamError() {
    auto keep = self();
    auto stream = readStream();
    std::optional<Error> streamError = stream ? stream->error() : std::nullopt;
    const bool reused = stream && stream->connectionWasReused();
    cancelLoad();
    if (!error()) {
        const Error underlying =
            streamError.value_or(Error(std::string(platform::HTTPStreamError::kNetworkDomain), -1));
        using platform::HTTPStreamError;
        const bool dropped = (underlying.domain() == HTTPStreamError::kPOSIXDomain &&
                              (underlying.code() == HTTPStreamError::kNotConnected ||
                               underlying.code() == HTTPStreamError::kBrokenPipe)) ||
                             (underlying.domain() == HTTPStreamError::kNetworkDomain &&
                              underlying.code() == HTTPStreamError::kConnectionLost);
        // Only a connection taken from the pool that failed before any
        // response byte was the server closing an idle connection; a body
        // that may have been taken in full is not sent again unless the
        // method may be repeated.
        const bool brokenWhileSending = underlying.domain() == HTTPStreamError::kPOSIXDomain;
        if (dropped && reused && !receivedResponseBytes_.load() &&
            (idempotentMethod(requestMethod()) || brokenWhileSending)) {
            if (retryUsingNewConnection()) return;
        }
        std::string description = "A connection failure occurred";
        if (HTTPStreamError::isTLSError(underlying)) {
            description = Text::format(
                "%@: SSL problem (Possible causes may include a bad/expired/self-signed certificate, clock set to "
                "wrong date)",
                std::string("A connection failure occurred"));
        }
        failWithError(RQError::make(RQError::kConnectionFailure, description, underlying));
    }
    checkRequestStatus();
}

// ===========================================================================
// Response head, redirects
// ===========================================================================

void RQHTTPRequest::readResponseHeaders() {
    authenticationNeeded_.store(kNoAuthenticationNeeded);
    auto stream = readStream();
    auto head = stream ? stream->responseHeader() : nullptr;
    if (!head || !head->isHeaderComplete()) return;
    receivedResponseBytes_.store(true);

    HTTPHeaders headers = head->allHeaderFields();
    responseHeaders_.set(std::optional<HTTPHeaders>(headers));
    responseStatusCode_.store(head->responseStatusCode());
    responseStatusMessage_.set(head->responseStatusLine());

    if (auto cache = downloadCache(); cache && cache->canUseCachedDataForRequest(*this)) {
        // The cached body answers once this exchange has ended, so that its
        // stream and pool record are given back like any other's.
        servedFromCache_.store(true);
        readConnectionReuse(*head, headers);
        return;
    }

    const int status = head->responseStatusCode();
    decideBodyPlacement(status, headers);
    if (status == 401) authenticationNeeded_.store(kHTTPAuthenticationNeeded);
    if (status == 407) authenticationNeeded_.store(kProxyAuthenticationNeeded);

    if (authenticationNeeded() == kNoAuthenticationNeeded) challenges_.rememberAcceptedUpFrontCredentials();

    parseStringEncodingFromHeaders();

    auto requestURL = url();
    if (requestURL) {
        auto cookies = HTTPCookie::cookiesWithResponseHeaderFields(headers, *requestURL);
        responseCookies_.set(cookies);
        if (useCookiePersistence()) {
            HTTPCookieStorage::sharedHTTPCookieStorage()->setCookiesForURL(cookies, *requestURL, std::nullopt);
            for (const auto& cookie : cookies) addSessionCookie(cookie);
        }
    }

    if (auto target = shouldRedirect() && requestURL
                          ? RQRedirectPolicy::target(status, headers.value("Location"), *requestURL)
                          : std::nullopt) {
        auto keep = self();
        performOnMainThread([keep] { keep->requestRedirected(); });
        if (!RQRedirectPolicy::keepsMethod(status, shouldUseRFC2616RedirectBehaviour())) {
            setRequestMethod("GET");
            setPostBody(std::nullopt);
            setPostLength(0);
            setRequestHeaders(RQRedirectPolicy::headersKeptWhenBecomingGET(requestHeaders()));
            setHaveBuiltRequestHeaders(false);
        }
        redirectURL_.set(std::move(target));
        needsRedirect_.store(true);
        setRequestCookies({});
    }

    if (!needsRedirect_.load()) {
        auto mainReq = mainRequest();
        RQHTTPRequest& target = mainReq ? *mainReq : *this;
        const bool challenge = authenticationNeeded() != kNoAuthenticationNeeded;
        auto lengthText = headers.value("Content-Length");
        std::optional<std::uint64_t> length = lengthText ? parseContentLength(*lengthText) : std::nullopt;
        // The counting flags are this request's own: a queue clears the
        // reset flag on a GET whose size its HEAD companion already counts,
        // while the companion keeps it, so the size is counted exactly once.
        // The numbers themselves go to the main request.
        const bool counts = !challenge && showAccurateProgress() && shouldResetDownloadProgress();
        if (length) {
            if (mainReq && mainReq->allowCompressedResponse() && *length == 20 && showAccurateProgress() &&
                shouldResetDownloadProgress()) {
                mainReq->setShowAccurateProgress(false);
                mainReq->progress_.incrementSizeBy(false, 1);
            } else {
                target.contentLength_.store(*length);
                // The body of a challenge is not what the caller counts.
                if (counts)
                    target.progress_.incrementSizeBy(false,
                                                     static_cast<std::int64_t>(*length + target.partialDownloadSize()));
            }
        } else if (counts) {
            target.setShowAccurateProgress(false);
            target.progress_.incrementSizeBy(false, 1);
        }
    }

    readConnectionReuse(*head, headers);

    auto keep = self();
    performOnMainThread([keep, headers] { keep->requestReceivedResponseHeaders(headers); });
}

void RQHTTPRequest::readConnectionReuse(const HTTPMessage& head, const HTTPHeaders& headers) {
    if (!shouldAttemptPersistentConnection()) return;
    const auto reuse = RQResponseHead::connectionReuse(head, headers);
    if (!reuse.reusable) return;
    connectionCanBeReused_.store(true);
    if (reuse.timeoutSeconds) setPersistentConnectionTimeoutSeconds(*reuse.timeoutSeconds);
}

void RQHTTPRequest::decideBodyPlacement(int status, const HTTPHeaders& headers) {
    // Only a successful answer is the download; an error page, a redirect's
    // or a challenge's body never lands in the file or at the destination.
    bodyGoesToFile_.store(!downloadDestinationPath().empty() && status >= 200 && status < 300);
    resumeAlreadyComplete_.store(false);
    if (status != 416 || !allowResumeForFileDownloads() || partialDownloadSize() == 0 ||
        temporaryFileDownloadPath().empty())
        return;
    auto message = request_.get();
    if (!message || !message->headerFieldValue("Range")) return;
    auto range = headers.value("Content-Range");
    auto length = range ? RQResponseHead::unsatisfiedRangeLength(*range) : std::nullopt;
    // "Nothing from there on" with a complete length equal to the partial
    // file: the file already holds every byte.
    resumeAlreadyComplete_.store(length && *length == partialDownloadSize());
}

void RQHTTPRequest::parseStringEncodingFromHeaders() {
    Text::Encoding encoding = defaultResponseEncoding();
    Text::Encoding found = encoding;
    std::string mime;
    auto headers = responseHeaders();
    parseMimeTypeAndResponseEncodingFromContentType(&mime, &found,
                                                    headers ? headers->value("Content-Type") : std::nullopt);
    responseEncoding_.set(found);
}

bool RQHTTPRequest::isResponseCompressed() const {
    auto headers = responseHeaders();
    if (!headers) return false;
    auto encoding = headers->value("Content-Encoding");
    return encoding && Text::contains(*encoding, "gzip");
}

void RQHTTPRequest::redirectToURL(const URL& target) {
    redirectURL_.set(std::optional<URL>(target));
    auto keep = self();
    performOnRequestThread([keep] { keep->performRedirect(); });
}

void RQHTTPRequest::performRedirect() {
    auto keep = self();
    std::unique_lock lock(cancelledLock_);
    if (cancelled_.load() || error()) return;
    auto previous = url();
    auto target = redirectURL();
    if (!target) return;
    setURL(target);
    complete_.store(true);
    needsRedirect_.store(false);
    const int count = redirectCount_.fetch_add(1) + 1;
    if (!RQRedirectPolicy::sameOrigin(previous, target)) {
        // Nothing meant for the old origin travels to the new one: its
        // credentials and cookies stay behind; session credentials for the
        // new origin are applied again by the next attempt.
        {
            std::lock_guard propertyLock(propertyMutex_);
            RQRedirectPolicy::removeOriginBoundHeaders(requestHeaders_.unlocked());
            challenges_.forgetServerAnswerLocked();
        }
    }
    if (haveBuiltRequestHeaders()) {
        // Headers were kept (307): the cookies are those of the new URL.
        {
            std::lock_guard propertyLock(propertyMutex_);
            requestHeaders_.unlocked().remove("Cookie");
        }
        applyCookieHeader();
    }
    if (count <= RQRedirectPolicy::kMaximumRedirects) {
        lock.unlock();
        main();
    } else {
        failWithError(RQError::tooManyRedirects());
        complete_.store(true);
    }
}

// ===========================================================================
// Authentication
// ===========================================================================

void RQHTTPRequest::attemptToApplyCredentialsAndResume() {
    auto keep = self();
    if (error() || isCancelled()) return;
    std::unique_lock lock(cancelledLock_);
    challenges_.answer(authenticationNeeded() == kProxyAuthenticationNeeded ? Side::Proxy : Side::Server);
}

bool RQHTTPRequest::isOriginalOrigin() const { return RQRedirectPolicy::sameOrigin(url(), originalURL()); }

RQChallengeResponder::Account RQHTTPRequest::account(Side side, bool ofMainRequest) const {
    auto mainReq = ofMainRequest ? mainRequest() : nullptr;
    const RQHTTPRequest& source = mainReq ? *mainReq : *this;
    if (side == Side::Proxy) return {source.proxyUsername(), source.proxyPassword(), source.proxyDomain()};
    return {source.username(), source.password(), source.domain()};
}

std::pair<std::string, int> RQHTTPRequest::proxyEndpoint() const { return {proxyHost(), proxyPort()}; }

bool RQHTTPRequest::hasResponse() const { return responseStatusCode() != 0; }

std::shared_ptr<HTTPMessage> RQHTTPRequest::outgoingMessage() const { return request_.get(); }

std::shared_ptr<HTTPMessage> RQHTTPRequest::challengeHead() const {
    auto stream = readStream();
    return stream ? stream->responseHeader() : nullptr;
}

bool RQHTTPRequest::hasRequestHeader(const std::string& name) const { return requestHeaders().contains(name); }

void RQHTTPRequest::addRequestHeader(const std::string& name, const std::string& value) {
    addRequestHeaderValue(name, value);
}

bool RQHTTPRequest::hasEnded() const { return error() || isCancelled(); }

void RQHTTPRequest::stopAttempt() { cancelLoad(); }

void RQHTTPRequest::fail(const Error& failure) { failWithError(failure); }

void RQHTTPRequest::sendAgain() { startRequest(); }

void RQHTTPRequest::forgetLastActivity() { timeOut_.forgetActivity(); }

bool RQHTTPRequest::askDelegateForCredentials(Side side) {
    const bool proxy = side == Side::Proxy;
    if (!listeners_.answersAuthentication(proxy)) return false;
    auto keep = self();
    performOnMainThread([keep, proxy] { keep->listeners_.askForCredentials(*keep, proxy); });
    return true;
}

bool RQHTTPRequest::showCredentialsDialog() {
    // A synchronous request on the main thread holds the main loop in its
    // private mode: nobody could ever answer the dialog.
    if (isSynchronous() && RunLoop::isMainThread()) return false;
    auto keep = self();
    askedDialog_.store(true);
    performOnMainThread([keep] { RQAuthenticationDialog::presentAuthenticationDialogForRequest(keep); });
    return true;
}

void RQHTTPRequest::retryUsingSuppliedCredentials() {
    auto keep = self();
    performOnRequestThread([keep] {
        if (keep->request_.get()) {
            keep->attemptToApplyCredentialsAndResume();
        } else {
            keep->main();
        }
    });
}

RQChallengedRequest::Challenge RQHTTPRequest::credentialsChallenge() const {
    const auto party = static_cast<Party>(authenticationNeeded());
    Challenge challenge = challenges_.challenge(party == kProxy ? Side::Proxy : Side::Server);
    challenge.party = party;
    return challenge;
}

void RQHTTPRequest::retryWithCredentials(const std::string& user, const std::string& password,
                                         const std::optional<std::string>& domain) {
    if (authenticationNeeded() == kProxyAuthenticationNeeded) {
        setProxyUsername(user);
        setProxyPassword(password);
        if (domain) setProxyDomain(*domain);
    } else {
        setUsername(user);
        setPassword(password);
        if (domain) setDomain(*domain);
    }
    retryUsingSuppliedCredentials();
}

void RQHTTPRequest::cancelAuthentication() {
    auto keep = self();
    performOnRequestThread([keep] { keep->failAuthentication(); });
}

void RQHTTPRequest::failAuthentication() {
    std::lock_guard lock(cancelledLock_);
    if (error() || finished_.load()) return;
    cancelLoad();
    failWithError(RQError::authenticationNeeded());
}

// ===========================================================================
// Completion and failure
// ===========================================================================

void RQHTTPRequest::failWithError(const Error& failure) {
    auto keep = self();
    std::lock_guard lock(cancelledLock_);
    complete_.store(true);
    const bool keepsConnection =
        RQError::is(failure, RQError::kAuthenticationNeeded) || RQError::is(failure, RQError::kTooManyRedirects);
    if (!keepsConnection) {
        pool().discard(connectionInfo_.get());
        connectionInfo_.set(std::shared_ptr<ConnectionRecord>());
        // The stream goes with its record: nothing else would close it.
        connectionCanBeReused_.store(false);
    }
    destroyReadStream();
    setStatusTimer(nullptr);
    removeTemporaryFilesAfterFailure();
    if (connectionCanBeReused())
        pool().setExpiry(connectionInfo_.get(), Date::now().addingTimeInterval(persistentConnectionTimeoutSeconds()));
    if (cancelled_.load() || error()) return;
    if (auto cache = downloadCache(); cache && (cachePolicy() & RQCacheDelegate::kFallbackToCacheIfLoadFails) &&
                                      cache->canUseCachedDataForRequest(*this)) {
        useDataFromCache();
        return;
    }
    error_.set(std::optional<Error>(failure));
    auto reporting = keep;
    if (auto mainReq = mainRequest()) {
        mainReq->error_.set(std::optional<Error>(failure));
        reporting = mainReq;
    }
    if (isPACFileRequest()) {
        reporting->reportFailure();
    } else {
        performOnMainThread([reporting] { reporting->reportFailure(); });
    }
    if (inProgress()) markAsFinished();
}

void RQHTTPRequest::markAsFinished() {
    auto keep = self();
    const bool wasFinished = finished_.exchange(true);
    inProgress_.store(false);
    setExecuting(false);
    setStatusTimer(nullptr);
    RunLoop::current()->stop();
    if (isMultitaskingSupported() && shouldContinueWhenAppEntersBackground()) {
        std::weak_ptr<Operation> weak = weak_from_this();
        Thread::performOnMainThread(
            [weak] {
                auto request = std::static_pointer_cast<RQHTTPRequest>(weak.lock());
                if (!request) return;
                if (request->backgroundTask_ != platform::Application::kBackgroundTaskInvalid) {
                    platform::Application::sharedApplication()->endBackgroundTask(request->backgroundTask_);
                    request->backgroundTask_ = platform::Application::kBackgroundTaskInvalid;
                }
            },
            RunLoop::isMainThread());
    }
    if (!wasFinished) stateDidChange();
}

void RQHTTPRequest::useDataFromCache() {
    auto keep = self();
    auto cache = downloadCache();
    auto requestURL = url();
    auto mainReq = mainRequest();
    auto target = mainReq ? mainReq : keep;
    if (cache && requestURL) {
        auto headers = cache->cachedResponseHeadersForURL(*requestURL);
        auto dataPath = cache->pathToCachedResponseDataForURL(*requestURL);
        if (headers && dataPath) {
            responseStatusCode_.store(200);
            didUseCachedResponse_.store(true);
            target->responseHeaders_.set(std::optional<HTTPHeaders>(*headers));
            if (!target->downloadDestinationPath().empty()) {
                target->setDownloadDestinationPath(*dataPath);
            } else {
                target->rawResponseData_.set(cache->cachedResponseDataForURL(*requestURL));
            }
            const auto length = parseContentLength(headers->value("Content-Length").value_or("")).value_or(0);
            target->contentLength_.store(length);
            target->totalBytesRead_.store(length);
            target->parseStringEncodingFromHeaders();
            target->responseCookies_.set(HTTPCookie::cookiesWithResponseHeaderFields(*headers, *requestURL));
        }
    }
    target->complete_.store(true);
    target->downloadComplete_.store(true);
    if (target->redirectCount() == 0) target->setOriginalURL(target->url());
    target->progress_.updateIndicators();
    target->requestFinished();
    target->markAsFinished();
    if (mainReq) markAsFinished();
}

void RQHTTPRequest::removeTemporaryFilesAfterFailure() {
    // Plain removals: a removal that fails must not fail the request again.
    closeDownloadStreams();
    std::string partial;
    std::string inflated;
    {
        std::lock_guard lock(propertyMutex_);
        if (!allowResumeForFileDownloads_.load()) partial = std::exchange(temporaryFileDownloadPath_.unlocked(), {});
        inflated = std::exchange(temporaryUncompressedDataDownloadPath_.unlocked(), {});
    }
    for (const std::string* path : {&partial, &inflated})
        if (!path->empty()) FileManager::removeItem(*path);
    body_.removeTemporaryFilesQuietly();
}

bool RQHTTPRequest::removeTemporaryDownloadFile() {
    const std::string path = temporaryFileDownloadPath();
    if (path.empty()) return true;
    const auto failure = RQResponseBodyWriter::removeFile(path);
    if (failure) failWithError(*failure);
    const bool removed = !failure;
    setTemporaryFileDownloadPath({});
    return removed;
}

bool RQHTTPRequest::removeTemporaryUncompressedDownloadFile() {
    const std::string path = temporaryUncompressedDataDownloadPath();
    if (path.empty()) return true;
    const auto failure = RQResponseBodyWriter::removeFile(path);
    if (failure) failWithError(*failure);
    const bool removed = !failure;
    setTemporaryUncompressedDataDownloadPath({});
    return removed;
}

// ===========================================================================
// Reports (main thread)
// ===========================================================================

void RQHTTPRequest::requestStarted() {
    if (!error() && !mainRequest()) listeners_.started(*this);
}

void RQHTTPRequest::requestReceivedResponseHeaders(const HTTPHeaders& headers) {
    if (!error() && !mainRequest()) listeners_.receivedResponseHeaders(*this, headers);
}

void RQHTTPRequest::requestWillRedirectToURL(const URL& target) {
    if (!error() && !mainRequest()) listeners_.willRedirect(*this, target);
}

void RQHTTPRequest::requestRedirected() {
    if (!error() && !mainRequest()) listeners_.redirected(*this);
}

void RQHTTPRequest::requestFinished() {
    if (error() || mainRequest()) return;
    auto keep = self();
    if (isPACFileRequest()) {
        reportFinished();
    } else {
        performOnMainThread([keep] { keep->reportFinished(); });
    }
}

void RQHTTPRequest::reportFinished() { listeners_.finished(*this); }

void RQHTTPRequest::reportFailure() { listeners_.failed(*this); }

void RQHTTPRequest::passOnReceivedData(const Data& data) { listeners_.receivedData(*this, data); }

// ===========================================================================
// Progress
// ===========================================================================

RQProgressReporter::Transfer::Counts RQHTTPRequest::progressCounts() const {
    Counts counts;
    counts.cancelled = isCancelled();
    {
        // One look under the lock, without copying the headers.
        std::lock_guard lock(propertyMutex_);
        counts.forAnotherRequest = !mainRequest_.unlocked().expired();
        counts.answerArrived = responseHeaders_.unlocked().has_value() && !needsRedirect_.load();
    }
    counts.complete = complete();
    counts.postLength = postLength();
    counts.bytesSent = totalBytesSent();
    counts.bytesRead = totalBytesRead();
    counts.contentLength = contentLength();
    counts.partialDownloadSize = partialDownloadSize();
    return counts;
}

// ===========================================================================
// Throttling
// ===========================================================================

void RQHTTPRequest::performThrottling() {
    if (!readStream()) return;
    throttle().measureBandwidthUsage();
    if (throttle().isBandwidthThrottled()) {
        if (auto wake = throttle().wakeUpTime()) {
            if (*wake > Date::now()) {
                if (readStreamIsScheduled_) unscheduleReadStream();
            } else if (!readStreamIsScheduled_) {
                scheduleReadStream();
            }
        }
    } else if (!readStreamIsScheduled_) {
        scheduleReadStream();
    }
}

// ===========================================================================
// Proxies
// ===========================================================================

bool RQHTTPRequest::configureProxies() {
    if (isPACFileRequest() || !proxyHost().empty() || proxyPort() != 0) return true;
    if (PACurl()) {
        loadProxyScript();
        return false;
    }
    auto requestURL = url();
    auto choice =
        requestURL ? RQProxyScriptLoader::systemChoice(*requestURL) : RQProxyScriptLoader::SystemChoice{{}, {}, true};
    if (choice.unavailable) {
        readStream_.set(std::shared_ptr<HTTPReadStream>());
        failWithError(
            RQError::make(RQError::kInternalError, "Unable to obtain information on proxy servers needed for request"));
        return false;
    }
    if (choice.scriptURL) {
        setPACurl(choice.scriptURL);
        loadProxyScript();
        return false;
    }
    if (choice.proxy) useProxy(*choice.proxy);
    return true;
}

void RQHTTPRequest::useProxy(const platform::ProxyEntry& proxy) {
    using Type = platform::ProxyEntry::Type;
    setProxyType(proxy.type == Type::SOCKS   ? kProxyTypeSOCKS
                 : proxy.type == Type::HTTPS ? kProxyTypeHTTPS
                                             : kProxyTypeHTTP);
    setProxyHost(proxy.host);
    setProxyPort(proxy.port);
}

void RQHTTPRequest::loadProxyScript() {
    auto pac = PACurl();
    auto requestURL = url();
    if (!pac || !requestURL) {
        startRequest();
        return;
    }
    std::weak_ptr<Operation> weak = weak_from_this();
    auto hop = [weak](std::function<void()> task) {
        if (auto request = std::static_pointer_cast<RQHTTPRequest>(weak.lock()))
            request->performOnRequestThread(std::move(task));
    };
    auto fetch = [weak](const URL& script, std::function<void(std::optional<std::string>)> arrived) {
        auto request = std::static_pointer_cast<RQHTTPRequest>(weak.lock());
        return request ? request->fetchProxyScript(script, std::move(arrived)) : std::function<void()>();
    };
    auto done = [weak](std::optional<platform::ProxyEntry> proxy) {
        auto request = std::static_pointer_cast<RQHTTPRequest>(weak.lock());
        if (!request) return;
        {
            std::lock_guard lock(request->cancelledLock_);
            if (request->isCancelled() || request->error()) return;
            if (proxy) request->useProxy(*proxy);
        }
        request->startRequest();
    };
    pacLoader_ = RQProxyScriptLoader::start({*pac, *requestURL, timeOutSeconds(), runLoopMode()}, std::move(fetch),
                                            std::move(hop), std::move(done));
}

std::function<void()> RQHTTPRequest::fetchProxyScript(const URL& script,
                                                      std::function<void(std::optional<std::string>)> arrived) {
    auto pacRequest = requestWithURL(script);
    pacRequest->setIsPACFileRequest(true);
    pacRequest->setTimeOutSeconds(timeOutSeconds());
    pacRequest->setDownloadCache({});
    if (isSynchronous()) {
        pacRequest->startSynchronous();
        arrived(pacRequest->error() ? std::nullopt : pacRequest->responseString());
        return nullptr;
    }
    pacRequest->setQueuePriority(platform::Operation::High);
    // The shared queue is one wider until the fetch has ended or been
    // cancelled, whichever comes first.
    auto widened = std::make_shared<std::atomic<bool>>(true);
    std::weak_ptr<RQHTTPRequest> weakPac = pacRequest;
    auto finished = [weakPac, widened, arrived] {
        auto pacReq = weakPac.lock();
        if (!pacReq) return;
        if (widened->exchange(false)) widenSharedQueue(-1);
        arrived(pacReq->error() ? std::nullopt : pacReq->responseString());
    };
    pacRequest->setCompletionBlock(finished);
    pacRequest->setFailedBlock(finished);
    widenSharedQueue(1);
    pacRequest->startAsynchronous();
    return [pacRequest, widened] {
        pacRequest->setCompletionBlock(nullptr);
        pacRequest->setFailedBlock(nullptr);
        pacRequest->cancel();
        if (widened->exchange(false)) widenSharedQueue(-1);
    };
}

// ===========================================================================
// Response body, HEAD companion
// ===========================================================================

std::optional<Data> RQHTTPRequest::responseData() {
    if (isResponseCompressed() && shouldWaitToInflateCompressedResponses()) {
        auto raw = rawResponseData();
        if (!raw) return std::nullopt;
        return RQDataDecompressor::uncompressDataError(*raw, nullptr);
    }
    return rawResponseData();
}

std::optional<std::string> RQHTTPRequest::responseString() {
    auto data = responseData();
    if (!data) return std::nullopt;
    return Text::decode(*data, responseEncoding());
}

std::shared_ptr<RQHTTPRequest> RQHTTPRequest::HEADRequest() {
    auto head = makeRequestOfSameClass(url());
    copySharedSettingsTo(*head);
    head->setRequestMethod("HEAD");
    head->mainRequest_.set(std::weak_ptr<RQHTTPRequest>(self()));
    return head;
}

}  // namespace clipora
