#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/cfnetwork/HTTPAuthentication.h"
#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/cfnetwork/HTTPTransaction.h"
#include "platform/cfnetwork/HTTPTransactionObserver.h"
#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/ProxySettings.h"
#include "platform/cfnetwork/TLSIdentity.h"
#include "platform/cfnetwork/TLSTrust.h"
#include "platform/cfnetwork/URLAuthenticationChallenge.h"
#include "platform/cfnetwork/URLConnectionDelegate.h"
#include "platform/cfnetwork/URLCredential.h"
#include "platform/cfnetwork/URLProtectionSpace.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

class Inflater;

class RunLoop;
class RunLoopSource;

// An asynchronous URL load (http and https) on the platform's HTTP core,
// reporting to its delegate on the run loop(s) and mode(s) it is scheduled
// in (see URLConnectionDelegate for the order of callbacks).
//
// What it does on its own, as the platform's connection does:
// - follows redirects (301, 302, 303, 307, 308) through the delegate, at
//   most kMaxRedirects; 303, and 301/302 after a POST, continue as GET
//   without body. A redirect to another scheme, host or port never carries
//   the "Authorization" or "Cookie" fields of the request it came from, and
//   only to http or https;
// - asks the delegate about a server's trust after the TLS handshake and
//   before any request byte is sent; a trust that fails evaluation is
//   never accepted, whatever the answer (-1202);
// - answers 401/407 through challenges (Basic and Digest with
//   HTTPAuthentication); credentials that worked are kept in the shared
//   credential storage as their persistence says;
// - asks for a client certificate when the server's handshake demanded one,
//   then connects again with the identity given;
// - sends "Accept-Encoding: gzip, deflate" unless the request has that
//   field, and removes a gzip or deflate content coding from the body;
// - adds "Cookie" from the shared cookie storage and stores "Set-Cookie"
//   there (unless the request turns cookie handling off);
// - fails with -1001 when nothing moved (connect, send, receive) for the
//   request's time-out interval; a long transfer that keeps moving runs on;
// - fails with -1009 at once when the machine has no route to the internet
//   and the host is not served on this machine.
//
// While it runs, the connection keeps itself and its delegate alive; it lets
// both go after the last callback or cancel(), or when the last run loop it
// is scheduled in drops it (the loop's thread ended or the loop was cleared),
// which ends the load as cancel() would. Errors are in the
// URL-loading domain (Error::kURLErrorDomain) with the failing URL's text
// under Error::kURLKey and the core's error as the underlying error.
class URLConnection : public HTTPTransactionObserver, public std::enable_shared_from_this<URLConnection> {
public:
    static constexpr int kMaxRedirects = 16;
    // Credentials are offered at most this many times per load.
    static constexpr int kMaxAuthenticationAttempts = 8;
    // Largest body offered to connectionWillCacheResponse.
    static constexpr std::size_t kCacheableBodyLimit = 256 * 1024;
    // Codes of the URL-loading domain that Error does not name.
    static constexpr std::int64_t kURLErrorCannotDecodeRawData = -1015;
    static constexpr std::int64_t kURLErrorRequestBodyStreamExhausted = -1021;
    static constexpr std::int64_t kURLErrorClientCertificateRequired = -1206;
    // The run-loop mode synchronous loads run in.
    // A reference to a string never destroyed: synchronous loads on threads
    // that outlive main() still name this mode while statics are destroyed.
    static const std::string& kSynchronousMode;

    // Made and started at once in the current run loop's default mode.
    static std::shared_ptr<URLConnection> connectionWithRequestDelegate(
        const URLRequest& request, std::shared_ptr<URLConnectionDelegate> delegate);
    // Made, and started at once in the current run loop's default mode when
    // `startImmediately`; otherwise schedule it and call start().
    static std::shared_ptr<URLConnection> create(const URLRequest& request,
                                                 std::shared_ptr<URLConnectionDelegate> delegate,
                                                 bool startImmediately);
    // Whether the request's URL is one this connection loads (http, https).
    static bool canHandleRequest(const URLRequest& request);

    // Loads on the calling thread: runs the thread's run loop in
    // kSynchronousMode until done. Redirects are followed; challenges get
    // default handling. Returns the body (also for an HTTP error status),
    // or std::nullopt with the error.
    static std::optional<Data> sendSynchronousRequest(const URLRequest& request,
                                                      std::shared_ptr<HTTPURLResponse>* response,
                                                      std::optional<Error>* error);

    ~URLConnection() override;
    URLConnection(const URLConnection&) = delete;
    URLConnection& operator=(const URLConnection&) = delete;

    // Delivery of callbacks on `runLoop` in `mode` (several allowed).
    void scheduleInRunLoopForMode(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode);
    void unscheduleFromRunLoopForMode(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode);
    // Starts the load (once); unscheduled, it first schedules itself in the
    // current run loop's default mode.
    void start();
    // Stops the load; the delegate hears nothing more. Safe from any thread.
    void cancel();

    std::shared_ptr<URLRequest> originalRequest() const;
    // The request being loaded now (after redirects).
    std::shared_ptr<URLRequest> currentRequest() const;

    // The URL-loading error for an error of the HTTP core.
    static Error urlErrorFromStreamError(const Error& streamError, const std::optional<URL>& url);
    // An error of the URL-loading domain with the platform's description.
    static Error urlError(std::int64_t code, const std::optional<URL>& url,
                          const std::optional<Error>& underlying = std::nullopt);

    // HTTPTransactionObserver (the core's I/O thread).
    void httpTransactionChanged(HTTPTransaction& transaction) override;

    struct Passkey {};
    URLConnection(Passkey, const URLRequest& request, std::shared_ptr<URLConnectionDelegate> delegate);

private:
    class Sender;
    enum class Phase { Created, Starting, Loading, WaitingForAnswer, Done };
    enum class ChallengeKind { Password, ServerTrust, ClientCertificate };

    struct PendingTrust {
        std::uint64_t generation;
        TLSPeerTrust peer;
        std::function<void(bool)> answer;
    };
    struct Schedule {
        std::weak_ptr<RunLoop> loop;
        std::string mode;
    };
    // Credentials applied to messages of this load, reused for later
    // messages to the same origin (after a redirect).
    struct AppliedAuthentication {
        std::shared_ptr<HTTPAuthentication> authentication;
        URLCredential credential;
        URLProtectionSpace space;
        // A URL of the origin the credentials were given for.
        URL origin;
    };

    std::shared_ptr<URLConnectionDelegate> delegate() const;
    bool isFinished() const { return finished_.load(); }
    void process();
    void begin();
    void sendRequest(std::shared_ptr<URLRequest> request);
    void startExchange(const std::shared_ptr<URLRequest>& request, HTTPProxy proxy);
    void pump();
    void feedBody();
    void reportUploadProgress();
    bool handleHead(const std::shared_ptr<HTTPMessage>& head);
    void redirect(const std::shared_ptr<HTTPMessage>& head, const URL& target);
    void challengePassword(const std::shared_ptr<HTTPMessage>& head);
    // Whether an NTLM handshake of ours awaits its answer to this 401/407.
    bool continuesNTLM(bool proxy) const;
    // Reads the challenge's body away, then sends the answer.
    void drainForNTLM(const std::shared_ptr<HTTPTransaction>& transaction);
    void challengeServerTrust(PendingTrust trust);
    void challengeClientCertificate(const Error& error, bool certain);
    void deliverResponse(const std::shared_ptr<HTTPMessage>& head);
    bool deliverBody();
    void finish();
    void fail(const Error& error);
    void dropTransaction();
    void stopEverything();

    // The sender's answers, on the run loop.
    enum class Answer { Use, ContinueWithout, Cancel, Default, Reject };
    void answer(Answer kind, const std::optional<URLCredential>& credential,
                const std::shared_ptr<URLAuthenticationChallenge>& challenge);
    void answerOnLoop(Answer kind, const std::optional<URLCredential>& credential,
                      const std::shared_ptr<URLAuthenticationChallenge>& challenge);

    const std::shared_ptr<URLRequest> original_;
    std::shared_ptr<URLRequest> current_;
    std::shared_ptr<RunLoopSource> source_;
    std::shared_ptr<Sender> sender_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> started_{false};

    mutable std::mutex mutex_;
    std::shared_ptr<URLConnectionDelegate> delegate_;
    std::shared_ptr<URLConnection> self_;
    std::vector<Schedule> schedules_;
    std::shared_ptr<HTTPTransaction> transaction_;
    std::uint64_t generation_ = 0;
    std::optional<PendingTrust> pendingTrust_;
    std::optional<std::vector<ProxyEntry>> pendingProxies_;  // a PAC script's answer

    // Run-loop state.
    Phase phase_ = Phase::Created;
    std::shared_ptr<HTTPMessage> message_;
    HTTPProxy proxy_;
    bool headHandled_ = false;
    // An NTLM challenge arrived: its 401 body is read to the end so that
    // the answer goes on the same connection.
    bool ntlmDraining_ = false;
    std::int64_t bodyExpected_ = 0;
    std::uint64_t bodyReported_ = 0;
    bool bodyStreamUsed_ = false;
    bool bodyStreamFailed_ = false;
    bool bodyStreamDone_ = false;
    int redirectCount_ = 0;
    int authenticationAttempts_ = 0;
    std::unique_ptr<Inflater> inflater_;
    bool cacheable_ = false;
    Data cacheBuffer_;
    std::shared_ptr<HTTPURLResponse> response_;
    std::shared_ptr<TLSIdentity> clientIdentity_;
    bool clientCertificateAsked_ = false;
    bool clientCertificateCertain_ = false;
    std::uint64_t trustedGeneration_ = 0;  // the exchange whose fresh handshake was accepted
    std::optional<Error> clientCertificateError_;
    std::vector<AppliedAuthentication> applied_;
    std::map<std::string, int> failures_;  // by protection space
    std::optional<std::pair<URLCredential, URLProtectionSpace>> credentialToStore_;

    // The challenge waiting for an answer.
    std::shared_ptr<URLAuthenticationChallenge> challenge_;
    ChallengeKind challengeKind_ = ChallengeKind::Password;
    std::shared_ptr<HTTPMessage> challengeHead_;
    std::shared_ptr<HTTPAuthentication> challengeAuthentication_;
    std::optional<PendingTrust> challengeTrust_;
    std::shared_ptr<ServerTrust> challengeServerTrust_;
};

}  // namespace clipora::platform
