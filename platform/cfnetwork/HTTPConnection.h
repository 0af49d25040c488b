#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>

#include "platform/cfnetwork/HTTPTransaction.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

class HTTPClientCore;

// The TCP socket under a TLS stream, telling its owner of every raw read.
// A record that crosses a slow link arrives a few bytes at a time, and none
// of its bytes can be handed on before the whole record is in: the socket's
// own reads are the only sign that the transfer is alive meanwhile.
class WatchedSocket {
public:
    using executor_type = boost::asio::ip::tcp::socket::executor_type;
    using lowest_layer_type = boost::asio::ip::tcp::socket::lowest_layer_type;

    WatchedSocket(boost::asio::ip::tcp::socket socket, std::function<void()> onBytes)
        : socket_(std::move(socket)), onBytes_(std::move(onBytes)) {}

    executor_type get_executor() { return socket_.get_executor(); }
    lowest_layer_type& lowest_layer() { return socket_.lowest_layer(); }
    const lowest_layer_type& lowest_layer() const { return socket_.lowest_layer(); }
    boost::asio::ip::tcp::socket& socket() { return socket_; }

    template <class MutableBuffers, class Handler>
    void async_read_some(const MutableBuffers& buffers, Handler&& handler) {
        // A copy of the callback: the handler may run after this object is
        // gone (an aborted read), and then reports no bytes.
        socket_.async_read_some(buffers, [onBytes = onBytes_, handler = std::forward<Handler>(handler)](
                                             const boost::system::error_code& ec, std::size_t n) mutable {
            if (n > 0 && onBytes) onBytes();
            handler(ec, n);
        });
    }
    template <class ConstBuffers, class Handler>
    void async_write_some(const ConstBuffers& buffers, Handler&& handler) {
        socket_.async_write_some(buffers, std::forward<Handler>(handler));
    }

private:
    boost::asio::ip::tcp::socket socket_;
    std::function<void()> onBytes_;
};

// What the core prepared for one exchange: the request head as it goes on
// the wire and what follows it.
struct HTTPExchangePlan {
    std::string head;
    Data body;                 // in-memory body
    bool streamed = false;     // body pulled from the transaction
    bool chunked = false;      // streamed body framed in chunks
    bool headRequest = false;  // the response has no body
    bool secure = false;
    std::string host;  // the URL's host: SNI, certificate name, CONNECT target
    std::uint16_t port = 0;
    std::optional<std::string> proxyAuthorization;  // goes on the CONNECT only
};

// A Beast body that hands every decoded body byte to a callback, so the
// bytes land straight in the transaction's bounded buffer.
struct HTTPSinkBody {
    struct value_type {
        std::function<void(const char*, std::size_t)> sink;
    };

    class reader {
    public:
        template <bool isRequest, class Fields>
        reader(boost::beast::http::header<isRequest, Fields>&, value_type& body) : body_(body) {}
        void init(const boost::optional<std::uint64_t>&, boost::beast::error_code& ec) { ec = {}; }
        template <class ConstBufferSequence>
        std::size_t put(const ConstBufferSequence& buffers, boost::beast::error_code& ec);
        void finish(boost::beast::error_code& ec) { ec = {}; }

    private:
        value_type& body_;
    };
};

template <class ConstBufferSequence>
std::size_t HTTPSinkBody::reader::put(const ConstBufferSequence& buffers, boost::beast::error_code& ec) {
    ec = {};
    std::size_t total = 0;
    for (auto it = boost::asio::buffer_sequence_begin(buffers); it != boost::asio::buffer_sequence_end(buffers); ++it) {
        boost::asio::const_buffer b = *it;
        if (body_.sink) body_.sink(static_cast<const char*>(b.data()), b.size());
        total += b.size();
    }
    return total;
}

// One TCP (and maybe TLS, maybe proxied) connection of the core, carrying one
// exchange at a time. Lives on the I/O thread: every member function is
// called there.
class HTTPConnection : public std::enable_shared_from_this<HTTPConnection> {
public:
    static constexpr std::size_t kHeaderLimit = 64 * 1024;
    static constexpr std::size_t kFieldLimit = 100;
    static constexpr std::size_t kRawReadSize = 256 * 1024;

    HTTPConnection(std::weak_ptr<HTTPClientCore> core, boost::asio::io_context& io, std::string key,
                   std::uint64_t serial);
    ~HTTPConnection();
    HTTPConnection(const HTTPConnection&) = delete;
    HTTPConnection& operator=(const HTTPConnection&) = delete;

    const std::string& key() const { return key_; }
    std::uint64_t serial() const { return serial_; }
    std::uint64_t lastTransaction() const { return lastTransaction_; }

    // An idle connection that can carry another exchange: open, and the
    // server has neither closed it nor sent anything unasked.
    bool isUsable();

    void begin(const std::shared_ptr<HTTPTransaction>& transaction, HTTPExchangePlan plan);
    void resumeReading();
    void sendBody();
    // Ends the exchange of that transaction: with an error it fails,
    // without one it was cancelled and reports nothing.
    void abortTransaction(std::uint64_t transaction, std::optional<Error> error);
    void startIdleLifetime(double seconds);
    void close();

private:
    enum class State { Fresh, Connecting, Ready, Busy, Closed };
    using Parser = boost::beast::http::response_parser<HTTPSinkBody>;
    using TLSStream = boost::asio::ssl::stream<WatchedSocket>;

    template <class F>
    void withStream(F&& f) {
        if (tls_)
            f(*tls_);
        else
            f(socket_);
    }
    boost::asio::ip::tcp::socket& lowestLayer() { return tls_ ? tls_->next_layer().socket() : socket_; }

    void connect();
    void onConnected();
    void socksGreeting();
    void sendConnect();
    void startTLS();
    void ready();
    void sendHead();
    void writeBodyBytes(std::string framed, std::size_t payload);
    void newParser();
    void readResponse();
    bool startRawBody();
    void readRawBody();
    void onRead(const boost::beast::error_code& ec);
    bool takeHead();
    void finishExchange();
    void failExchange(const Error& error);
    Error readError(const boost::beast::error_code& ec) const;
    Error writeError(const boost::beast::error_code& ec) const;
    void touch();
    void armTimer();
    bool current(std::uint64_t generation) const { return generation == generation_ && tx_ != nullptr; }

    std::weak_ptr<HTTPClientCore> core_;
    boost::asio::io_context& io_;
    const std::string key_;
    const std::uint64_t serial_;
    State state_ = State::Fresh;
    boost::asio::ip::tcp::socket socket_;
    std::unique_ptr<boost::asio::ssl::context> tlsContext_;
    std::unique_ptr<TLSStream> tls_;
    boost::asio::steady_timer timer_;
    std::chrono::steady_clock::time_point deadline_;
    bool timerArmed_ = false;
    boost::beast::flat_buffer buffer_;
    std::optional<Parser> parser_;

    std::shared_ptr<HTTPTransaction> tx_;
    HTTPExchangePlan plan_;
    std::uint64_t generation_ = 0;
    std::uint64_t served_ = 0;  // exchanges completed on this connection
    std::uint64_t lastTransaction_ = 0;
    bool reusedForThis_ = false;
    bool reading_ = false;
    bool headDelivered_ = false;
    bool gotResponseBytes_ = false;
    bool bodyBecameReadable_ = false;  // news for the reader since the last notification
    bool overflow_ = false;
    bool rawBody_ = false;                       // the body bypasses the parser
    std::optional<std::uint64_t> rawRemaining_;  // for a body with a length
    bool bodySent_ = false;
    bool writing_ = false;
    bool connectPhase_ = false;
    bool refusedConnect_ = false;
    std::size_t bodyOffset_ = 0;
    std::vector<std::uint8_t> scratch_;
};

}  // namespace clipora::platform
