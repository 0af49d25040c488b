#include "platform/cfnetwork/HTTPConnection.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <limits>

#include <boost/asio/buffer.hpp>
#include <boost/asio/connect.hpp>
#include <boost/asio/error.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/ssl/error.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>

#include "platform/cfnetwork/HTTPClientCore.h"
#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/cfnetwork/HostResolver.h"
#include "platform/cfnetwork/TLSTrust.h"

namespace clipora::platform {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using boost::beast::error_code;

namespace {

constexpr std::size_t kWriteChunk = 64 * 1024;

std::string hexSize(std::size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), digits[n & 0xf]);
        n >>= 4;
    } while (n);
    return out;
}

bool isDroppedConnection(const error_code& ec) {
    return ec == asio::error::eof || ec == asio::error::connection_reset || ec == asio::error::broken_pipe ||
           ec == asio::error::not_connected || ec == asio::ssl::error::stream_truncated ||
           ec == http::error::end_of_stream;
}

}  // namespace

HTTPConnection::HTTPConnection(std::weak_ptr<HTTPClientCore> core, asio::io_context& io, std::string key,
                               std::uint64_t serial)
    : core_(std::move(core)), io_(io), key_(std::move(key)), serial_(serial), socket_(io), timer_(io),
      buffer_(kHeaderLimit + 8 * 1024) {
    // Beast sizes each socket read by the buffer's spare capacity.
    buffer_.reserve(kHeaderLimit);
}

HTTPConnection::~HTTPConnection() {
    error_code ignored;
    lowestLayer().close(ignored);
}

bool HTTPConnection::isUsable() {
    if (state_ != State::Ready || tx_ || buffer_.size() != 0) return false;
    auto& s = lowestLayer();
    if (!s.is_open()) return false;
    char c;
    ssize_t n = ::recv(s.native_handle(), &c, 1, MSG_PEEK | MSG_DONTWAIT);
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

void HTTPConnection::begin(const std::shared_ptr<HTTPTransaction>& transaction, HTTPExchangePlan plan) {
    timer_.cancel();
    timerArmed_ = false;
    tx_ = transaction;
    plan_ = std::move(plan);
    ++generation_;
    reusedForThis_ = served_ > 0;
    headDelivered_ = false;
    gotResponseBytes_ = false;
    bodySent_ = false;
    writing_ = false;
    reading_ = false;
    refusedConnect_ = false;
    connectPhase_ = false;
    rawBody_ = false;
    rawRemaining_.reset();
    overflow_ = false;
    bodyOffset_ = 0;
    lastTransaction_ = transaction->identifier();
    tx_->attach(shared_from_this(), reusedForThis_);
    touch();
    if (state_ == State::Ready) {
        state_ = State::Busy;
        sendHead();
    } else {
        connect();
    }
}

// --- Connecting ---

void HTTPConnection::connect() {
    state_ = State::Connecting;
    const auto& proxy = tx_->options().proxy;
    std::string host = proxy.isNone() ? plan_.host : proxy.host;
    std::uint16_t port = proxy.isNone() ? plan_.port : proxy.port;
    auto self = shared_from_this();
    auto gen = generation_;
    HostResolver::resolve(io_, host, port, [self, gen](std::optional<Error> error, HostResolver::Endpoints endpoints) {
        if (!self->current(gen)) return;
        if (error) return self->failExchange(*error);
        self->touch();
        asio::async_connect(self->socket_, endpoints,
                            [self, gen](const error_code& ec, const asio::ip::tcp::endpoint&) {
                                if (!self->current(gen)) return;
                                if (ec) return self->failExchange(HTTPStreamError::fromSystem(ec));
                                self->onConnected();
                            });
    });
}

void HTTPConnection::onConnected() {
    touch();
    error_code ignored;
    socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
    const auto& proxy = tx_->options().proxy;
    if (!proxy.isNone() && proxy.type == HTTPProxy::Type::SOCKS) return socksGreeting();
    if (!proxy.isNone() && proxy.type == HTTPProxy::Type::HTTP && plan_.secure) return sendConnect();
    if (plan_.secure) return startTLS();
    ready();
}

void HTTPConnection::socksGreeting() {
    auto self = shared_from_this();
    auto gen = generation_;
    scratch_ = {0x05, 0x01, 0x00};
    asio::async_write(socket_, asio::buffer(scratch_), [self, gen](const error_code& ec, std::size_t) {
        if (!self->current(gen)) return;
        if (ec) return self->failExchange(HTTPStreamError::fromSystem(ec));
        self->scratch_.assign(2, 0);
        asio::async_read(self->socket_, asio::buffer(self->scratch_), [self, gen](const error_code& ec, std::size_t) {
            if (!self->current(gen)) return;
            if (ec) return self->failExchange(HTTPStreamError::fromSystem(ec));
            if (self->scratch_[0] != 0x05) {
                return self->failExchange(HTTPStreamError::network(HTTPStreamError::kSOCKSUnsupportedServerVersion,
                                                                   "The SOCKS proxy does not speak SOCKS5"));
            }
            if (self->scratch_[1] != 0x00) {
                return self->failExchange(HTTPStreamError::network(HTTPStreamError::kSOCKS5NoAcceptableMethod,
                                                                   "The SOCKS proxy wants authentication"));
            }
            // CONNECT to the URL's host by name (or address), so the proxy resolves it.
            std::vector<std::uint8_t> request{0x05, 0x01, 0x00};
            error_code aec;
            auto address = asio::ip::make_address(self->plan_.host, aec);
            if (!aec && address.is_v4()) {
                request.push_back(0x01);
                auto bytes = address.to_v4().to_bytes();
                request.insert(request.end(), bytes.begin(), bytes.end());
            } else if (!aec && address.is_v6()) {
                request.push_back(0x04);
                auto bytes = address.to_v6().to_bytes();
                request.insert(request.end(), bytes.begin(), bytes.end());
            } else {
                if (self->plan_.host.size() > 255) {
                    return self->failExchange(HTTPStreamError::network(HTTPStreamError::kSOCKS5BadResponseAddress,
                                                                       "The host name is too long for SOCKS"));
                }
                request.push_back(0x03);
                request.push_back(static_cast<std::uint8_t>(self->plan_.host.size()));
                request.insert(request.end(), self->plan_.host.begin(), self->plan_.host.end());
            }
            request.push_back(static_cast<std::uint8_t>(self->plan_.port >> 8));
            request.push_back(static_cast<std::uint8_t>(self->plan_.port & 0xff));
            self->scratch_ = std::move(request);
            asio::async_write(
                self->socket_, asio::buffer(self->scratch_), [self, gen](const error_code& ec, std::size_t) {
                    if (!self->current(gen)) return;
                    if (ec) return self->failExchange(HTTPStreamError::fromSystem(ec));
                    self->scratch_.assign(5, 0);  // VER REP RSV ATYP and the first address byte
                    asio::async_read(
                        self->socket_, asio::buffer(self->scratch_), [self, gen](const error_code& ec, std::size_t) {
                            if (!self->current(gen)) return;
                            if (ec) return self->failExchange(HTTPStreamError::fromSystem(ec));
                            auto& r = self->scratch_;
                            if (r[0] != 0x05) {
                                return self->failExchange(
                                    HTTPStreamError::network(HTTPStreamError::kSOCKSUnsupportedServerVersion,
                                                             "The SOCKS proxy answered in another version"));
                            }
                            if (r[1] != 0x00) {
                                switch (r[1]) {
                                case 0x03:
                                    return self->failExchange(
                                        HTTPStreamError::posix(HTTPStreamError::kNetworkUnreachable,
                                                               "The SOCKS proxy cannot reach the network"));
                                case 0x04:
                                    return self->failExchange(HTTPStreamError::posix(
                                        HTTPStreamError::kHostUnreachable, "The SOCKS proxy cannot reach the host"));
                                case 0x05:
                                    return self->failExchange(
                                        HTTPStreamError::posix(HTTPStreamError::kConnectionRefused,
                                                               "The host refused the SOCKS proxy's connection"));
                                default:
                                    return self->failExchange(HTTPStreamError::network(
                                        HTTPStreamError::kProxyConnectionFailure,
                                        "The SOCKS proxy refused the connection (reply " + std::to_string(r[1]) + ")"));
                                }
                            }
                            std::size_t rest;
                            switch (r[3]) {
                            case 0x01: rest = 4 - 1 + 2; break;
                            case 0x04: rest = 16 - 1 + 2; break;
                            case 0x03: rest = static_cast<std::size_t>(r[4]) + 2; break;
                            default:
                                return self->failExchange(HTTPStreamError::network(
                                    HTTPStreamError::kSOCKS5BadResponseAddress, "The SOCKS proxy sent a bad address"));
                            }
                            self->scratch_.assign(rest, 0);
                            asio::async_read(self->socket_, asio::buffer(self->scratch_),
                                             [self, gen](const error_code& ec, std::size_t) {
                                                 if (!self->current(gen)) return;
                                                 if (ec) return self->failExchange(HTTPStreamError::fromSystem(ec));
                                                 self->touch();
                                                 if (self->plan_.secure) return self->startTLS();
                                                 self->ready();
                                             });
                        });
                });
        });
    });
}

void HTTPConnection::sendConnect() {
    std::string authority = plan_.host.find(':') != std::string::npos ? "[" + plan_.host + "]" : plan_.host;
    authority += ":" + std::to_string(plan_.port);
    std::string head = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n";
    if (plan_.proxyAuthorization) head += "Proxy-Authorization: " + *plan_.proxyAuthorization + "\r\n";
    head += "\r\n";
    scratch_.assign(head.begin(), head.end());
    connectPhase_ = true;
    auto self = shared_from_this();
    auto gen = generation_;
    asio::async_write(socket_, asio::buffer(scratch_), [self, gen](const error_code& ec, std::size_t) {
        if (!self->current(gen)) return;
        if (ec) return self->failExchange(HTTPStreamError::fromSystem(ec));
        self->touch();
        self->newParser();
        http::async_read_header(
            self->socket_, self->buffer_, *self->parser_, [self, gen](const error_code& ec, std::size_t) {
                if (!self->current(gen)) return;
                self->touch();
                if (ec) {
                    if (isDroppedConnection(ec)) {
                        return self->failExchange(
                            HTTPStreamError::network(HTTPStreamError::kHTTPSProxyConnectionFailure,
                                                     "The proxy closed the connection during CONNECT"));
                    }
                    return self->failExchange(self->readError(ec));
                }
                int status = self->parser_->get().result_int();
                if (status >= 200 && status < 300) {
                    if (self->buffer_.size() != 0) {
                        return self->failExchange(
                            HTTPStreamError::network(HTTPStreamError::kHTTPSProxyConnectionFailure,
                                                     "The proxy sent data before the tunnel was open"));
                    }
                    self->connectPhase_ = false;
                    return self->startTLS();
                }
                // Refused: the proxy's reply (407 and the like) becomes the response.
                self->refusedConnect_ = true;
                self->bodySent_ = true;
                self->state_ = State::Busy;
                if (!self->takeHead()) return;
                bool raw = self->startRawBody();
                self->bodyBecameReadable_ = false;
                self->tx_->notify();
                if (raw) return self->readRawBody();
                if (self->parser_->is_done()) return self->finishExchange();
                self->readResponse();
            });
    });
}

void HTTPConnection::startTLS() {
    const auto& options = tx_->options();
    tlsContext_ = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_client);
    std::string problem;
    if (!TLSTrust::configureContext(tlsContext_->native_handle(), options.clientIdentity, &problem)) {
        return failExchange(HTTPStreamError::tls(HTTPStreamError::kTLSBadCertificate, problem));
    }
    std::weak_ptr<HTTPConnection> watcher = shared_from_this();
    tls_ = std::make_unique<TLSStream>(WatchedSocket(std::move(socket_),
                                                     [watcher] {
                                                         if (auto connection = watcher.lock()) connection->touch();
                                                     }),
                                       *tlsContext_);
    bool enforce = options.validatesCertificateChain && !options.serverTrustHandler;
    TLSTrust::configureSession(tls_->native_handle(), plan_.host, enforce);
    auto self = shared_from_this();
    auto gen = generation_;
    tls_->async_handshake(asio::ssl::stream_base::client, [self, gen](const error_code& ec) {
        if (!self->current(gen)) return;
        self->touch();
        if (ec) return self->failExchange(TLSTrust::handshakeError(self->tls_->native_handle(), ec));
        const auto& options = self->tx_->options();
        if (!options.validatesCertificateChain || !options.serverTrustHandler) return self->ready();
        TLSPeerTrust trust = TLSTrust::peerTrust(self->tls_->native_handle(), self->plan_.host);
        auto core = self->core_.lock();
        if (!core) return;
        std::weak_ptr<HTTPConnection> weak = self;
        auto answer = [weak, gen, trust, &io = core->ioContext()](bool proceed) {
            asio::post(io, [weak, gen, trust, proceed]() {
                auto connection = weak.lock();
                if (!connection || !connection->current(gen)) return;
                if (proceed) return connection->ready();
                connection->failExchange(trust.trusted() ? HTTPStreamError::tls(HTTPStreamError::kTLSChainNotTrusted,
                                                                                "The server's certificate was refused")
                                                         : trust.error());
            });
        };
        options.serverTrustHandler(trust, answer);
    });
}

void HTTPConnection::ready() {
    state_ = State::Busy;
    sendHead();
}

// --- Sending ---

void HTTPConnection::sendHead() {
    auto self = shared_from_this();
    auto gen = generation_;
    writing_ = true;
    withStream([&](auto& stream) {
        asio::async_write(stream, asio::buffer(plan_.head), [self, gen](const error_code& ec, std::size_t) {
            if (!self->current(gen)) return;
            self->writing_ = false;
            if (ec) return self->failExchange(self->writeError(ec));
            self->touch();
            self->newParser();
            self->readResponse();
            self->sendBody();
        });
    });
}

void HTTPConnection::sendBody() {
    if (!tx_ || writing_ || bodySent_ || state_ != State::Busy) return;
    if (!plan_.streamed) {
        if (bodyOffset_ >= plan_.body.size()) {
            bodySent_ = true;
            return;
        }
        std::size_t n = std::min(kWriteChunk, plan_.body.size() - bodyOffset_);
        std::string piece(reinterpret_cast<const char*>(plan_.body.data() + bodyOffset_), n);
        bodyOffset_ += n;
        return writeBodyBytes(std::move(piece), n);
    }
    bool finished = false;
    bool waiting = false;
    auto bytes = tx_->takeBody(kWriteChunk, finished, waiting);
    if (!bytes.empty()) {
        std::string framed;
        if (plan_.chunked) framed = hexSize(bytes.size()) + "\r\n";
        framed.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (plan_.chunked) framed += "\r\n";
        if (finished && plan_.chunked) framed += "0\r\n\r\n";
        if (finished) bodySent_ = true;
        writeBodyBytes(std::move(framed), bytes.size());
        tx_->notify();  // room for more
        return;
    }
    if (finished) {
        bodySent_ = true;
        if (plan_.chunked) writeBodyBytes("0\r\n\r\n", 0);
        return;
    }
    if (waiting) tx_->notify();
}

void HTTPConnection::writeBodyBytes(std::string framed, std::size_t payload) {
    auto self = shared_from_this();
    auto gen = generation_;
    writing_ = true;
    auto buffer = std::make_shared<std::string>(std::move(framed));
    withStream([&](auto& stream) {
        asio::async_write(stream, asio::buffer(*buffer),
                          [self, gen, buffer, payload](const error_code& ec, std::size_t) {
                              if (!self->current(gen)) return;
                              self->writing_ = false;
                              if (ec) {
                                  // A server may answer (and close) before it has read the whole
                                  // body; that answer wins over the failed write.
                                  if (self->headDelivered_) {
                                      self->bodySent_ = true;
                                      return;
                                  }
                                  return self->failExchange(self->writeError(ec));
                              }
                              self->touch();
                              self->tx_->addBodyBytesWritten(payload);
                              if (payload) self->tx_->notify();
                              self->sendBody();
                          });
    });
}

// --- Receiving ---

void HTTPConnection::newParser() {
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(kHeaderLimit));
    // No limit on bodies (downloads run to gigabytes). Beast 1.74 mishandles
    // an absent limit, so the largest one stands in for it.
    parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
    parser_->get().body().sink = [this](const char* bytes, std::size_t length) {
        if (!tx_) return;
        if (tx_->bytesAvailable() + length > HTTPTransaction::kReceiveCapacity) {
            overflow_ = true;  // cannot happen while reading pauses at the high-water mark
            return;
        }
        if (tx_->appendResponseBody(bytes, length)) bodyBecameReadable_ = true;
    };
    if (plan_.headRequest && !connectPhase_) parser_->skip(true);
}

void HTTPConnection::resumeReading() {
    if (!tx_ || state_ != State::Busy) return;
    if (rawBody_) {
        readRawBody();
    } else {
        readResponse();
    }
}

bool HTTPConnection::startRawBody() {
    // A body framed by its length or by the end of the connection needs no
    // parsing: it goes from the socket straight into the transaction's
    // buffer. Chunked bodies stay with the parser.
    if (parser_->is_done() || parser_->chunked()) return false;
    auto remaining = parser_->content_length_remaining();
    if (!remaining && !parser_->need_eof()) return false;
    rawBody_ = true;
    rawRemaining_.reset();
    if (remaining) rawRemaining_ = *remaining;
    if (buffer_.size() > 0) {
        std::size_t n = buffer_.size();
        if (rawRemaining_) n = static_cast<std::size_t>(std::min<std::uint64_t>(n, *rawRemaining_));
        const char* bytes = static_cast<const char*>(buffer_.data().data());
        if (n > 0 && tx_->appendResponseBody(bytes, n)) bodyBecameReadable_ = true;
        buffer_.consume(n);
        if (rawRemaining_) *rawRemaining_ -= n;
    }
    return true;
}

void HTTPConnection::readRawBody() {
    if (reading_ || !tx_) return;
    if (rawRemaining_ && *rawRemaining_ == 0) return finishExchange();
    if (tx_->shouldPauseReading()) return;
    std::size_t want = kRawReadSize;
    if (rawRemaining_) want = static_cast<std::size_t>(std::min<std::uint64_t>(want, *rawRemaining_));
    const auto received = tx_->receiveWindow(want);
    std::uint8_t* const window = received.first;
    const std::size_t length = received.second;
    if (length == 0) return;  // full: read() resumes us
    reading_ = true;
    auto self = shared_from_this();
    auto gen = generation_;
    // The read writes into the transaction's buffer: the transaction (and
    // so the buffer) stays alive until the read has ended, even when it is
    // aborted meanwhile.
    withStream([&](auto& stream) {
        stream.async_read_some(
            asio::buffer(window, length), [self, gen, tx = tx_](const error_code& ec, std::size_t n) {
                if (!self->current(gen)) return;
                self->reading_ = false;
                self->touch();
                if (n > 0) {
                    self->gotResponseBytes_ = true;
                    if (self->tx_->commitReceived(n)) self->tx_->notify();
                    if (self->rawRemaining_) *self->rawRemaining_ -= n;
                }
                if (ec) {
                    bool closed = ec == asio::error::eof || ec == asio::ssl::error::stream_truncated;
                    if (closed && !self->rawRemaining_) return self->finishExchange();
                    if (closed) {
                        return self->failExchange(HTTPStreamError::network(
                            HTTPStreamError::kParseFailure, "The connection closed before the whole response arrived"));
                    }
                    return self->failExchange(self->readError(ec));
                }
                self->readRawBody();
            });
    });
}

void HTTPConnection::readResponse() {
    if (reading_ || !tx_ || !parser_) return;
    if (tx_->shouldPauseReading()) return;
    reading_ = true;
    auto self = shared_from_this();
    auto gen = generation_;
    withStream([&](auto& stream) {
        http::async_read_some(stream, buffer_, *parser_, [self, gen](const error_code& ec, std::size_t) {
            if (!self->current(gen)) return;
            self->reading_ = false;
            self->onRead(ec);
        });
    });
}

void HTTPConnection::onRead(const error_code& readEc) {
    touch();
    error_code ec = readEc;
    if (parser_->got_some()) gotResponseBytes_ = true;
    if (ec == asio::ssl::error::stream_truncated) {
        // A TLS peer that closes without close_notify: an ordinary end of
        // the connection, judged by the framing like a TCP EOF.
        if (parser_->got_some()) {
            ec = {};
            parser_->put_eof(ec);
        } else {
            ec = http::error::end_of_stream;
        }
    }
    if (ec) return failExchange(readError(ec));
    if (parser_->is_header_done() && !headDelivered_) {
        int status = parser_->get().result_int();
        if (status >= 100 && status < 200 && status != 101) {
            if (std::distance(parser_->get().begin(), parser_->get().end()) >
                static_cast<std::ptrdiff_t>(kFieldLimit)) {
                return failExchange(HTTPStreamError::network(HTTPStreamError::kParseFailure,
                                                             "The response has too many header fields"));
            }
            newParser();  // an interim response: the final one follows
            return readResponse();
        }
        if (!takeHead()) return;
        bodyBecameReadable_ = true;
        if (startRawBody()) {
            tx_->notify();
            bodyBecameReadable_ = false;
            return readRawBody();
        }
    }
    if (overflow_) {
        return failExchange(
            HTTPStreamError::network(HTTPStreamError::kParseFailure, "The response overran the receive buffer"));
    }
    if (parser_->is_done()) return finishExchange();
    // The reader drains the buffer on each notification, so news is only
    // due when the buffer turns from empty to non-empty.
    if (bodyBecameReadable_) {
        bodyBecameReadable_ = false;
        tx_->notify();
    }
    readResponse();
}

bool HTTPConnection::takeHead() {
    auto& message = parser_->get();
    if (std::distance(message.begin(), message.end()) > static_cast<std::ptrdiff_t>(kFieldLimit)) {
        failExchange(
            HTTPStreamError::network(HTTPStreamError::kParseFailure, "The response has too many header fields"));
        return false;
    }
    HTTPHeaders headers;
    for (const auto& field : message) {
        headers.add(std::string_view(field.name_string().data(), field.name_string().size()),
                    std::string_view(field.value().data(), field.value().size()));
    }
    std::string version = message.version() == 10 ? "HTTP/1.0" : "HTTP/1.1";
    std::string line = version + " " + std::to_string(message.result_int());
    if (!message.reason().empty()) line += " " + std::string(message.reason());
    tx_->setResponse(
        HTTPMessage::createResponse(message.result_int(), std::move(line), std::move(version), std::move(headers)));
    headDelivered_ = true;
    return true;
}

void HTTPConnection::finishExchange() {
    auto tx = std::move(tx_);
    tx_.reset();
    ++generation_;
    ++served_;
    timer_.cancel();
    timerArmed_ = false;
    bool reusable = tx->options().persistentConnection && parser_->keep_alive() && !parser_->need_eof() &&
                    buffer_.size() == 0 && bodySent_ && !writing_ && !refusedConnect_ &&
                    parser_->get().result_int() != 101;
    tx->complete();
    tx->notify();
    auto core = core_.lock();
    if (reusable && core) {
        state_ = State::Ready;
        core->returnToPool(shared_from_this());
    } else {
        close();
    }
}

void HTTPConnection::failExchange(const Error& error) {
    auto tx = std::move(tx_);
    tx_.reset();
    ++generation_;
    if (tx) {
        tx->fail(error);
        tx->notify();
    }
    close();
}

void HTTPConnection::abortTransaction(std::uint64_t transaction, std::optional<Error> error) {
    if (!tx_ || tx_->identifier() != transaction) return;
    if (error) return failExchange(*error);
    tx_.reset();
    ++generation_;
    close();
}

Error HTTPConnection::readError(const error_code& ec) const {
    bool beforeResponse = !gotResponseBytes_;
    if (reusedForThis_ && beforeResponse && isDroppedConnection(ec)) {
        return HTTPStreamError::network(HTTPStreamError::kConnectionLost, "The network connection was lost");
    }
    if (ec == http::error::end_of_stream) {
        return HTTPStreamError::network(HTTPStreamError::kParseFailure,
                                        "The server closed the connection without a response");
    }
    if (ec == http::error::partial_message) {
        return HTTPStreamError::network(HTTPStreamError::kParseFailure,
                                        "The connection closed before the whole response arrived");
    }
    if (ec == http::error::header_limit) {
        return HTTPStreamError::network(HTTPStreamError::kParseFailure, "The response head is larger than 64 KiB");
    }
    if (ec.category() == http::make_error_code(http::error::bad_version).category()) {
        return HTTPStreamError::network(HTTPStreamError::kParseFailure,
                                        "The response could not be parsed: " + ec.message());
    }
    return HTTPStreamError::fromSystem(ec);
}

Error HTTPConnection::writeError(const error_code& ec) const {
    if (reusedForThis_ && !gotResponseBytes_ && isDroppedConnection(ec)) {
        return HTTPStreamError::posix(HTTPStreamError::kBrokenPipe, "Broken pipe");
    }
    return HTTPStreamError::fromSystem(ec);
}

// --- Time ---

void HTTPConnection::touch() {
    if (!tx_) return;
    double seconds = tx_->options().inactivityTimeout;
    if (seconds <= 0) return;
    deadline_ = std::chrono::steady_clock::now() +
                std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    if (!timerArmed_) armTimer();
}

void HTTPConnection::armTimer() {
    timerArmed_ = true;
    timer_.expires_at(deadline_);
    auto self = shared_from_this();
    auto gen = generation_;
    timer_.async_wait([self, gen](const error_code& ec) {
        if (ec || !self->current(gen)) return;
        self->timerArmed_ = false;
        if (std::chrono::steady_clock::now() < self->deadline_) return self->armTimer();
        self->failExchange(HTTPStreamError::posix(HTTPStreamError::kTimedOut, "The request timed out"));
    });
}

void HTTPConnection::startIdleLifetime(double seconds) {
    timer_.expires_after(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds)));
    std::weak_ptr<HTTPConnection> weak = shared_from_this();
    auto gen = generation_;
    timer_.async_wait([weak, gen](const error_code& ec) {
        auto self = weak.lock();
        if (ec || !self || self->tx_ || self->generation_ != gen) return;
        self->close();
    });
}

void HTTPConnection::close() {
    if (state_ == State::Closed) return;
    state_ = State::Closed;
    timer_.cancel();
    error_code ignored;
    lowestLayer().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    lowestLayer().close(ignored);
    if (auto core = core_.lock()) core->removeFromPool(this);
}

}  // namespace clipora::platform
