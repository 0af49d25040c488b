#include "notes/transport/NoteServiceHTTP.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include <thrift/TConfiguration.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TTransportException.h>
#include <thrift/transport/TVirtualTransport.h>

#include "notes/types/WireInput.h"
#include "platform/cfnetwork/HTTPClientCore.h"
#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/cfnetwork/HTTPTransaction.h"
#include "platform/foundation/URL.h"

namespace clipora {

using apache::thrift::transport::TTransportException;

namespace {

constexpr std::string_view kContentType = "application/x-thrift";

// Wakes the waiting caller whenever the transaction has news.
class Waiter final : public platform::HTTPTransactionObserver {
public:
    void httpTransactionChanged(platform::HTTPTransaction&) override {
        std::lock_guard lock(mutex_);
        ++news_;
        condition_.notify_all();
    }

    // Waits until news arrives or `deadline` passes; false on time-out.
    bool waitUntil(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        bool got = condition_.wait_until(lock, deadline, [&] { return news_ != seen_; });
        seen_ = news_;
        return got;
    }

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    std::uint64_t news_ = 0;
    std::uint64_t seen_ = 0;
};

// Holds the whole reply before it is read, so that the reader bounds every
// length in it by the bytes it really holds.
class HTTPSTransport final : public apache::thrift::transport::TVirtualTransport<HTTPSTransport>, public HeldInput {
public:
    HTTPSTransport(platform::URL url, NoteServiceTimeouts timeouts)
        : TVirtualTransport(std::make_shared<apache::thrift::TConfiguration>()), url_(std::move(url)),
          timeouts_(timeouts) {}

    bool isOpen() const override { return true; }
    void open() override {}
    void close() override {}

    void write(const std::uint8_t* buffer, std::uint32_t length) {
        request_.insert(request_.end(), buffer, buffer + length);
    }

    std::uint32_t read(std::uint8_t* buffer, std::uint32_t length) {
        std::size_t available = reply_.size() - position_;
        std::uint32_t count = static_cast<std::uint32_t>(std::min<std::size_t>(length, available));
        if (count > 0) {
            std::memcpy(buffer, reply_.data() + position_, count);
            position_ += count;
            countConsumedMessageBytes(count);
        }
        return count;
    }

    std::int32_t maxMessageSize() { return getConfiguration()->getMaxMessageSize(); }

    std::size_t heldBytesLeft() const override { return reply_.size() - position_; }

    std::uint32_t readEnd() override {
        // One reply per exchange: what is left of it is dropped.
        reply_.clear();
        position_ = 0;
        return 0;
    }

    void flush() override {
        platform::Data body;
        body.swap(request_);
        exchange(std::move(body));
    }

private:
    void exchange(platform::Data body) {
        auto request = platform::HTTPMessage::createRequest("POST", url_);
        if (!request) throw TTransportException(TTransportException::BAD_ARGS, "Unusable note-service URL");
        request->setHeaderFieldValue("Content-Type", kContentType);
        request->setHeaderFieldValue("Accept", kContentType);
        request->setHeaderFieldValue("Content-Length", std::to_string(body.size()));

        platform::HTTPTransactionOptions options;
        options.validatesCertificateChain = true;
        options.inactivityTimeout = timeouts_.receive;
        options.streamedBody = true;  // so that the start of sending shows the connection is up
        auto waiter = std::make_shared<Waiter>();
        auto transaction = platform::HTTPClientCore::shared()->start(request, options, waiter);
        if (!transaction) throw TTransportException(TTransportException::BAD_ARGS, "Unusable note-service request");

        using Clock = std::chrono::steady_clock;
        auto toDuration = [](double seconds) {
            return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        };
        const auto connectDeadline = Clock::now() + toDuration(timeouts_.connect);
        std::size_t sent = 0;
        bool finished = false;
        reply_.clear();
        position_ = 0;
        for (;;) {
            while (!finished && transaction->wantsBody()) {
                std::size_t chunk = std::min(body.size() - sent, platform::HTTPTransaction::kSendHighWater);
                if (chunk > 0) transaction->appendBody(body.data() + sent, chunk);
                sent += chunk;
                if (sent == body.size()) {
                    transaction->finishBody();
                    finished = true;
                }
            }
            drain(*transaction);
            if (auto error = transaction->error()) {
                transaction->release(true);
                fail(*error);
            }
            if (transaction->atEnd()) break;
            bool connected = transaction->requestBodyBytesWritten() > 0 || transaction->response() || body.empty();
            // Before the connection is up the connect time-out rules; after
            // it, the core's no-progress time-out ends a stalled reply.
            auto deadline = connected ? Clock::now() + toDuration(timeouts_.receive * 2 + 1) : connectDeadline;
            if (!waiter->waitUntil(deadline)) {
                transaction->cancel();
                throw TTransportException(
                    TTransportException::TIMED_OUT,
                    connected ? "The note service did not answer in time" : "Connecting to the note service timed out");
            }
        }
        auto response = transaction->response();
        int status = response ? response->responseStatusCode() : 0;
        transaction->release(false);
        if (status != 200) {
            reply_.clear();
            throw TTransportException(TTransportException::UNKNOWN,
                                      "The note service answered with HTTP status " + std::to_string(status));
        }
        // Reads of this reply may not run past its end, whatever a count in it says.
        resetConsumedMessageSize();
        resetConsumedMessageSize(static_cast<long>(reply_.size()));
    }

    void drain(platform::HTTPTransaction& transaction) {
        std::uint8_t buffer[16384];
        for (;;) {
            std::ptrdiff_t count = transaction.read(buffer, sizeof buffer);
            if (count <= 0) return;
            if (reply_.size() + static_cast<std::size_t>(count) >
                static_cast<std::size_t>(getConfiguration()->getMaxMessageSize())) {
                transaction.cancel();
                reply_.clear();
                throw TTransportException(TTransportException::CORRUPTED_DATA,
                                          "The note service's reply is larger than the maximum message size");
            }
            reply_.insert(reply_.end(), buffer, buffer + count);
        }
    }

    [[noreturn]] void fail(const platform::Error& error) {
        reply_.clear();
        if (error.domain() == platform::HTTPStreamError::kPOSIXDomain &&
            error.code() == platform::HTTPStreamError::kTimedOut)
            throw TTransportException(TTransportException::TIMED_OUT, "The note service did not answer in time");
        throw TTransportException(TTransportException::NOT_OPEN,
                                  "The note-service exchange failed: " + error.localizedDescription());
    }

    platform::URL url_;
    NoteServiceTimeouts timeouts_;
    platform::Data request_;
    platform::Data reply_;
    std::size_t position_ = 0;
};

}  // namespace

std::shared_ptr<apache::thrift::protocol::TProtocol> NoteServiceHTTP::binaryProtocol(const std::string& url,
                                                                                     NoteServiceTimeouts timeouts) {
    auto parsed = platform::URL::fromString(url);
    if (!parsed || parsed->scheme() != "https" || parsed->host().empty())
        throw TTransportException(TTransportException::BAD_ARGS, "Note-service URLs must be absolute https URLs");
    auto transport = std::make_shared<HTTPSTransport>(std::move(*parsed), timeouts);
    // No text can be longer than a reply may be.
    return std::make_shared<apache::thrift::protocol::TBinaryProtocol>(transport, transport->maxMessageSize(), 0, false,
                                                                       false);
}

}  // namespace clipora
