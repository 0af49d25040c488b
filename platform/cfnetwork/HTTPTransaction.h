#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/cfnetwork/HTTPTransactionObserver.h"
#include "platform/cfnetwork/TLSIdentity.h"
#include "platform/cfnetwork/TLSTrust.h"
#include "platform/foundation/Error.h"

namespace clipora::platform {

class HTTPClientCore;
class HTTPConnection;

// The proxy one transaction goes through. An HTTP proxy carries plain-http
// requests in absolute form and tunnels https requests with CONNECT; a SOCKS
// proxy is SOCKS5 without authentication.
struct HTTPProxy {
    enum class Type { None, HTTP, SOCKS };
    Type type = Type::None;
    std::string host;
    std::uint16_t port = 0;

    bool isNone() const { return type == Type::None || host.empty() || port == 0; }
};

// How one transaction is carried. Connections are shared only between
// transactions whose scheme, host, port, proxy, certificate validation,
// client identity and connection group are all equal.
struct HTTPTransactionOptions {
    // False: neither the chain nor the host name is checked.
    bool validatesCertificateChain = true;
    std::shared_ptr<TLSIdentity> clientIdentity;
    HTTPProxy proxy;
    // False: a connection of its own, closed after the response.
    bool persistentConnection = true;
    // Extra text in the sharing key; the read stream puts its custom
    // properties (the request engine's connection number) here.
    std::string connectionGroup;
    // Seconds without any progress (connect, handshake, bytes sent or
    // received) after which the transaction fails with POSIX 60; 0 = never.
    double inactivityTimeout = 0;
    // The request body is pulled from the caller (appendBody/finishBody)
    // instead of the message's in-memory body. Without a "Content-Length"
    // field an HTTP/1.1 body is sent chunked.
    bool streamedBody = false;
    // When set, the server's certificate is not enforced during the
    // handshake; instead this runs on the I/O thread after the handshake and
    // before any request byte is sent, and the request goes ahead only if
    // `answer(true)` is called (from any thread, now or later). Not asked
    // again when a connection is reused.
    std::function<void(const TLSPeerTrust& trust, std::function<void(bool proceed)> answer)> serverTrustHandler;
};

// One request and its response on the HTTP core: made by
// HTTPClientCore::start(), driven by the core's I/O thread, and read by the
// caller from any thread. See HTTPClientCore.h for the whole picture.
class HTTPTransaction : public std::enable_shared_from_this<HTTPTransaction> {
public:
    // Body bytes buffered before the core stops reading the socket (TCP flow
    // control then throttles the peer), and the level at which it resumes.
    static constexpr std::size_t kReceiveHighWater = 256 * 1024;
    static constexpr std::size_t kReceiveLowWater = 128 * 1024;
    // Streamed request body queued before wantsBody() says no.
    static constexpr std::size_t kSendHighWater = 128 * 1024;
    // The receive buffer: a ring with room for the high-water mark plus
    // the largest single read.
    static constexpr std::size_t kReceiveCapacity = 2 * kReceiveHighWater;

    ~HTTPTransaction();
    HTTPTransaction(const HTTPTransaction&) = delete;
    HTTPTransaction& operator=(const HTTPTransaction&) = delete;

    std::uint64_t identifier() const { return identifier_; }
    const HTTPTransactionOptions& options() const { return options_; }
    std::shared_ptr<HTTPMessage> request() const { return request_; }

    // --- Response (any thread) ---
    // The final response head (1xx heads are swallowed), or null until it
    // is complete. For an https request through a proxy that refused the
    // CONNECT, the proxy's reply.
    std::shared_ptr<HTTPMessage> response() const;
    // Body bytes buffered and not yet read.
    std::size_t bytesAvailable() const;
    // Copies up to `max` buffered body bytes (transfer coding removed,
    // content coding untouched). Returns the count, 0 when nothing is
    // buffered (check atEnd()/error()), or -1 when the transaction failed and
    // every byte received before the failure has been read.
    std::ptrdiff_t read(std::uint8_t* buffer, std::size_t max);
    // The whole response arrived (it may still have unread bytes).
    bool isComplete() const;
    // Complete and every body byte read.
    bool atEnd() const;
    std::optional<Error> error() const;
    bool isCancelled() const;

    // --- Request body (streamedBody only; any thread) ---
    // Request-body bytes accepted by the kernel socket; headers excluded,
    // monotonic.
    std::uint64_t requestBodyBytesWritten() const { return bodyBytesWritten_.load(); }
    // True while the core has room for more body and the body is not
    // finished.
    bool wantsBody() const;
    void appendBody(const std::uint8_t* bytes, std::size_t length);
    void finishBody();
    // The body source failed: the transaction fails with `error`.
    void failBody(const Error& error);

    // --- Ending (any thread) ---
    // Stops the transaction; no further change is reported. A connection
    // that was mid-exchange is closed.
    void cancel();
    // The caller is done with a transaction. With `closeIdleConnection` the
    // connection it left idle in the pool is closed too, unless a later
    // transaction has taken it over meanwhile; otherwise it stays pooled.
    void release(bool closeIdleConnection);

    // --- Diagnostics ---
    // Serial number of the TCP connection that carries the transaction (0
    // before there is one); equal numbers mean a shared connection.
    std::uint64_t connectionSerial() const;
    bool connectionWasReused() const;

private:
    friend class HTTPClientCore;
    friend class HTTPConnection;

    HTTPTransaction(std::shared_ptr<HTTPClientCore> core, std::uint64_t identifier,
                    std::shared_ptr<HTTPMessage> request, HTTPTransactionOptions options,
                    std::weak_ptr<HTTPTransactionObserver> observer);

    // Called by the connection on the I/O thread.
    void notify();
    void attach(const std::shared_ptr<HTTPConnection>& connection, bool reused);
    void setResponse(std::shared_ptr<HTTPMessage> response);
    // Appends received body bytes; answers whether the buffer was empty
    // before (the reader then needs news). False also when they do not fit.
    bool appendResponseBody(const char* bytes, std::size_t length);
    // For reading the socket straight into the buffer: a free stretch of
    // at most `max` bytes, then commitReceived() with what was written.
    std::pair<std::uint8_t*, std::size_t> receiveWindow(std::size_t max);
    bool commitReceived(std::size_t length);
    bool shouldPauseReading();
    void complete();
    void fail(const Error& error);
    bool isFinished() const;
    // Streamed body for the connection: takes up to `max` queued bytes;
    // `finished` tells that nothing more will come.
    std::vector<std::uint8_t> takeBody(std::size_t max, bool& finished, bool& waiting);
    void addBodyBytesWritten(std::uint64_t count) { bodyBytesWritten_ += count; }
    bool hasQueuedBody() const;

    const std::shared_ptr<HTTPClientCore> core_;
    const std::uint64_t identifier_;
    const std::shared_ptr<HTTPMessage> request_;
    const HTTPTransactionOptions options_;
    const std::weak_ptr<HTTPTransactionObserver> observer_;

    mutable std::mutex mutex_;
    std::weak_ptr<HTTPConnection> connection_;
    std::uint64_t connectionSerial_ = 0;
    bool reused_ = false;
    std::shared_ptr<HTTPMessage> response_;
    // Single producer (the I/O thread) and single consumer (read()): bytes
    // live in [head_, tail_) (positions counted from the start), and each
    // side copies outside the lock in its own stretch.
    std::mutex readMutex_;
    std::vector<std::uint8_t> ring_;
    std::uint64_t head_ = 0;
    std::uint64_t tail_ = 0;
    bool readPaused_ = false;
    bool complete_ = false;
    bool cancelled_ = false;
    bool released_ = false;
    std::optional<Error> error_;
    std::deque<std::vector<std::uint8_t>> sendQueue_;
    std::size_t sendQueued_ = 0;
    bool bodyFinished_ = false;
    bool connectionWaitsForBody_ = false;
    std::atomic<std::uint64_t> bodyBytesWritten_{0};
};

}  // namespace clipora::platform
