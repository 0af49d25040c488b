#include "platform/cfnetwork/URLConnection.h"

#include <algorithm>
#include <utility>

#include "platform/cfnetwork/HTTPClientCore.h"
#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/cfnetwork/HTTPCookieStorage.h"
#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/cfnetwork/HostResolver.h"
#include "platform/cfnetwork/Inflater.h"
#include "platform/cfnetwork/ProxySettings.h"
#include "platform/cfnetwork/ServerTrust.h"
#include "platform/cfnetwork/URLCredentialStorage.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/RunLoopSource.h"
#include "platform/foundation/Text.h"
#include "platform/system/NetworkReachability.h"

namespace clipora::platform {

const std::string& URLConnection::kSynchronousMode = *new std::string("URLConnectionSynchronousMode");

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kMaxPiece = 1024 * 1024;

bool isHTTPScheme(const URL& url) {
    return Text::equalsCaseInsensitive(url.scheme(), "http") || Text::equalsCaseInsensitive(url.scheme(), "https");
}

bool isSecure(const URL& url) { return Text::equalsCaseInsensitive(url.scheme(), "https"); }

bool isRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string spaceKey(const URLProtectionSpace& space) {
    return Text::lowercase(space.host()) + ":" + std::to_string(space.port()) + "|" + space.protocol().value_or("") +
           "|" + space.proxyType().value_or("") + "|" + space.realm().value_or("");
}

std::string descriptionFor(std::int64_t code) {
    switch (code) {
    case Error::kURLErrorCancelled: return "cancelled";
    case Error::kURLErrorBadURL: return "bad URL";
    case Error::kURLErrorTimedOut: return "The request timed out.";
    case Error::kURLErrorUnsupportedURL: return "unsupported URL";
    case Error::kURLErrorCannotFindHost: return "A server with the specified hostname could not be found.";
    case Error::kURLErrorCannotConnectToHost: return "Could not connect to the server.";
    case Error::kURLErrorNetworkConnectionLost: return "The network connection was lost.";
    case Error::kURLErrorHTTPTooManyRedirects: return "too many HTTP redirects";
    case Error::kURLErrorNotConnectedToInternet: return "The Internet connection appears to be offline.";
    case Error::kURLErrorBadServerResponse: return "bad server response";
    case Error::kURLErrorUserCancelledAuthentication: return "The user cancelled the authentication.";
    case Error::kURLErrorCannotDecodeContentData: return "cannot decode content data";
    case URLConnection::kURLErrorCannotDecodeRawData: return "cannot decode raw data";
    case Error::kURLErrorCannotParseResponse: return "cannot parse response";
    case URLConnection::kURLErrorRequestBodyStreamExhausted: return "request body stream exhausted";
    case Error::kURLErrorSecureConnectionFailed:
        return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case Error::kURLErrorServerCertificateHasBadDate: return "The certificate for this server has expired.";
    case Error::kURLErrorServerCertificateUntrusted: return "The certificate for this server is invalid.";
    case Error::kURLErrorServerCertificateHasUnknownRoot:
        return "The certificate for this server was signed by an unknown certifying authority.";
    case Error::kURLErrorServerCertificateNotYetValid: return "The certificate for this server is not yet valid.";
    case Error::kURLErrorClientCertificateRejected: return "The server did not accept the certificate.";
    case URLConnection::kURLErrorClientCertificateRequired: return "The server requires a client certificate.";
    default: return "unknown error";
    }
}

// A handshake the server failed because it wanted a certificate from us.
bool looksLikeCertificateDemand(const Error& error) {
    if (!HTTPStreamError::isTLSError(error) && error.domain() != HTTPStreamError::kPOSIXDomain) return false;
    std::string text = error.localizedDescription();
    return Text::containsCaseInsensitive(text, "certificate required") ||
           Text::containsCaseInsensitive(text, "handshake failure") ||
           Text::containsCaseInsensitive(text, "peer did not return a certificate");
}

// The connection went away under a request before any response byte.
bool isDroppedConnection(const Error& error) {
    if (error.domain() == HTTPStreamError::kPOSIXDomain)
        return error.code() == HTTPStreamError::kBrokenPipe || error.code() == HTTPStreamError::kConnectionReset ||
               error.code() == HTTPStreamError::kNotConnected || error.code() == HTTPStreamError::kConnectionAborted;
    if (error.domain() == HTTPStreamError::kNetworkDomain)
        return error.code() == HTTPStreamError::kConnectionLost ||
               (error.code() == HTTPStreamError::kParseFailure &&
                Text::containsCaseInsensitive(error.localizedDescription(), "closed"));
    return HTTPStreamError::isTLSError(error) && error.code() == HTTPStreamError::kTLSClosedAbort;
}

std::optional<URL> resolveLocation(std::string_view location, const URL& base) {
    std::string text = Text::trimWhitespaceAndNewlines(location);
    if (auto url = URL::fromString(text, base)) return url;
    // Servers write spaces and other raw characters into "Location".
    return URL::fromString(Text::percentEscapeLegalURL(text, {}, "%#[]"), base);
}

}  // namespace

// ---------------------------------------------------------------------------

class URLConnection::Sender : public URLAuthenticationChallengeSender {
public:
    explicit Sender(std::weak_ptr<URLConnection> connection) : connection_(std::move(connection)) {}

    void useCredentialForAuthenticationChallenge(
        const URLCredential& credential, const std::shared_ptr<URLAuthenticationChallenge>& challenge) override {
        forward(Answer::Use, credential, challenge);
    }
    void continueWithoutCredentialForAuthenticationChallenge(
        const std::shared_ptr<URLAuthenticationChallenge>& challenge) override {
        forward(Answer::ContinueWithout, std::nullopt, challenge);
    }
    void cancelAuthenticationChallenge(const std::shared_ptr<URLAuthenticationChallenge>& challenge) override {
        forward(Answer::Cancel, std::nullopt, challenge);
    }
    void performDefaultHandlingForAuthenticationChallenge(
        const std::shared_ptr<URLAuthenticationChallenge>& challenge) override {
        forward(Answer::Default, std::nullopt, challenge);
    }
    void rejectProtectionSpaceAndContinueWithChallenge(
        const std::shared_ptr<URLAuthenticationChallenge>& challenge) override {
        forward(Answer::Reject, std::nullopt, challenge);
    }

private:
    void forward(Answer kind, const std::optional<URLCredential>& credential,
                 const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
        if (auto connection = connection_.lock()) connection->answerOnLoop(kind, credential, challenge);
    }

    std::weak_ptr<URLConnection> connection_;
};

// ---------------------------------------------------------------------------

URLConnection::URLConnection(Passkey, const URLRequest& request, std::shared_ptr<URLConnectionDelegate> delegate)
    : original_(request.copy()), current_(request.copy()), delegate_(std::move(delegate)) {}

URLConnection::~URLConnection() {
    if (source_) source_->invalidate();
    if (transaction_) {
        transaction_->cancel();
        transaction_->release(false);
    }
}

std::shared_ptr<URLConnection> URLConnection::create(const URLRequest& request,
                                                     std::shared_ptr<URLConnectionDelegate> delegate,
                                                     bool startImmediately) {
    auto connection = std::make_shared<URLConnection>(Passkey{}, request, std::move(delegate));
    std::weak_ptr<URLConnection> weak = connection;
    connection->sender_ = std::make_shared<Sender>(weak);
    connection->source_ = RunLoopSource::create([weak] {
        if (auto self = weak.lock()) self->process();
    });
    // Everything the delegate hears comes through the source. Once the last
    // loop that held it has let it go (its thread ended, or the loop was
    // cleared), nothing can reach the delegate any more: the load ends as if
    // cancelled, so the connection no longer holds itself and its delegate
    // (which usually holds the connection) for a load that cannot finish.
    connection->source_->setDroppedHandler([weak] {
        if (auto self = weak.lock()) self->cancel();
    });
    if (startImmediately) connection->start();
    return connection;
}

std::shared_ptr<URLConnection> URLConnection::connectionWithRequestDelegate(
    const URLRequest& request, std::shared_ptr<URLConnectionDelegate> delegate) {
    return create(request, std::move(delegate), true);
}

bool URLConnection::canHandleRequest(const URLRequest& request) {
    return isHTTPScheme(request.url()) && !request.url().host().empty();
}

std::shared_ptr<URLRequest> URLConnection::originalRequest() const { return original_->copy(); }

std::shared_ptr<URLRequest> URLConnection::currentRequest() const {
    std::lock_guard lock(mutex_);
    return current_->copy();
}

std::shared_ptr<URLConnectionDelegate> URLConnection::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void URLConnection::scheduleInRunLoopForMode(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode) {
    if (!runLoop || isFinished()) return;
    {
        std::lock_guard lock(mutex_);
        for (const Schedule& schedule : schedules_)
            if (schedule.loop.lock() == runLoop && schedule.mode == mode) return;
        schedules_.push_back({runLoop, mode});
    }
    runLoop->addSource(source_, mode);
}

void URLConnection::unscheduleFromRunLoopForMode(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode) {
    if (!runLoop) return;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(schedules_, [&](const Schedule& s) { return s.loop.lock() == runLoop && s.mode == mode; });
    }
    runLoop->removeSource(source_, mode);
}

void URLConnection::start() {
    if (isFinished() || started_.exchange(true)) return;
    bool unscheduled;
    {
        std::lock_guard lock(mutex_);
        unscheduled = schedules_.empty();
        self_ = shared_from_this();
    }
    if (unscheduled) scheduleInRunLoopForMode(RunLoop::current(), RunLoop::defaultMode);
    phase_ = Phase::Starting;
    source_->signal();
}

void URLConnection::cancel() {
    if (finished_.exchange(true)) return;
    std::shared_ptr<HTTPTransaction> transaction;
    std::optional<PendingTrust> trust;
    std::shared_ptr<URLConnectionDelegate> delegate;
    std::shared_ptr<URLConnection> keep;
    {
        std::lock_guard lock(mutex_);
        transaction = std::move(transaction_);
        trust = std::move(pendingTrust_);
        pendingTrust_.reset();
        delegate = std::move(delegate_);
        keep = std::move(self_);
        schedules_.clear();
    }
    if (transaction) {
        transaction->cancel();
        transaction->release(false);
    }
    if (trust) trust->answer(false);
    source_->invalidate();
    // `delegate` and `keep` go here, after the connection stopped.
}

void URLConnection::httpTransactionChanged(HTTPTransaction& transaction) {
    {
        std::lock_guard lock(mutex_);
        if (transaction_.get() != &transaction) return;
    }
    source_->signal();
}

// --- Run-loop side ----------------------------------------------------------

void URLConnection::process() {
    auto self = shared_from_this();
    if (isFinished()) return;
    switch (phase_) {
    case Phase::Starting: begin(); break;
    case Phase::Loading: pump(); break;
    default: break;
    }
}

void URLConnection::begin() {
    auto self = shared_from_this();
    phase_ = Phase::Loading;
    std::shared_ptr<URLRequest> request = current_->copy();
    if (auto d = delegate()) {
        request = d->connectionWillSendRequestRedirectResponse(self, request, nullptr);
        if (isFinished()) return;
        if (!request) {
            // Nothing to load: the connection stops without a word.
            cancel();
            return;
        }
    }
    sendRequest(std::move(request));
}

void URLConnection::sendRequest(std::shared_ptr<URLRequest> request) {
    {
        std::lock_guard lock(mutex_);
        current_ = request;
    }
    headHandled_ = false;
    ntlmDraining_ = false;
    inflater_.reset();
    response_.reset();
    bodyReported_ = 0;
    bodyStreamDone_ = false;
    cacheable_ = false;
    cacheBuffer_.clear();

    const URL url = request->url();
    if (!isHTTPScheme(url)) return fail(urlError(Error::kURLErrorUnsupportedURL, url));
    if (url.host().empty()) return fail(urlError(Error::kURLErrorBadURL, url));

    // The system's proxy settings; a PAC script is run off the run loop and
    // the exchange starts when its answer is back.
    std::vector<ProxyEntry> entries = ProxySettings::systemProxySettings()->proxiesForURL(url);
    if (!entries.empty() && entries.front().type == ProxyEntry::Type::AutoConfigurationURL) {
        std::uint64_t generation;
        {
            std::lock_guard lock(mutex_);
            generation = ++generation_;
        }
        std::weak_ptr<URLConnection> weak = weak_from_this();
        ProxySettings::resolveProxiesForURL(url, [weak, generation](std::vector<ProxyEntry> resolved) {
            auto self = weak.lock();
            if (!self) return;
            {
                std::lock_guard lock(self->mutex_);
                if (self->generation_ != generation) return;
                self->pendingProxies_ = std::move(resolved);
            }
            self->source_->signal();
        });
        return;
    }
    startExchange(request, entries.empty() ? HTTPProxy{} : entries.front().transactionProxy());
}

void URLConnection::startExchange(const std::shared_ptr<URLRequest>& request, HTTPProxy proxy) {
    const URL url = request->url();
    proxy_ = proxy;
    auto served = HostResolver::overrideFor(url.host(), static_cast<std::uint16_t>(url.effectivePort()));
    bool local = NetworkReachability::isLocalHost(url.host()) || (served && served->address().is_loopback());
    if (proxy.isNone() && !local) {
        auto flags = NetworkReachability::forInternetConnection()->flags();
        if (!flags || !(*flags & NetworkReachability::kReachable))
            return fail(urlError(Error::kURLErrorNotConnectedToInternet, url));
    }

    auto message = HTTPMessage::createRequest(request->HTTPMethod(), url);
    if (!message) return fail(urlError(Error::kURLErrorBadURL, url));
    for (const auto& field : request->headers().fields())
        for (const std::string& value : field.values) message->addHeaderFieldValue(field.name, value);
    if (!message->headerFieldValue("Accept-Encoding")) message->setHeaderFieldValue("Accept-Encoding", "gzip, deflate");
    if (request->HTTPShouldHandleCookies() && !message->headerFieldValue("Cookie")) {
        if (auto cookies = HTTPCookieStorage::sharedHTTPCookieStorage()->cookieHeaderForURL(url))
            message->setHeaderFieldValue("Cookie", *cookies);
    }
    for (const AppliedAuthentication& applied : applied_) {
        if (!applied.space.isProxy() && !applied.origin.isSameOrigin(url)) continue;
        applied.authentication->applyCredentials(message, applied.credential.user(),
                                                 applied.credential.password().value_or(""));
    }

    HTTPTransactionOptions options;
    options.inactivityTimeout = request->timeoutInterval() > 0 ? request->timeoutInterval() : 0;
    options.proxy = proxy;
    options.clientIdentity = clientIdentity_;

    std::uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        generation = ++generation_;
        pendingTrust_.reset();
    }
    if (isSecure(url)) {
        std::weak_ptr<URLConnection> weak = weak_from_this();
        options.serverTrustHandler = [weak, generation](const TLSPeerTrust& trust, std::function<void(bool)> answer) {
            auto self = weak.lock();
            if (!self) return answer(false);
            {
                std::lock_guard lock(self->mutex_);
                if (self->generation_ != generation || self->isFinished()) return answer(false);
                self->pendingTrust_ = PendingTrust{generation, trust, std::move(answer)};
            }
            self->source_->signal();
        };
    }

    const std::string method = Text::uppercase(request->HTTPMethod());
    if (const auto& body = request->HTTPBody(); body && !body->empty()) {
        message->setBody(*body);
        bodyExpected_ = static_cast<std::int64_t>(body->size());
    } else if (const auto& stream = request->HTTPBodyStream()) {
        if (bodyStreamUsed_) return fail(urlError(kURLErrorRequestBodyStreamExhausted, url));
        bodyStreamUsed_ = true;
        stream->open();
        options.streamedBody = true;
        bodyExpected_ = -1;
    } else {
        bodyExpected_ = 0;
        if ((method == "POST" || method == "PUT") && !message->headerFieldValue("Content-Length"))
            message->setHeaderFieldValue("Content-Length", "0");
    }

    message_ = message;
    auto transaction = HTTPClientCore::shared()->start(message, options, weak_from_this());
    if (!transaction) return fail(urlError(Error::kURLErrorBadURL, url));
    {
        std::lock_guard lock(mutex_);
        transaction_ = transaction;
    }
    source_->signal();
}

void URLConnection::pump() {
    auto self = shared_from_this();
    std::optional<PendingTrust> trust;
    std::optional<std::vector<ProxyEntry>> proxies;
    std::shared_ptr<HTTPTransaction> transaction;
    {
        std::lock_guard lock(mutex_);
        if (pendingTrust_ && pendingTrust_->generation == generation_) trust = std::move(pendingTrust_);
        pendingTrust_.reset();
        proxies = std::move(pendingProxies_);
        pendingProxies_.reset();
        transaction = transaction_;
    }
    if (proxies) {
        return startExchange(current_,
                             proxies->empty() || proxies->front().type == ProxyEntry::Type::AutoConfigurationURL
                                 ? HTTPProxy{}
                                 : proxies->front().transactionProxy());
    }
    if (trust) return challengeServerTrust(std::move(*trust));
    if (!transaction) return;

    feedBody();
    if (isFinished()) return;
    reportUploadProgress();
    if (isFinished()) return;

    if (ntlmDraining_) return drainForNTLM(transaction);
    if (!headHandled_) {
        auto head = transaction->response();
        if (!head) {
            if (auto error = transaction->error()) {
                const URL url = current_->url();
                if (bodyStreamFailed_) return fail(urlError(Error::kURLErrorUnknown, url, error));
                if (isSecure(url) && !clientCertificateAsked_ && !clientIdentity_) {
                    // A server that wants a client certificate says so with
                    // an alert, or (TLS 1.3) simply drops the connection
                    // right after a handshake that seemed to succeed.
                    bool certain = looksLikeCertificateDemand(*error);
                    std::uint64_t generation;
                    {
                        std::lock_guard lock(mutex_);
                        generation = generation_;
                    }
                    bool droppedAfterHandshake = trustedGeneration_ == generation && isDroppedConnection(*error);
                    if (certain || droppedAfterHandshake) return challengeClientCertificate(*error, certain);
                }
                return fail(urlErrorFromStreamError(*error, url));
            }
            return;
        }
        if (!handleHead(head)) {
            if (ntlmDraining_) drainForNTLM(transaction);
            return;
        }
    }
    if (!deliverBody()) return;
    if (transaction->atEnd()) finish();
}

void URLConnection::feedBody() {
    const auto& stream = current_->HTTPBodyStream();
    if (!stream || bodyStreamDone_) return;
    std::shared_ptr<HTTPTransaction> transaction;
    {
        std::lock_guard lock(mutex_);
        transaction = transaction_;
    }
    if (!transaction || !transaction->options().streamedBody) return;
    Data buffer(kReadChunk);
    while (transaction->wantsBody()) {
        std::int64_t count = stream->read(buffer.data(), buffer.size());
        if (count > 0) {
            transaction->appendBody(buffer.data(), static_cast<std::size_t>(count));
        } else if (count == 0) {
            transaction->finishBody();
            bodyStreamDone_ = true;
            stream->close();
            break;
        } else {
            bodyStreamFailed_ = true;
            bodyStreamDone_ = true;
            transaction->failBody(stream->error().value_or(Error::withDescription(
                std::string(Error::kURLErrorDomain), Error::kURLErrorUnknown, "The request body could not be read")));
            break;
        }
    }
}

void URLConnection::reportUploadProgress() {
    std::shared_ptr<HTTPTransaction> transaction;
    {
        std::lock_guard lock(mutex_);
        transaction = transaction_;
    }
    if (!transaction || bodyExpected_ == 0) return;
    std::uint64_t written = transaction->requestBodyBytesWritten();
    if (written <= bodyReported_) return;
    std::uint64_t delta = written - bodyReported_;
    bodyReported_ = written;
    if (auto d = delegate())
        d->connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(
            shared_from_this(), static_cast<std::int64_t>(delta), static_cast<std::int64_t>(written), bodyExpected_);
}

bool URLConnection::handleHead(const std::shared_ptr<HTTPMessage>& head) {
    HTTPAuthentication::noteResponse(message_, *head);
    const URL url = current_->url();
    const int status = head->responseStatusCode();

    if (current_->HTTPShouldHandleCookies()) {
        auto cookies = HTTPCookie::cookiesWithResponseHeaderFields(head->allHeaderFields(), url);
        if (!cookies.empty())
            HTTPCookieStorage::sharedHTTPCookieStorage()->setCookiesForURL(cookies, url, current_->mainDocumentURL());
    }
    if (credentialToStore_ && status != 401 && status != 407) {
        URLCredentialStorage::sharedCredentialStorage()->setDefaultCredentialForProtectionSpace(
            credentialToStore_->first, credentialToStore_->second);
        credentialToStore_.reset();
    }

    if (isRedirectStatus(status)) {
        if (auto location = head->headerFieldValue("Location")) {
            if (auto target = resolveLocation(*location, url)) {
                redirect(head, *target);
                // Still reading only when the delegate declined the redirect.
                return headHandled_ && !isFinished();
            }
        }
    }
    if ((status == 401 || status == 407) && continuesNTLM(status == 407)) {
        ntlmDraining_ = true;
        return false;
    }
    if ((status == 401 || status == 407) && authenticationAttempts_ < kMaxAuthenticationAttempts) {
        challengePassword(head);
        return false;
    }
    deliverResponse(head);
    return !isFinished();
}

void URLConnection::redirect(const std::shared_ptr<HTTPMessage>& head, const URL& target) {
    auto self = shared_from_this();
    const URL from = current_->url();
    if (++redirectCount_ > kMaxRedirects) return fail(urlError(Error::kURLErrorHTTPTooManyRedirects, from));

    auto redirectResponse = HTTPURLResponse::fromMessage(*head, from);
    auto proposed = current_->copy();
    proposed->setURL(target);
    const int status = head->responseStatusCode();
    const std::string method = Text::uppercase(proposed->HTTPMethod());
    if ((status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST")) {
        proposed->setHTTPMethod("GET");
        proposed->setHTTPBody(std::nullopt);
        proposed->setHTTPBodyStream(nullptr);
        for (const char* field : {"Content-Type", "Content-Length", "Transfer-Encoding"})
            proposed->setValueForHTTPHeaderField(std::nullopt, field);
    }

    std::shared_ptr<URLRequest> next = proposed;
    if (auto d = delegate()) {
        next = d->connectionWillSendRequestRedirectResponse(self, proposed, redirectResponse);
        if (isFinished()) return;
    }
    if (!next) {
        // Not followed: the redirect is the answer.
        deliverResponse(head);
        return;
    }
    if (!next->url().isSameOrigin(from)) {
        // Credentials meant for one server never travel on to another,
        // even when the delegate copied them into the new request.
        auto sanitized = next->copy();
        for (const char* field : {"Authorization", "Cookie"}) {
            auto carried = current_->valueForHTTPHeaderField(field);
            if (carried && sanitized->valueForHTTPHeaderField(field) == carried)
                sanitized->setValueForHTTPHeaderField(std::nullopt, field);
        }
        next = sanitized;
    }
    dropTransaction();
    sendRequest(next);
}

bool URLConnection::continuesNTLM(bool proxy) const {
    return std::any_of(applied_.begin(), applied_.end(), [&](const AppliedAuthentication& applied) {
        return applied.space.isProxy() == proxy && applied.authentication->awaitsNTLMAnswer();
    });
}

void URLConnection::drainForNTLM(const std::shared_ptr<HTTPTransaction>& transaction) {
    std::uint8_t scrap[16384];
    for (;;) {
        const std::ptrdiff_t count = transaction->read(scrap, sizeof scrap);
        if (count > 0) continue;
        if (count < 0) {
            return fail(
                urlErrorFromStreamError(transaction->error().value_or(HTTPStreamError::network(
                                            HTTPStreamError::kConnectionLost, "The network connection was lost")),
                                        current_->url()));
        }
        break;
    }
    if (!transaction->atEnd()) return;
    // The whole answer is read, so the connection goes back to the pool
    // and carries the next message.
    dropTransaction();
    sendRequest(current_);
}

void URLConnection::challengePassword(const std::shared_ptr<HTTPMessage>& head) {
    auto self = shared_from_this();
    const URL url = current_->url();
    const bool proxy = head->responseStatusCode() == 407;
    auto authentication = HTTPAuthentication::createFromResponse(*head);
    auto challenges = HTTPAuthentication::parseChallenges(
        head->headerFieldValue(proxy ? "Proxy-Authenticate" : "WWW-Authenticate").value_or(""));

    std::string_view method = URLProtectionSpace::kAuthenticationMethodDefault;
    std::optional<std::string> realm;
    if (authentication) {
        const std::string scheme = authentication->method();
        method = scheme == HTTPAuthentication::kSchemeDigest ? URLProtectionSpace::kAuthenticationMethodHTTPDigest
                 : scheme == HTTPAuthentication::kSchemeNTLM ? URLProtectionSpace::kAuthenticationMethodNTLM
                                                             : URLProtectionSpace::kAuthenticationMethodHTTPBasic;
        realm = authentication->realm();
    } else {
        for (const auto& challenge : challenges) {
            if (Text::equalsCaseInsensitive(challenge.scheme, HTTPAuthentication::kSchemeNTLM))
                method = URLProtectionSpace::kAuthenticationMethodNTLM;
            else if (Text::equalsCaseInsensitive(challenge.scheme, HTTPAuthentication::kSchemeNegotiate) &&
                     method == URLProtectionSpace::kAuthenticationMethodDefault)
                method = URLProtectionSpace::kAuthenticationMethodNegotiate;
            if (!realm)
                if (auto it = challenge.parameters.find("realm"); it != challenge.parameters.end()) realm = it->second;
        }
    }
    // A proxy's space is the proxy's own host and port.
    std::string host = Text::lowercase(proxy && !proxy_.isNone() ? proxy_.host : url.host());
    int port = proxy && !proxy_.isNone() ? proxy_.port : url.effectivePort();
    URLProtectionSpace space =
        proxy
            ? URLProtectionSpace::proxySpace(
                  host, port, isSecure(url) ? URLProtectionSpace::kProxyTypeHTTPS : URLProtectionSpace::kProxyTypeHTTP,
                  realm, method)
            : URLProtectionSpace(host, url.effectivePort(), Text::lowercase(url.scheme()), realm, method);

    // Credentials of ours that this answer refused count as a failure.
    const std::string key = spaceKey(space);
    std::optional<URLCredential> refused;
    for (auto it = applied_.begin(); it != applied_.end();) {
        if (spaceKey(it->space) == key && it->space.isProxy() == proxy) {
            refused = it->credential;
            ++failures_[key];
            it = applied_.erase(it);
        } else {
            ++it;
        }
    }
    const int previousFailures = failures_[key];

    std::optional<URLCredential> proposed;
    if (!proxy && url.user() && url.password())
        proposed = URLCredential(*url.user(), *url.password(), URLCredential::Persistence::None);
    else
        proposed = URLCredentialStorage::sharedCredentialStorage()->defaultCredentialForProtectionSpace(space);
    if (proposed && refused && *proposed == *refused) proposed.reset();

    ++authenticationAttempts_;
    phase_ = Phase::WaitingForAnswer;
    challengeKind_ = ChallengeKind::Password;
    challengeHead_ = head;
    challengeAuthentication_ = authentication;
    auto challenge = std::make_shared<URLAuthenticationChallenge>(
        space, proposed, previousFailures, HTTPURLResponse::fromMessage(*head, url), std::nullopt, sender_);
    challenge_ = challenge;
    if (auto d = delegate())
        d->connectionWillSendRequestForAuthenticationChallenge(self, challenge);
    else
        answer(Answer::Default, std::nullopt, challenge);
}

void URLConnection::challengeServerTrust(PendingTrust trust) {
    auto self = shared_from_this();
    const URL url = current_->url();
    auto serverTrust = std::make_shared<ServerTrust>(trust.peer);
    URLProtectionSpace space(Text::lowercase(url.host()), url.effectivePort(), "https", std::nullopt,
                             URLProtectionSpace::kAuthenticationMethodServerTrust);
    space.setServerTrust(serverTrust);
    phase_ = Phase::WaitingForAnswer;
    challengeKind_ = ChallengeKind::ServerTrust;
    challengeTrust_ = std::move(trust);
    challengeServerTrust_ = serverTrust;
    auto challenge =
        std::make_shared<URLAuthenticationChallenge>(space, std::nullopt, 0, nullptr, std::nullopt, sender_);
    challenge_ = challenge;
    if (auto d = delegate())
        d->connectionWillSendRequestForAuthenticationChallenge(self, challenge);
    else
        answer(Answer::Default, std::nullopt, challenge);
}

void URLConnection::challengeClientCertificate(const Error& error, bool certain) {
    auto self = shared_from_this();
    const URL url = current_->url();
    clientCertificateAsked_ = true;
    clientCertificateCertain_ = certain;
    clientCertificateError_ = error;
    dropTransaction();
    URLProtectionSpace space(Text::lowercase(url.host()), url.effectivePort(), "https", std::nullopt,
                             URLProtectionSpace::kAuthenticationMethodClientCertificate);
    auto proposed = URLCredentialStorage::sharedCredentialStorage()->defaultCredentialForProtectionSpace(space);
    phase_ = Phase::WaitingForAnswer;
    challengeKind_ = ChallengeKind::ClientCertificate;
    auto challenge = std::make_shared<URLAuthenticationChallenge>(space, proposed, 0, nullptr, error, sender_);
    challenge_ = challenge;
    if (auto d = delegate())
        d->connectionWillSendRequestForAuthenticationChallenge(self, challenge);
    else
        answer(Answer::Default, std::nullopt, challenge);
}

void URLConnection::answerOnLoop(Answer kind, const std::optional<URLCredential>& credential,
                                 const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
    std::shared_ptr<RunLoop> target;
    std::string mode;
    {
        std::lock_guard lock(mutex_);
        for (const Schedule& schedule : schedules_) {
            auto loop = schedule.loop.lock();
            if (!loop) continue;
            if (loop->isCurrent()) {
                target.reset();
                break;
            }
            if (!target) {
                target = loop;
                mode = schedule.mode;
            }
        }
    }
    if (!target) return answer(kind, credential, challenge);
    std::weak_ptr<URLConnection> weak = weak_from_this();
    target->perform(
        [weak, kind, credential, challenge] {
            if (auto self = weak.lock()) self->answer(kind, credential, challenge);
        },
        {mode});
}

void URLConnection::answer(Answer kind, const std::optional<URLCredential>& givenCredential,
                           const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
    if (isFinished() || !challenge_ || challenge != challenge_) return;
    auto self = shared_from_this();
    challenge_.reset();
    phase_ = Phase::Loading;
    const URL url = current_->url();
    std::optional<URLCredential> credential = givenCredential;
    if (kind == Answer::Default) {
        if (challengeKind_ != ChallengeKind::ServerTrust && challenge->proposedCredential() &&
            challenge->previousFailureCount() == 0) {
            kind = Answer::Use;
            credential = challenge->proposedCredential();
        } else {
            kind = Answer::ContinueWithout;
        }
    }
    if (kind == Answer::Reject) kind = Answer::ContinueWithout;

    switch (challengeKind_) {
    case ChallengeKind::ServerTrust: {
        PendingTrust trust = std::move(*challengeTrust_);
        challengeTrust_.reset();
        auto serverTrust = std::move(challengeServerTrust_);
        if (kind == Answer::Cancel) {
            trust.answer(false);
            return fail(urlError(Error::kURLErrorUserCancelledAuthentication, url));
        }
        // Whatever the answer, a server whose certificate does not
        // verify is not talked to: accepting it would let anyone on the
        // path read and change the exchange.
        if (!serverTrust->isTrusted()) {
            trust.answer(false);
            Error reason = trust.peer.error();
            return fail(urlErrorFromStreamError(reason, url));
        }
        trust.answer(true);
        trustedGeneration_ = trust.generation;
        return pump();
    }
    case ChallengeKind::ClientCertificate: {
        if (kind == Answer::Use && credential && credential->identity()) {
            auto identity = credential->identity();
            if (!credential->certificates().empty())
                if (auto withChain = identity->withChainCertificates(credential->certificates())) identity = withChain;
            clientIdentity_ = identity;
            if (credential->persistence() != URLCredential::Persistence::None)
                URLCredentialStorage::sharedCredentialStorage()->setDefaultCredentialForProtectionSpace(
                    *credential, challenge->protectionSpace());
            return sendRequest(current_);
        }
        if (kind == Answer::Cancel) return fail(urlError(Error::kURLErrorUserCancelledAuthentication, url));
        if (!clientCertificateCertain_ && clientCertificateError_)
            return fail(urlErrorFromStreamError(*clientCertificateError_, url));
        return fail(urlError(kURLErrorClientCertificateRequired, url, clientCertificateError_));
    }
    case ChallengeKind::Password: {
        auto head = std::move(challengeHead_);
        auto authentication = std::move(challengeAuthentication_);
        if (kind == Answer::Cancel) return fail(urlError(Error::kURLErrorUserCancelledAuthentication, url));
        if (kind == Answer::Use && credential && credential->password() && authentication) {
            const URLProtectionSpace& space = challenge->protectionSpace();
            const std::string key = spaceKey(space);
            std::erase_if(applied_, [&](const AppliedAuthentication& a) {
                return spaceKey(a.space) == key && a.space.isProxy() == space.isProxy();
            });
            applied_.push_back({authentication, *credential, space, url});
            if (credential->persistence() != URLCredential::Persistence::None)
                credentialToStore_ = std::make_pair(*credential, space);
            dropTransaction();
            return sendRequest(current_);
        }
        // Without credentials the 401/407 is the answer.
        deliverResponse(head);
        if (!isFinished()) pump();
        return;
    }
    }
}

void URLConnection::deliverResponse(const std::shared_ptr<HTTPMessage>& head) {
    auto self = shared_from_this();
    const URL url = current_->url();
    const std::string method = Text::uppercase(current_->HTTPMethod());
    const int status = head->responseStatusCode();
    const bool hasBody = method != "HEAD" && status != 204 && status != 304 && status >= 200;
    std::string coding =
        Text::lowercase(Text::trimWhitespaceAndNewlines(head->headerFieldValue("Content-Encoding").value_or("")));
    inflater_.reset();
    if (hasBody && (coding == "gzip" || coding == "x-gzip"))
        inflater_ = std::make_unique<Inflater>(Inflater::Format::GzipOrZlib);
    else if (hasBody && coding == "deflate")
        inflater_ = std::make_unique<Inflater>(Inflater::Format::Deflate);
    response_ = HTTPURLResponse::fromMessage(*head, url, inflater_ != nullptr);
    headHandled_ = true;
    cacheable_ = method == "GET" && status >= 200 && status < 300;
    cacheBuffer_.clear();
    reportUploadProgress();
    if (isFinished()) return;
    if (auto d = delegate()) d->connectionDidReceiveResponse(self, response_);
}

bool URLConnection::deliverBody() {
    auto self = shared_from_this();
    std::shared_ptr<HTTPTransaction> transaction;
    {
        std::lock_guard lock(mutex_);
        transaction = transaction_;
    }
    if (!transaction) return false;
    auto hand = [&](Data&& piece) {
        if (isFinished() || piece.empty()) return;
        if (cacheable_) {
            if (cacheBuffer_.size() + piece.size() <= kCacheableBodyLimit) {
                cacheBuffer_.insert(cacheBuffer_.end(), piece.begin(), piece.end());
            } else {
                cacheable_ = false;
                Data().swap(cacheBuffer_);
            }
        }
        if (auto d = delegate()) d->connectionDidReceiveData(self, piece);
    };
    for (;;) {
        // Everything buffered in one piece (the core buffers a bounded
        // amount), handed over without a further copy.
        std::size_t want = std::clamp<std::size_t>(transaction->bytesAvailable(), 1, kMaxPiece);
        Data piece(want);
        std::ptrdiff_t count = transaction->read(piece.data(), piece.size());
        if (count > 0) {
            piece.resize(static_cast<std::size_t>(count));
            if (inflater_) {
                // The inflater's pieces live in its own buffer: each is
                // copied once, into the piece the delegate keeps.
                auto handInflated = [&](const std::uint8_t* bytes, std::size_t length) {
                    hand(Data(bytes, bytes + length));
                    return !isFinished();
                };
                if (inflater_->feed(piece.data(), piece.size(), handInflated) == Inflater::Result::Invalid) {
                    fail(urlError(kURLErrorCannotDecodeRawData, current_->url()));
                    return false;
                }
            } else {
                hand(std::move(piece));
            }
            if (isFinished()) return false;
            continue;
        }
        if (count < 0) {
            fail(urlErrorFromStreamError(transaction->error().value_or(HTTPStreamError::network(
                                             HTTPStreamError::kConnectionLost, "The network connection was lost")),
                                         current_->url()));
            return false;
        }
        return true;
    }
}

void URLConnection::finish() {
    auto self = shared_from_this();
    if (inflater_ && !inflater_->complete()) return fail(urlError(kURLErrorCannotDecodeRawData, current_->url()));
    auto d = delegate();
    if (d && cacheable_ && response_) {
        auto cached = std::make_shared<CachedURLResponse>(response_, std::move(cacheBuffer_));
        d->connectionWillCacheResponse(self, cached);  // nothing is cached either way
        if (isFinished()) return;
    }
    if (finished_.exchange(true)) return;
    phase_ = Phase::Done;
    dropTransaction();
    if (d) d->connectionDidFinishLoading(self);
    stopEverything();
}

void URLConnection::fail(const Error& error) {
    auto self = shared_from_this();
    if (finished_.exchange(true)) return;
    phase_ = Phase::Done;
    dropTransaction();
    if (auto d = delegate()) d->connectionDidFailWithError(self, error);
    stopEverything();
}

void URLConnection::dropTransaction() {
    std::shared_ptr<HTTPTransaction> transaction;
    {
        std::lock_guard lock(mutex_);
        transaction = std::move(transaction_);
        transaction_.reset();
        pendingTrust_.reset();
    }
    if (!transaction) return;
    if (!transaction->atEnd()) transaction->cancel();
    transaction->release(false);
}

void URLConnection::stopEverything() {
    std::shared_ptr<URLConnectionDelegate> delegate;
    std::shared_ptr<URLConnection> keep;
    {
        std::lock_guard lock(mutex_);
        delegate = std::move(delegate_);
        keep = std::move(self_);
        schedules_.clear();
    }
    source_->invalidate();
}

// --- Errors -----------------------------------------------------------------

Error URLConnection::urlError(std::int64_t code, const std::optional<URL>& url,
                              const std::optional<Error>& underlying) {
    Error error = Error::withDescription(std::string(Error::kURLErrorDomain), code, descriptionFor(code));
    if (url) error.setUserInfoValue(std::string(Error::kURLKey), url->absoluteString());
    if (underlying) error.setUnderlyingError(*underlying);
    return error;
}

Error URLConnection::urlErrorFromStreamError(const Error& streamError, const std::optional<URL>& url) {
    if (streamError.domain() == Error::kURLErrorDomain) return streamError;
    std::int64_t code = Error::kURLErrorUnknown;
    const std::int64_t c = streamError.code();
    if (streamError.domain() == HTTPStreamError::kPOSIXDomain) {
        switch (c) {
        case HTTPStreamError::kTimedOut: code = Error::kURLErrorTimedOut; break;
        case HTTPStreamError::kConnectionRefused:
        case HTTPStreamError::kHostUnreachable: code = Error::kURLErrorCannotConnectToHost; break;
        case HTTPStreamError::kNetworkUnreachable: code = Error::kURLErrorNotConnectedToInternet; break;
        default: code = Error::kURLErrorNetworkConnectionLost; break;
        }
    } else if (streamError.domain() == HTTPStreamError::kNetworkDomain) {
        switch (c) {
        case HTTPStreamError::kHostNotFound:
        case HTTPStreamError::kHostLookupFailed: code = Error::kURLErrorCannotFindHost; break;
        case HTTPStreamError::kConnectionLost: code = Error::kURLErrorNetworkConnectionLost; break;
        case HTTPStreamError::kParseFailure:
            // A connection that closed before the response was whole is
            // a lost connection; anything else is a response not read.
            code = Text::containsCaseInsensitive(streamError.localizedDescription(), "closed")
                       ? Error::kURLErrorNetworkConnectionLost
                       : Error::kURLErrorCannotParseResponse;
            break;
        case HTTPStreamError::kBadURL: code = Error::kURLErrorBadURL; break;
        case HTTPStreamError::kProxyConnectionFailure:
        case HTTPStreamError::kHTTPSProxyConnectionFailure:
        case HTTPStreamError::kSOCKSUnsupportedServerVersion:
        case HTTPStreamError::kSOCKS5BadState:
        case HTTPStreamError::kSOCKS5BadResponseAddress:
        case HTTPStreamError::kSOCKS5NoAcceptableMethod: code = Error::kURLErrorCannotConnectToHost; break;
        default: code = Error::kURLErrorUnknown; break;
        }
    } else if (HTTPStreamError::isTLSError(streamError)) {
        switch (c) {
        case HTTPStreamError::kTLSChainNotTrusted:
        case HTTPStreamError::kTLSBadCertificate: code = Error::kURLErrorServerCertificateUntrusted; break;
        case HTTPStreamError::kTLSUnknownRoot:
        case HTTPStreamError::kTLSNoRoot: code = Error::kURLErrorServerCertificateHasUnknownRoot; break;
        case HTTPStreamError::kTLSCertificateExpired: code = Error::kURLErrorServerCertificateHasBadDate; break;
        case HTTPStreamError::kTLSCertificateNotYetValid: code = Error::kURLErrorServerCertificateNotYetValid; break;
        default: code = Error::kURLErrorSecureConnectionFailed; break;
        }
    }
    return urlError(code, url, streamError);
}

// --- Synchronous loads --------------------------------------------------------

namespace {

class SynchronousDelegate : public URLConnectionDelegate {
public:
    void connectionDidReceiveResponse(const std::shared_ptr<URLConnection>&,
                                      const std::shared_ptr<HTTPURLResponse>& response) override {
        this->response = response;
        data.clear();
    }
    void connectionDidReceiveData(const std::shared_ptr<URLConnection>&, const Data& chunk) override {
        data.insert(data.end(), chunk.begin(), chunk.end());
    }
    void connectionDidFinishLoading(const std::shared_ptr<URLConnection>&) override { done = true; }
    void connectionDidFailWithError(const std::shared_ptr<URLConnection>&, const Error& failure) override {
        error = failure;
        done = true;
    }

    std::shared_ptr<HTTPURLResponse> response;
    Data data;
    std::optional<Error> error;
    bool done = false;
};

}  // namespace

std::optional<Data> URLConnection::sendSynchronousRequest(const URLRequest& request,
                                                          std::shared_ptr<HTTPURLResponse>* response,
                                                          std::optional<Error>* error) {
    auto loop = RunLoop::current();
    auto delegate = std::make_shared<SynchronousDelegate>();
    auto connection = create(request, delegate, false);
    connection->scheduleInRunLoopForMode(loop, kSynchronousMode);
    connection->start();
    while (!delegate->done) {
        if (loop->runMode(kSynchronousMode, Date::distantFuture(), true) == RunLoop::RunResult::Finished) {
            connection->cancel();
            delegate->error = urlError(Error::kURLErrorUnknown, request.url());
            break;
        }
    }
    if (response) *response = delegate->response;
    if (error) *error = delegate->error;
    if (delegate->error) return std::nullopt;
    return std::move(delegate->data);
}

}  // namespace clipora::platform
