#pragma once

// How to use the HTTP core
// ------------------------
// The core is the one HTTP/1.1 client of the platform layer; the CFNetwork-
// style HTTPReadStream and the URL connection are thin adapters on it. It
// speaks message-level HTTP and nothing more: no redirects, no
// authentication decisions, no cookies, no content decoding, no caching;
// those belong to the adapters and their callers.
//
//   auto request = HTTPMessage::createRequest("GET", url);      // null: unusable URL
//   request->setHeaderFieldValue("Accept-Encoding", "gzip");     // false: CR/LF refused
//   HTTPTransactionOptions options;                              // TLS, proxy, sharing, time-out
//   options.proxy = ...;                                         // see ProxySettings
//   auto t = HTTPClientCore::shared()->start(request, options, observer);
//
// - start() copies the request head at once (later changes to the message
//   do not affect this transaction), adds only "Host" (when absent) and,
//   for an in-memory body without one, "Content-Length"; for a streamed body
//   without "Content-Length" over HTTP/1.1, "Transfer-Encoding: chunked".
//   Nothing else is added: no "Accept", no "Expect", no "Connection".
// - Everything then happens on the core's single I/O thread: name
//   resolution (HostResolver, with its loopback overrides), connect, SOCKS5
//   or CONNECT through a proxy, the TLS handshake (system trust store plus
//   TLSTrust's extra CA file, SNI and host-name check), writing the
//   request and parsing the response with strict limits (header section
//   <= 64 KiB and <= 100 fields, chunk sizes checked for overflow).
// - The observer (weak) is told on the I/O thread whenever something
//   changed; it hands that to its own run loop and there reads
//   t->response(), t->read(), t->atEnd(), t->error(). News of body bytes
//   comes only when the buffer turns from empty to non-empty, so a reader
//   reads until read() answers 0 (or signals itself again when it stops
//   early). At most HTTPTransaction::kReceiveHighWater body bytes are
//   buffered; after that the core stops reading the socket until the
//   caller reads.
// - A premature end of the connection (before the announced length or the
//   last chunk) is an error, never an end. HEAD, 1xx, 204 and 304 have no
//   body. Errors use HTTPStreamError's domains and codes; a failure on a
//   reused connection before any response byte is POSIX 32 (broken pipe on
//   write) or network -1005 (connection lost), so a caller can retry once.
// - Connections are pooled when options.persistentConnection is set and the
//   response allows keep-alive; they are shared only between transactions
//   with equal scheme, host, port, proxy, validation setting, client
//   identity and options.connectionGroup. A pooled connection that the
//   server closed meanwhile is noticed and a new one opened quietly.
// - t->cancel() stops at once (no further notification); t->release()
//   tells the core the caller is done with it.
// - Streamed request bodies: set options.streamedBody; whenever
//   t->wantsBody() is true, call t->appendBody(...) and finally
//   t->finishBody() (or failBody). t->requestBodyBytesWritten() counts the
//   body bytes the kernel accepted.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/cfnetwork/HTTPTransaction.h"
#include "platform/cfnetwork/HTTPTransactionObserver.h"

namespace boost::asio {
class io_context;
}

namespace clipora::platform {

class HTTPConnection;

class HTTPClientCore : public std::enable_shared_from_this<HTTPClientCore> {
public:
    // The process-wide core with its I/O thread, started on first use and
    // never destroyed; the I/O thread is stopped when the process exits.
    static std::shared_ptr<HTTPClientCore> shared();

    ~HTTPClientCore();
    HTTPClientCore(const HTTPClientCore&) = delete;
    HTTPClientCore& operator=(const HTTPClientCore&) = delete;

    // Starts a transaction (see above). Null when the message is not a
    // request or its head cannot be written (e.g. a streamed body over
    // HTTP/1.0 without "Content-Length").
    std::shared_ptr<HTTPTransaction> start(const std::shared_ptr<HTTPMessage>& request, HTTPTransactionOptions options,
                                           std::weak_ptr<HTTPTransactionObserver> observer);

    // Closes every idle pooled connection (tests; memory warnings).
    void closeIdleConnections();
    // Pooled idle connections now, and TCP connections opened so far.
    std::size_t idleConnectionCount() const;
    std::uint64_t connectionsOpened() const { return connectionsOpened_.load(); }

    // Seconds an idle pooled connection is kept.
    static constexpr double kIdleConnectionLifetime = 120;

    boost::asio::io_context& ioContext();

private:
    friend class HTTPConnection;
    friend class HTTPTransaction;
    struct Impl;

    HTTPClientCore();
    // At process exit: stops the I/O thread and waits for it.
    static void stopAtExit();
    // I/O thread: a connection finished an exchange and may be reused.
    void returnToPool(const std::shared_ptr<HTTPConnection>& connection);
    void removeFromPool(const HTTPConnection* connection);
    void closeIdleConnectionOf(std::uint64_t transactionIdentifier, std::uint64_t connectionSerial);
    std::uint64_t nextConnectionSerial() { return ++connectionsOpened_; }

    std::unique_ptr<Impl> impl_;
    std::atomic<std::uint64_t> nextTransaction_{0};
    std::atomic<std::uint64_t> connectionsOpened_{0};
};

}  // namespace clipora::platform
