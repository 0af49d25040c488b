#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/request/RQCacheDelegate.h"
#include "net/request/RQChallengeResponder.h"
#include "net/request/RQChallengedRequest.h"
#include "net/request/RQConnectionPool.h"
#include "net/request/RQHTTPRequestDelegate.h"
#include "net/request/RQInputStream.h"
#include "net/request/RQLockedProperty.h"
#include "net/request/RQProgressDelegate.h"
#include "net/request/RQProgressReporter.h"
#include "net/request/RQRequestBody.h"
#include "net/request/RQRequestListeners.h"
#include "net/request/RQResponseBodyWriter.h"
#include "net/request/RQSessionCredentialStore.h"
#include "net/request/RQTimeOutWatch.h"
#include "platform/cfnetwork/HTTPAuthentication.h"
#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/cfnetwork/HTTPReadStream.h"
#include "platform/cfnetwork/TLSIdentity.h"
#include "platform/cfnetwork/URLCredential.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/Operation.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/OutputStream.h"
#include "platform/foundation/StreamDelegate.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/Timer.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {
namespace platform {
struct ProxyEntry;
}

class RQDataDecompressor;
class RQProxyScriptLoader;

// One HTTP exchange of the request engine.
//
// A request runs in one of three ways: startAsynchronous() puts it on the
// shared operation queue (four at a time), whose start() hands each attempt
// to the one shared network thread; start() does that directly; and
// startSynchronous() runs it on the calling thread, whose run loop turns in
// the private mode kRunLoopMode until the request is complete. Whatever the
// thread, every report (delegate, then block, then queue) and every progress
// message arrives on the main thread, and only for listeners still attached
// when the main thread gets to it.
//
// The engine does its own redirects (at most five), cookies, Basic and
// Digest authentication (from the request, the URL, the session and
// keychain stores, the delegate or the dialog), gzip (request bodies and
// responses, inflated on the fly or when responseData() is asked), time-outs
// with retries, bandwidth throttling, proxies (system settings and PAC) and
// the pool of persistent connections; the platform's HTTPReadStream carries
// the messages.
//
// Errors: domain "RQHTTPRequestErrorDomain" (RQError). 4xx and 5xx answers
// are not errors: the request finishes and callers read
// responseStatusCode().
class RQHTTPRequest : public platform::Operation,
                      public RQInputStreamOwner,
                      public RQChallengedRequest,
                      private RQChallengeResponder::Exchange,
                      private RQProgressReporter::Transfer {
public:
    // The private run-loop mode of synchronous requests.
    static constexpr const char* kRunLoopMode = "RQHTTPRequestRunLoopMode";

    enum AuthenticationState : int {
        kNoAuthenticationNeeded = 0,
        kHTTPAuthenticationNeeded = 1,
        kProxyAuthenticationNeeded = 2
    };

    // Selectors: which operation of the delegate hears of an event. The
    // defaults call the delegate protocol's operations.
    using RequestSelector = RQRequestListeners::RequestSelector;
    using HeadersSelector = RQRequestListeners::HeadersSelector;
    using RedirectSelector = RQRequestListeners::RedirectSelector;
    using DataSelector = RQRequestListeners::DataSelector;

    // Blocks.
    using BasicBlock = RQRequestListeners::BasicBlock;
    using HeadersBlock = RQRequestListeners::HeadersBlock;
    using ProgressBlock = RQRequestListeners::ProgressBlock;
    using SizeBlock = RQRequestListeners::SizeBlock;
    using DataBlock = RQRequestListeners::DataBlock;

    // The pooled-connection record (RQConnectionPool).
    using ConnectionRecord = RQConnectionPool::Record;

    // Credentials that worked, kept for the session (RQSessionCredentialStore).
    using SessionCredentials = RQSessionCredentialStore::Record;

    // Proxy types.
    static constexpr const char* kProxyTypeHTTP = "HTTP";
    static constexpr const char* kProxyTypeHTTPS = "HTTPS";
    static constexpr const char* kProxyTypeSOCKS = "SOCKS";
    static constexpr const char* kProxyTypeNone = "None";

    // --- Construction ---
    static std::shared_ptr<RQHTTPRequest> requestWithURL(std::optional<platform::URL> url);
    static std::shared_ptr<RQHTTPRequest> requestWithURLUsingCache(std::optional<platform::URL> url,
                                                                   std::shared_ptr<RQCacheDelegate> cache);
    static std::shared_ptr<RQHTTPRequest> requestWithURLUsingCacheAndCachePolicy(std::optional<platform::URL> url,
                                                                                 std::shared_ptr<RQCacheDelegate> cache,
                                                                                 int policy);

    // The defaults of a new request; use requestWithURL() (a request is
    // always owned by a shared_ptr).
    explicit RQHTTPRequest(std::optional<platform::URL> url);
    ~RQHTTPRequest() override;

    // A new request of the same class with the same URL and settings (not
    // the blocks, queue, cache, response, credentials in use or connection).
    virtual std::shared_ptr<RQHTTPRequest> copy() const;

    // --- Running ---
    void startSynchronous();
    void startAsynchronous();
    void start() override;
    void main() override;
    bool isConcurrent() const override { return true; }
    bool isFinished() const override { return finished_.load(); }
    bool isExecuting() const override { return inProgress_.load(); }

    // --- Cancelling ---
    void cancel() override;
    void clearDelegatesAndCancel();
    bool isCancelled() const;

    // --- Headers and body ---
    void addRequestHeaderValue(const std::string& header, const std::string& value);
    void appendPostData(const platform::Data& data);
    void appendPostDataFromFile(const std::string& path);
    void setupPostBody();
    virtual void buildPostBody();
    virtual void buildRequestHeaders();
    void applyCookieHeader();
    void updatePartialDownloadSize();

    // --- Response ---
    // The body: inflated when compressed and inflation was deferred (none
    // when inflating fails), else as received.
    std::optional<platform::Data> responseData();
    std::optional<std::string> responseString();
    bool isResponseCompressed() const;

    // --- Redirects and authentication ---
    void redirectToURL(const platform::URL& url);
    void retryUsingSuppliedCredentials();
    void cancelAuthentication() override;
    // The login dialog's view of a request waiting for credentials.
    Challenge credentialsChallenge() const override;
    void retryWithCredentials(const std::string& user, const std::string& password,
                              const std::optional<std::string>& domain) override;

    // --- HEAD companion ---
    std::shared_ptr<RQHTTPRequest> HEADRequest();

    // --- Properties ---
    std::optional<platform::URL> url() const override;
    void setURL(std::optional<platform::URL> url);
    std::optional<platform::URL> originalURL() const { return originalURL_.get(); }
    void setOriginalURL(std::optional<platform::URL> url) { originalURL_.set(std::move(url)); }
    std::optional<platform::URL> redirectURL() const { return redirectURL_.get(); }

    std::string requestMethod() const { return requestMethod_.get(); }
    void setRequestMethod(std::string method) { requestMethod_.set(std::move(method)); }
    std::optional<std::uint64_t> requestID() const { return requestID_.get(); }
    platform::Value userInfo() const { return userInfo_.get(); }
    void setUserInfo(platform::Value info) { userInfo_.set(std::move(info)); }
    std::shared_ptr<RQHTTPRequest> mainRequest() const { return mainRequest_.get().lock(); }
    bool isPACFileRequest() const { return isPACFileRequest_.load(); }
    void setIsPACFileRequest(bool value) { isPACFileRequest_.store(value); }
    bool isSynchronous() const { return isSynchronous_.load(); }
    void setSynchronous(bool value) { isSynchronous_.store(value); }

    std::shared_ptr<RQHTTPRequestDelegate> delegate() const { return listeners_.delegate(); }
    void setDelegate(std::weak_ptr<RQHTTPRequestDelegate> delegate) { listeners_.setDelegate(std::move(delegate)); }
    // The queue hears every report after the delegate and the blocks, and
    // the progress messages when it is also an RQProgressDelegate.
    std::shared_ptr<RQHTTPRequestDelegate> queue() const { return listeners_.queue(); }
    void setQueue(std::shared_ptr<RQHTTPRequestDelegate> queue) { listeners_.setQueue(std::move(queue)); }
    std::shared_ptr<RQProgressDelegate> uploadProgressDelegate() const { return listeners_.progressDelegate(true); }
    void setUploadProgressDelegate(std::weak_ptr<RQProgressDelegate> delegate) {
        listeners_.setProgressDelegate(true, std::move(delegate));
    }
    std::shared_ptr<RQProgressDelegate> downloadProgressDelegate() const { return listeners_.progressDelegate(false); }
    void setDownloadProgressDelegate(std::weak_ptr<RQProgressDelegate> delegate) {
        listeners_.setProgressDelegate(false, std::move(delegate));
    }

    void setDidStartSelector(RequestSelector selector) { listeners_.setDidStartSelector(std::move(selector)); }
    void setDidReceiveResponseHeadersSelector(HeadersSelector selector) {
        listeners_.setDidReceiveResponseHeadersSelector(std::move(selector));
    }
    // A custom selector makes the request wait for redirectToURL().
    void setWillRedirectSelector(RedirectSelector selector) { listeners_.setWillRedirectSelector(std::move(selector)); }
    void setDidFinishSelector(RequestSelector selector) { listeners_.setDidFinishSelector(std::move(selector)); }
    void setDidFailSelector(RequestSelector selector) { listeners_.setDidFailSelector(std::move(selector)); }
    // A custom selector takes the body bytes: the request keeps none.
    void setDidReceiveDataSelector(DataSelector selector) { listeners_.setDidReceiveDataSelector(std::move(selector)); }

    void setStartedBlock(BasicBlock block) { listeners_.setStartedBlock(std::move(block)); }
    void setHeadersReceivedBlock(HeadersBlock block) { listeners_.setHeadersReceivedBlock(std::move(block)); }
    void setCompletionBlock(BasicBlock block) { listeners_.setCompletionBlock(std::move(block)); }
    void setFailedBlock(BasicBlock block) { listeners_.setFailedBlock(std::move(block)); }
    void setBytesReceivedBlock(ProgressBlock block) { listeners_.setBytesReceivedBlock(std::move(block)); }
    void setBytesSentBlock(ProgressBlock block) { listeners_.setBytesSentBlock(std::move(block)); }
    void setDownloadSizeIncrementedBlock(SizeBlock block) {
        listeners_.setDownloadSizeIncrementedBlock(std::move(block));
    }
    void setUploadSizeIncrementedBlock(SizeBlock block) { listeners_.setUploadSizeIncrementedBlock(std::move(block)); }
    void setDataReceivedBlock(DataBlock block) { listeners_.setDataReceivedBlock(std::move(block)); }
    void setAuthenticationNeededBlock(BasicBlock block) { listeners_.setAuthenticationNeededBlock(std::move(block)); }
    void setProxyAuthenticationNeededBlock(BasicBlock block) {
        listeners_.setProxyAuthenticationNeededBlock(std::move(block));
    }
    void setRequestRedirectedBlock(BasicBlock block) { listeners_.setRequestRedirectedBlock(std::move(block)); }

    platform::HTTPHeaders requestHeaders() const { return requestHeaders_.get(); }
    void setRequestHeaders(platform::HTTPHeaders headers) { requestHeaders_.set(std::move(headers)); }
    std::vector<std::shared_ptr<platform::HTTPCookie>> requestCookies() const { return requestCookies_.get(); }
    void setRequestCookies(std::vector<std::shared_ptr<platform::HTTPCookie>> cookies) {
        requestCookies_.set(std::move(cookies));
    }
    bool useCookiePersistence() const { return useCookiePersistence_.load(); }
    void setUseCookiePersistence(bool value) { useCookiePersistence_.store(value); }

    std::optional<platform::Data> postBody() const { return body_.data.get(); }
    void setPostBody(std::optional<platform::Data> body) { body_.data.set(std::move(body)); }
    std::uint64_t postLength() const { return body_.length.load(); }
    void setPostLength(std::uint64_t length) { body_.length.store(length); }
    bool shouldStreamPostDataFromDisk() const { return body_.streamFromDisk.load(); }
    void setShouldStreamPostDataFromDisk(bool value) { body_.streamFromDisk.store(value); }
    std::string postBodyFilePath() const { return body_.filePath.get(); }
    void setPostBodyFilePath(std::string path) { body_.filePath.set(std::move(path)); }
    bool didCreateTemporaryPostDataFile() const { return body_.madeTemporaryFile.load(); }
    void setDidCreateTemporaryPostDataFile(bool value) { body_.madeTemporaryFile.store(value); }
    bool shouldCompressRequestBody() const { return body_.compress.load(); }
    void setShouldCompressRequestBody(bool value) { body_.compress.store(value); }
    bool useHTTPVersionOne() const { return useHTTPVersionOne_.load(); }
    void setUseHTTPVersionOne(bool value) { useHTTPVersionOne_.store(value); }
    bool haveBuiltPostBody() const { return body_.built.load(); }
    void setHaveBuiltPostBody(bool value) { body_.built.store(value); }
    bool haveBuiltRequestHeaders() const { return haveBuiltRequestHeaders_.load(); }
    void setHaveBuiltRequestHeaders(bool value) { haveBuiltRequestHeaders_.store(value); }

    int responseStatusCode() const { return responseStatusCode_.load(); }
    std::string responseStatusMessage() const { return responseStatusMessage_.get(); }
    std::optional<platform::HTTPHeaders> responseHeaders() const { return responseHeaders_.get(); }
    std::vector<std::shared_ptr<platform::HTTPCookie>> responseCookies() const { return responseCookies_.get(); }
    std::optional<platform::Data> rawResponseData() const { return rawResponseData_.get(); }
    platform::Text::Encoding defaultResponseEncoding() const { return defaultResponseEncoding_.get(); }
    void setDefaultResponseEncoding(platform::Text::Encoding encoding) { defaultResponseEncoding_.set(encoding); }
    platform::Text::Encoding responseEncoding() const { return responseEncoding_.get(); }

    std::uint64_t contentLength() const { return contentLength_.load(); }
    std::uint64_t partialDownloadSize() const { return partialDownloadSize_.load(); }
    std::uint64_t totalBytesRead() const { return totalBytesRead_.load(); }
    std::uint64_t totalBytesSent() const { return totalBytesSent_.load(); }
    std::uint64_t uploadBufferSize() const { return progress_.uploadBufferSize(); }

    bool allowCompressedResponse() const { return allowCompressedResponse_.load(); }
    void setAllowCompressedResponse(bool value) { allowCompressedResponse_.store(value); }
    bool shouldWaitToInflateCompressedResponses() const { return shouldWaitToInflateCompressedResponses_.load(); }
    void setShouldWaitToInflateCompressedResponses(bool value) { shouldWaitToInflateCompressedResponses_.store(value); }

    std::string downloadDestinationPath() const { return downloadDestinationPath_.get(); }
    void setDownloadDestinationPath(std::string path) { downloadDestinationPath_.set(std::move(path)); }
    std::string temporaryFileDownloadPath() const { return temporaryFileDownloadPath_.get(); }
    void setTemporaryFileDownloadPath(std::string path) { temporaryFileDownloadPath_.set(std::move(path)); }
    std::string temporaryUncompressedDataDownloadPath() const { return temporaryUncompressedDataDownloadPath_.get(); }
    void setTemporaryUncompressedDataDownloadPath(std::string path) {
        temporaryUncompressedDataDownloadPath_.set(std::move(path));
    }
    bool allowResumeForFileDownloads() const { return allowResumeForFileDownloads_.load(); }
    void setAllowResumeForFileDownloads(bool value) { allowResumeForFileDownloads_.store(value); }
    bool downloadComplete() const { return downloadComplete_.load(); }

    std::optional<std::string> username() const { return username_.get(); }
    void setUsername(std::optional<std::string> value) { username_.set(std::move(value)); }
    std::optional<std::string> password() const { return password_.get(); }
    void setPassword(std::optional<std::string> value) { password_.set(std::move(value)); }
    std::optional<std::string> domain() const { return domain_.get(); }
    void setDomain(std::optional<std::string> value) { domain_.set(std::move(value)); }
    std::optional<std::string> proxyUsername() const { return proxyUsername_.get(); }
    void setProxyUsername(std::optional<std::string> value) { proxyUsername_.set(std::move(value)); }
    std::optional<std::string> proxyPassword() const { return proxyPassword_.get(); }
    void setProxyPassword(std::optional<std::string> value) { proxyPassword_.set(std::move(value)); }
    std::optional<std::string> proxyDomain() const { return proxyDomain_.get(); }
    void setProxyDomain(std::optional<std::string> value) { proxyDomain_.set(std::move(value)); }
    std::optional<std::string> userAgent() const { return userAgent_.get(); }
    void setUserAgent(std::optional<std::string> value) { userAgent_.set(std::move(value)); }

    std::string authenticationScheme() const { return server().scheme.get(); }
    void setAuthenticationScheme(std::string value) { server().scheme.set(std::move(value)); }
    std::optional<std::string> authenticationRealm() const { return server().realm.get(); }
    std::string proxyAuthenticationScheme() const { return proxy().scheme.get(); }
    std::optional<std::string> proxyAuthenticationRealm() const { return proxy().realm.get(); }
    int authenticationRetryCount() const { return server().retryCount.load(); }
    int proxyAuthenticationRetryCount() const { return proxy().retryCount.load(); }
    int authenticationNeeded() const { return authenticationNeeded_.load(); }
    std::shared_ptr<const platform::Value::Dictionary> requestCredentials() const { return server().credentials.get(); }
    std::shared_ptr<const platform::Value::Dictionary> proxyCredentials() const { return proxy().credentials.get(); }

    bool shouldPresentAuthenticationDialog() const {
        return challenges_.settings.shouldPresentAuthenticationDialog.load();
    }
    void setShouldPresentAuthenticationDialog(bool value) {
        challenges_.settings.shouldPresentAuthenticationDialog.store(value);
    }
    bool shouldPresentProxyAuthenticationDialog() const {
        return challenges_.settings.shouldPresentProxyAuthenticationDialog.load();
    }
    void setShouldPresentProxyAuthenticationDialog(bool value) {
        challenges_.settings.shouldPresentProxyAuthenticationDialog.store(value);
    }
    bool shouldPresentCredentialsBeforeChallenge() const {
        return challenges_.settings.shouldPresentCredentialsBeforeChallenge.load();
    }
    void setShouldPresentCredentialsBeforeChallenge(bool value) {
        challenges_.settings.shouldPresentCredentialsBeforeChallenge.store(value);
    }
    bool useKeychainPersistence() const { return challenges_.settings.useKeychainPersistence.load(); }
    void setUseKeychainPersistence(bool value) { challenges_.settings.useKeychainPersistence.store(value); }
    bool useSessionPersistence() const { return challenges_.settings.useSessionPersistence.load(); }
    void setUseSessionPersistence(bool value) { challenges_.settings.useSessionPersistence.store(value); }

    std::string runLoopMode() const { return runLoopMode_.get(); }
    bool connectionCanBeReused() const { return connectionCanBeReused_.load(); }
    bool shouldAttemptPersistentConnection() const { return shouldAttemptPersistentConnection_.load(); }
    void setShouldAttemptPersistentConnection(bool value) { shouldAttemptPersistentConnection_.store(value); }
    double persistentConnectionTimeoutSeconds() const { return persistentConnectionTimeoutSeconds_.load(); }
    void setPersistentConnectionTimeoutSeconds(double value) { persistentConnectionTimeoutSeconds_.store(value); }
    // The "id" of the request's connection record, if any.
    std::optional<int> connectionID() const;
    std::shared_ptr<ConnectionRecord> connectionInfo() const { return connectionInfo_.get(); }
    // The read stream of the current attempt (diagnostics and tests).
    std::shared_ptr<platform::HTTPReadStream> readStream() const { return readStream_.get(); }

    bool validatesSecureCertificate() const { return validatesSecureCertificate_.load(); }
    void setValidatesSecureCertificate(bool value) { validatesSecureCertificate_.store(value); }
    std::shared_ptr<platform::TLSIdentity> clientCertificateIdentity() const {
        return clientCertificateIdentity_.get();
    }
    void setClientCertificateIdentity(std::shared_ptr<platform::TLSIdentity> identity) {
        clientCertificateIdentity_.set(std::move(identity));
    }
    std::vector<platform::Data> clientCertificates() const { return clientCertificates_.get(); }
    void setClientCertificates(std::vector<platform::Data> certificates) {
        clientCertificates_.set(std::move(certificates));
    }

    std::string proxyHost() const { return proxyHost_.get(); }
    void setProxyHost(std::string host) { proxyHost_.set(std::move(host)); }
    int proxyPort() const { return proxyPort_.load(); }
    void setProxyPort(int port) { proxyPort_.store(port); }
    std::string proxyType() const { return proxyType_.get(); }
    void setProxyType(std::string type) { proxyType_.set(std::move(type)); }
    std::optional<platform::URL> PACurl() const { return PACurl_.get(); }
    void setPACurl(std::optional<platform::URL> url) { PACurl_.set(std::move(url)); }

    double timeOutSeconds() const { return timeOut_.timeOutSeconds.load(); }
    void setTimeOutSeconds(double seconds) { timeOut_.timeOutSeconds.store(seconds); }
    std::optional<platform::Date> lastActivityTime() const { return timeOut_.lastActivity(); }
    bool showAccurateProgress() const { return progress_.showAccurateProgress.load(); }
    void setShowAccurateProgress(bool value) { progress_.showAccurateProgress.store(value); }
    bool shouldResetUploadProgress() const { return progress_.shouldResetUploadProgress.load(); }
    void setShouldResetUploadProgress(bool value) { progress_.shouldResetUploadProgress.store(value); }
    bool shouldResetDownloadProgress() const { return progress_.shouldResetDownloadProgress.load(); }
    void setShouldResetDownloadProgress(bool value) { progress_.shouldResetDownloadProgress.store(value); }
    int numberOfTimesToRetryOnTimeout() const { return timeOut_.numberOfTimesToRetryOnTimeout.load(); }
    void setNumberOfTimesToRetryOnTimeout(int value) { timeOut_.numberOfTimesToRetryOnTimeout.store(value); }
    int retryCount() const { return timeOut_.retryCount(); }
    bool shouldRedirect() const { return shouldRedirect_.load(); }
    void setShouldRedirect(bool value) { shouldRedirect_.store(value); }
    int redirectCount() const { return redirectCount_.load(); }
    bool shouldUseRFC2616RedirectBehaviour() const { return shouldUseRFC2616RedirectBehaviour_.load(); }
    void setShouldUseRFC2616RedirectBehaviour(bool value) { shouldUseRFC2616RedirectBehaviour_.store(value); }

    std::shared_ptr<RQCacheDelegate> downloadCache() const { return downloadCache_.get().lock(); }
    void setDownloadCache(std::weak_ptr<RQCacheDelegate> cache) { downloadCache_.set(std::move(cache)); }
    int cachePolicy() const { return cachePolicy_.load(); }
    void setCachePolicy(int policy) { cachePolicy_.store(policy); }
    int cacheStoragePolicy() const { return cacheStoragePolicy_.load(); }
    void setCacheStoragePolicy(int policy) { cacheStoragePolicy_.store(policy); }
    bool didUseCachedResponse() const { return didUseCachedResponse_.load(); }
    double secondsToCache() const { return secondsToCache_.load(); }
    void setSecondsToCache(double seconds) { secondsToCache_.store(seconds); }

    bool complete() const { return complete_.load(); }
    bool inProgress() const { return inProgress_.load(); }
    std::optional<platform::Error> error() const { return error_.get(); }
    bool shouldContinueWhenAppEntersBackground() const { return shouldContinueWhenAppEntersBackground_.load(); }
    void setShouldContinueWhenAppEntersBackground(bool value) { shouldContinueWhenAppEntersBackground_.store(value); }

    // --- Class-level services ---
    static std::shared_ptr<platform::Thread> threadForRequest(const std::shared_ptr<RQHTTPRequest>& request = nullptr);
    static std::shared_ptr<platform::OperationQueue> sharedQueue();
    static bool isNetworkInUse();
    static void expirePersistentConnections();
    // Pool records now (tests and diagnostics).
    static std::size_t connectionPoolSize();
    static void setShouldUpdateNetworkActivityIndicator(bool value);
    static void showNetworkActivityIndicator();
    static void hideNetworkActivityIndicator();
    static void hideNetworkActivityIndicatorAfterDelay();
    static void hideNetworkActivityIndicatorIfNeeeded();

    static double defaultTimeOutSeconds();
    static void setDefaultTimeOutSeconds(double seconds);
    static std::optional<std::string> defaultUserAgentString();
    static void setDefaultUserAgentString(std::optional<std::string> agent);
    static std::shared_ptr<RQCacheDelegate> defaultCache();
    static void setDefaultCache(std::shared_ptr<RQCacheDelegate> cache);
    static bool isMultitaskingSupported();

    static std::vector<std::shared_ptr<SessionCredentials>> sessionCredentialsStore();
    static std::vector<std::shared_ptr<SessionCredentials>> sessionProxyCredentialsStore();
    static void storeAuthenticationCredentialsInSessionStore(std::shared_ptr<SessionCredentials> record);
    static void storeProxyAuthenticationCredentialsInSessionStore(std::shared_ptr<SessionCredentials> record);
    static void removeAuthenticationCredentialsFromSessionStore(
        const std::shared_ptr<const platform::Value::Dictionary>& credentials);
    static void removeProxyAuthenticationCredentialsFromSessionStore(
        const std::shared_ptr<const platform::Value::Dictionary>& credentials);
    std::shared_ptr<SessionCredentials> findSessionAuthenticationCredentials();
    std::shared_ptr<SessionCredentials> findSessionProxyAuthenticationCredentials();
    static void clearSession();

    static void saveCredentialsForHostPortProtocolRealm(const platform::URLCredential& credential,
                                                        const std::string& host, int port, const std::string& protocol,
                                                        const std::optional<std::string>& realm);
    static void saveCredentialsForProxyPortRealm(const platform::URLCredential& credential, const std::string& host,
                                                 int port, const std::optional<std::string>& realm);
    static std::optional<platform::URLCredential> savedCredentialsForHostPortProtocolRealm(
        const std::string& host, int port, const std::string& protocol, const std::optional<std::string>& realm);
    static std::optional<platform::URLCredential> savedCredentialsForProxyPortProtocolRealm(
        const std::string& host, int port, const std::string& protocol, const std::optional<std::string>& realm);
    static void removeCredentialsForHostPortProtocolRealm(const std::string& host, int port,
                                                          const std::string& protocol,
                                                          const std::optional<std::string>& realm);
    static void removeCredentialsForProxyPortRealm(const std::string& host, int port,
                                                   const std::optional<std::string>& realm);

    static std::vector<std::shared_ptr<platform::HTTPCookie>> sessionCookies();
    static void setSessionCookies(std::vector<std::shared_ptr<platform::HTTPCookie>> cookies);
    static void addSessionCookie(const std::shared_ptr<platform::HTTPCookie>& cookie);

    static std::uint64_t maxBandwidthPerSecond();
    static void setMaxBandwidthPerSecond(std::uint64_t bytes);
    static void incrementBandwidthUsedInLastSecond(std::uint64_t bytes);
    static bool isBandwidthThrottled();
    static void measureBandwidthUsage();
    static std::uint64_t maxUploadReadLength();
    static std::uint64_t averageBandwidthUsedPerSecond();
    static void setShouldThrottleBandwidthForWWAN(bool throttle);
    static void throttleBandwidthForWWANUsingLimit(std::uint64_t limit);
    static bool isNetworkReachableViaWWAN();
    static void reachabilityChanged();
    // Sleeps or wakes this request's stream by the bandwidth state.
    void performThrottling() override;

    static std::optional<std::string> mimeTypeForFileAtPath(const std::string& path);
    static std::string base64forData(const platform::Data& data);
    static std::optional<platform::Date> dateFromRFC1123String(const std::string& text);
    // Reads the MIME type and the charset's encoding from a Content-Type
    // value: the charset parameter's name in any case, its value with or
    // without quotes; an unknown charset leaves `encoding` unchanged.
    static void parseMimeTypeAndResponseEncodingFromContentType(std::string* mimeType,
                                                                platform::Text::Encoding* encoding,
                                                                const std::optional<std::string>& contentType);

    // For tests: forgets the pool, session stores, bandwidth state and
    // defaults of the class (not the network thread or the queue).
    static void resetClassStateForTesting();
    // Retries of a failed authentication before code 3.
    static constexpr int kMaximumAuthenticationRetries = RQChallengeResponder::kMaximumRetries;

protected:
    // A new request of the same class for `url` (copies and HEAD
    // companions).
    virtual std::shared_ptr<RQHTTPRequest> makeRequestOfSameClass(std::optional<platform::URL> url) const;

    // --- Steps (the request's own thread) ---
    void startRequest();
    void failWithError(const platform::Error& error);
    void markAsFinished();
    // The exchange ended well: reports it (on the main thread). Subclasses
    // that read the reply first override it; one that starts a retry
    // instead (retryUsingNewConnection) leaves the request running.
    virtual void requestFinished();
    // Sends the request again on a fresh connection, once per request:
    // false when it was retried already.
    bool retryUsingNewConnection();
    // Sends the request again on a fresh connection, once per request:
    // false when it was retried already.
    void requestStarted();
    void requestReceivedResponseHeaders(const platform::HTTPHeaders& headers);
    void requestWillRedirectToURL(const platform::URL& url);
    void requestRedirected();
    void reportFinished();
    void reportFailure();
    void passOnReceivedData(const platform::Data& data);

    // The mutex of the request's properties; subclasses keep theirs under
    // it too (RQLockedProperty).
    std::mutex& propertyMutex() const { return propertyMutex_; }

private:
    std::shared_ptr<RQHTTPRequest> self();
    // The settings a copy and a HEAD companion both take.
    void copySharedSettingsTo(RQHTTPRequest& other) const;
    void performOnRequestThread(std::function<void()> task);
    void performOnMainThread(std::function<void()> task);
    void performBlockOnMainThread(std::function<void(RQHTTPRequest&)> call);

    void cancelOnRequestThread();
    void releaseBlocksOnMainThread();
    void handleNetworkEvent(unsigned event);
    void handleBytesAvailable();
    void handleStreamComplete();
    void handleStreamError();
    void readResponseHeaders();
    void parseStringEncodingFromHeaders();
    void performRedirect();
    void attemptToApplyCredentialsAndResume();
    void failAuthentication();
    RQChallengeResponder::Party& server() { return challenges_.party(RQChallengeResponder::Side::Server); }
    const RQChallengeResponder::Party& server() const { return challenges_.party(RQChallengeResponder::Side::Server); }
    const RQChallengeResponder::Party& proxy() const { return challenges_.party(RQChallengeResponder::Side::Proxy); }

    // --- RQChallengeResponder::Exchange ---
    bool isOriginalOrigin() const override;
    RQChallengeResponder::Account account(RQChallengeResponder::Side side, bool ofMainRequest) const override;
    std::pair<std::string, int> proxyEndpoint() const override;
    bool hasResponse() const override;
    std::shared_ptr<platform::HTTPMessage> outgoingMessage() const override;
    std::shared_ptr<platform::HTTPMessage> challengeHead() const override;
    bool hasRequestHeader(const std::string& name) const override;
    void addRequestHeader(const std::string& name, const std::string& value) override;
    bool hasEnded() const override;
    void stopAttempt() override;
    void fail(const platform::Error& error) override;
    void sendAgain() override;
    void forgetLastActivity() override;
    bool askDelegateForCredentials(RQChallengeResponder::Side side) override;
    bool showCredentialsDialog() override;

    // --- RQProgressReporter::Transfer ---
    Counts progressCounts() const override;
    std::shared_ptr<RQHTTPRequest> progressRequest() override { return self(); }

    // Whether the request can be sent now: false while the proxy script is
    // loaded and run (RQProxyScriptLoader), which sends it afterwards.
    bool configureProxies();
    void loadProxyScript();
    // Fetches a proxy script over HTTP with a PAC request on the shared
    // queue (inline for a synchronous request); answers its cancel.
    std::function<void()> fetchProxyScript(const platform::URL& script,
                                           std::function<void(std::optional<std::string>)> arrived);
    void useProxy(const platform::ProxyEntry& proxy);
    void setStatusTimer(std::shared_ptr<platform::Timer> timer);
    void updateStatus();
    void checkRequestStatus();
    void scheduleReadStream();
    void unscheduleReadStream();
    void destroyReadStream();
    void cancelLoad();
    void retryAfterTimeOut();
    void useDataFromCache();
    bool removeTemporaryDownloadFile();
    bool removeTemporaryUncompressedDownloadFile();
    void closeDownloadStreams();
    // Drops every temporary file of a request that will not finish well: the
    // download files (a partial kept for resuming excepted) and the body
    // files the request made.
    void removeTemporaryFilesAfterFailure();
    // Reads "Connection" and "Keep-Alive" of the response head.
    void readConnectionReuse(const platform::HTTPMessage& head, const platform::HTTPHeaders& headers);
    // Decides where this attempt's body goes once the head has arrived.
    void decideBodyPlacement(int status, const platform::HTTPHeaders& headers);

    // --- Locks ---
    mutable std::recursive_mutex cancelledLock_;
    mutable std::mutex propertyMutex_;

    // --- Target and identity ---
    RQLockedProperty<std::optional<platform::URL>> url_{propertyMutex_};
    RQLockedProperty<std::optional<platform::URL>> originalURL_{propertyMutex_};
    RQLockedProperty<std::optional<platform::URL>> redirectURL_{propertyMutex_};
    RQLockedProperty<std::string> requestMethod_{propertyMutex_, "GET"};
    RQLockedProperty<std::optional<std::uint64_t>> requestID_{propertyMutex_};
    RQLockedProperty<platform::Value> userInfo_{propertyMutex_};
    RQLockedProperty<std::weak_ptr<RQHTTPRequest>> mainRequest_{propertyMutex_};
    std::atomic<bool> isPACFileRequest_{false};
    std::atomic<bool> isSynchronous_{false};

    // --- Delegation ---
    RQRequestListeners listeners_;

    // --- Request content ---
    RQLockedProperty<platform::HTTPHeaders> requestHeaders_{propertyMutex_};
    std::atomic<bool> haveBuiltRequestHeaders_{false};
    RQLockedProperty<std::vector<std::shared_ptr<platform::HTTPCookie>>> requestCookies_{propertyMutex_};
    std::atomic<bool> useCookiePersistence_{true};
    RQRequestBody body_{propertyMutex_};
    std::atomic<bool> useHTTPVersionOne_{false};

    // --- Response ---
    std::atomic<int> responseStatusCode_{0};
    RQLockedProperty<std::string> responseStatusMessage_{propertyMutex_};
    RQLockedProperty<std::optional<platform::HTTPHeaders>> responseHeaders_{propertyMutex_};
    RQLockedProperty<std::vector<std::shared_ptr<platform::HTTPCookie>>> responseCookies_{propertyMutex_};
    RQLockedProperty<std::optional<platform::Data>> rawResponseData_{propertyMutex_};
    RQLockedProperty<platform::Text::Encoding> defaultResponseEncoding_{propertyMutex_,
                                                                        platform::Text::Encoding::ISOLatin1};
    RQLockedProperty<platform::Text::Encoding> responseEncoding_{propertyMutex_, platform::Text::Encoding::ISOLatin1};
    std::atomic<std::uint64_t> contentLength_{0};
    std::atomic<std::uint64_t> partialDownloadSize_{0};
    std::atomic<std::uint64_t> totalBytesRead_{0};
    std::atomic<std::uint64_t> totalBytesSent_{0};
    std::atomic<bool> allowCompressedResponse_{true};
    std::atomic<bool> shouldWaitToInflateCompressedResponses_{true};
    bool haveExaminedHeaders_ = false;
    // Whether any response byte (head or body) arrived in this attempt.
    std::atomic<bool> receivedResponseBytes_{false};
    // Per attempt: the body goes to the download file (a 2xx answer with a
    // destination); the partial file already is the whole download (a 416
    // naming its size); the response is a 304 that the cache answers once
    // the exchange has ended and the connection was given back.
    std::atomic<bool> bodyGoesToFile_{false};
    std::atomic<bool> resumeAlreadyComplete_{false};
    std::atomic<bool> servedFromCache_{false};

    // --- Download to a file ---
    RQResponseBodyWriter bodyWriter_;
    RQLockedProperty<std::string> downloadDestinationPath_{propertyMutex_};
    RQLockedProperty<std::string> temporaryFileDownloadPath_{propertyMutex_};
    RQLockedProperty<std::string> temporaryUncompressedDataDownloadPath_{propertyMutex_};
    std::atomic<bool> allowResumeForFileDownloads_{false};
    std::atomic<bool> downloadComplete_{false};
    RQLockedProperty<std::optional<platform::Error>> fileError_{propertyMutex_};

    // --- Authentication ---
    RQLockedProperty<std::optional<std::string>> username_{propertyMutex_};
    RQLockedProperty<std::optional<std::string>> password_{propertyMutex_};
    RQLockedProperty<std::optional<std::string>> domain_{propertyMutex_};
    RQLockedProperty<std::optional<std::string>> proxyUsername_{propertyMutex_};
    RQLockedProperty<std::optional<std::string>> proxyPassword_{propertyMutex_};
    RQLockedProperty<std::optional<std::string>> proxyDomain_{propertyMutex_};
    RQLockedProperty<std::optional<std::string>> userAgent_{propertyMutex_};
    std::atomic<int> authenticationNeeded_{0};
    // The login dialog was asked to serve this request.
    std::atomic<bool> askedDialog_{false};
    RQChallengeResponder challenges_{*this, propertyMutex_};

    // --- Connection and transport ---
    RQLockedProperty<std::shared_ptr<platform::HTTPMessage>> request_{propertyMutex_};
    RQLockedProperty<std::shared_ptr<platform::HTTPReadStream>> readStream_{propertyMutex_};
    bool readStreamIsScheduled_ = false;
    RQLockedProperty<std::string> runLoopMode_{propertyMutex_, platform::RunLoop::defaultMode};
    // The thread that runs the current attempt and its run loop.
    RQLockedProperty<std::shared_ptr<platform::Thread>> requestThread_{propertyMutex_};
    RQLockedProperty<std::shared_ptr<ConnectionRecord>> connectionInfo_{propertyMutex_};
    std::atomic<bool> connectionCanBeReused_{false};
    std::atomic<bool> shouldAttemptPersistentConnection_{true};
    std::atomic<double> persistentConnectionTimeoutSeconds_{60.0};
    std::atomic<bool> validatesSecureCertificate_{true};
    RQLockedProperty<std::shared_ptr<platform::TLSIdentity>> clientCertificateIdentity_{propertyMutex_};
    RQLockedProperty<std::vector<platform::Data>> clientCertificates_{propertyMutex_};
    RQLockedProperty<std::string> proxyHost_{propertyMutex_};
    std::atomic<int> proxyPort_{0};
    RQLockedProperty<std::string> proxyType_{propertyMutex_};
    RQLockedProperty<std::optional<platform::URL>> PACurl_{propertyMutex_};
    // The current proxy-script load (the request's own thread).
    std::shared_ptr<RQProxyScriptLoader> pacLoader_;

    // --- Timing, progress, retries and redirects ---
    RQTimeOutWatch timeOut_;
    RQLockedProperty<std::shared_ptr<platform::Timer>> statusTimer_{propertyMutex_};
    RQProgressReporter progress_{*this, listeners_};
    std::atomic<bool> shouldRedirect_{true};
    std::atomic<bool> needsRedirect_{false};
    std::atomic<int> redirectCount_{0};
    std::atomic<bool> shouldUseRFC2616RedirectBehaviour_{false};

    // --- Cache ---
    RQLockedProperty<std::weak_ptr<RQCacheDelegate>> downloadCache_{propertyMutex_};
    std::atomic<int> cachePolicy_{0};
    std::atomic<int> cacheStoragePolicy_{0};
    std::atomic<bool> didUseCachedResponse_{false};
    std::atomic<double> secondsToCache_{0};

    // --- Life cycle ---
    std::atomic<bool> complete_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> inProgress_{false};
    RQLockedProperty<std::optional<platform::Error>> error_{propertyMutex_};
    std::atomic<bool> shouldContinueWhenAppEntersBackground_{false};
    std::uint64_t backgroundTask_ = 0;
};

}  // namespace clipora
