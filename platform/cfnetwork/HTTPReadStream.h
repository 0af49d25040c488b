#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/cfnetwork/HTTPTransaction.h"
#include "platform/cfnetwork/HTTPTransactionObserver.h"
#include "platform/cfnetwork/TLSIdentity.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

class RunLoop;
class RunLoopSource;

// A CFNetwork-style HTTP read stream: sends one request message (and an
// optional body pulled from an input stream) on the HTTP core and lets its
// client read the response body, with events delivered on the run loop (and
// mode) where the stream is scheduled.
//
// It does message-level HTTP and nothing else: no redirects, no
// authentication, no cookies, no content decoding (gzip stays gzip), no
// time-outs, no retries. Those are the caller's.
//
// - Properties are set before open(): certificate validation and client
//   identity, an HTTP proxy (plain-http URLs, absolute-form requests), an
//   HTTPS proxy (https URLs, CONNECT tunnel; "Proxy-Authorization" goes on
//   the CONNECT only), a SOCKS5 proxy, persistent connections, and custom
//   properties. Streams with persistent connections whose custom
//   properties are equal (the request engine's "RQStreamID") share one
//   connection, one after another: a stream opened after an earlier one
//   finished its response takes over that idle connection, and closing the
//   earlier stream afterwards leaves it open. A gone, "close"d or busy
//   connection is replaced quietly by a new one.
// - Events: kEventHasBytesAvailable (2) once body bytes are readable (the
//   response head is complete by then), kEventEndEncountered (16) when the
//   response is complete (also for empty bodies, HEAD, 204, 304, and a
//   proxy's refusal of a CONNECT, whose reply is then the response), and
//   kEventErrorOccurred (8). A premature end of the connection is an error.
// - The body stream is opened and closed by this stream and read only on
//   the run loop where this stream is scheduled, and only while it is.
//   While unscheduled no events are delivered and at most
//   HTTPTransaction::kReceiveHighWater bytes are buffered.
// - Use from the thread of the run loop it is scheduled on.
class HTTPReadStream : public HTTPTransactionObserver, public std::enable_shared_from_this<HTTPReadStream> {
public:
    enum Event : unsigned {
        kEventNone = 0,
        kEventOpenCompleted = 1,
        kEventHasBytesAvailable = 2,
        kEventErrorOccurred = 8,
        kEventEndEncountered = 16,
    };
    static constexpr unsigned kDefaultEvents =
        kEventHasBytesAvailable | kEventErrorOccurred | kEventEndEncountered;  // 26

    enum class Status { NotOpen = 0, Opening = 1, Open = 2, Reading = 3, AtEnd = 5, Closed = 6, Error = 7 };

    // `event` is one Event value; the client's context is what the function
    // captures.
    using ClientCallback = std::function<void(HTTPReadStream& stream, unsigned event)>;

    struct SSLSettings {
        // False: neither the chain nor the host name is checked.
        bool validatesCertificateChain = true;
        // The client identity and further certificates sent with it.
        std::shared_ptr<TLSIdentity> identity;
        std::vector<Data> extraCertificates;
    };

    // Null when there is no request message.
    static std::shared_ptr<HTTPReadStream> create(std::shared_ptr<HTTPMessage> request);
    static std::shared_ptr<HTTPReadStream> create(std::shared_ptr<HTTPMessage> request,
                                                  std::shared_ptr<InputStream> body);

    ~HTTPReadStream() override;
    HTTPReadStream(const HTTPReadStream&) = delete;
    HTTPReadStream& operator=(const HTTPReadStream&) = delete;

    // --- Properties (before open) ---
    void setSSLSettings(SSLSettings settings);
    SSLSettings sslSettings() const;
    void setHTTPProxy(const std::string& host, std::uint16_t port);
    void setHTTPSProxy(const std::string& host, std::uint16_t port);
    void setSOCKSProxy(const std::string& host, std::uint16_t port);
    void setPersistentConnection(bool persistent);
    bool persistentConnection() const;
    // A custom property; all of them together decide connection sharing.
    void setProperty(const std::string& key, Value value);
    Value property(const std::string& key) const;

    // --- Properties read ---
    // The response head, or null until it is complete.
    std::shared_ptr<HTTPMessage> responseHeader() const;
    // Request-body bytes accepted by the kernel socket (headers excluded).
    std::uint64_t requestBytesWritten() const;

    // --- Life ---
    // Starts the request. False only for an immediate failure (then the
    // status is Error); connecting goes on asynchronously.
    bool open();
    void close();
    Status status() const;
    std::optional<Error> error() const;

    // Registers the client for the events in `eventMask` (default 26); a
    // null callback removes it. Answers true.
    bool setClient(unsigned eventMask, ClientCallback callback);
    void scheduleInRunLoop(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode);
    void unscheduleFromRunLoop(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode);
    bool isScheduled() const;

    // Body bytes: the count (> 0), 0 when none is buffered now or at the
    // end, -1 on error.
    std::int64_t read(std::uint8_t* buffer, std::size_t maxLength);
    bool hasBytesAvailable() const;

    // --- Diagnostics ---
    std::uint64_t connectionSerial() const;
    bool connectionWasReused() const;

    void httpTransactionChanged(HTTPTransaction& transaction) override;

private:
    HTTPReadStream(std::shared_ptr<HTTPMessage> request, std::shared_ptr<InputStream> body);
    void deliver();
    void pullBody();
    void signal();
    std::string connectionGroup() const;

    struct Schedule {
        std::weak_ptr<RunLoop> loop;
        std::string mode;
    };

    const std::shared_ptr<HTTPMessage> request_;
    const std::shared_ptr<InputStream> body_;
    std::shared_ptr<RunLoopSource> source_;

    mutable std::mutex mutex_;
    SSLSettings ssl_;
    HTTPProxy httpProxy_;
    HTTPProxy httpsProxy_;
    HTTPProxy socksProxy_;
    bool persistent_ = false;
    std::map<std::string, Value, std::less<>> custom_;
    Status status_ = Status::NotOpen;
    std::optional<Error> error_;
    std::shared_ptr<HTTPTransaction> transaction_;
    unsigned eventMask_ = 0;
    ClientCallback client_;
    std::vector<Schedule> schedules_;
    bool bodyOpen_ = false;
    bool bodyDone_ = false;
    bool endDelivered_ = false;
    bool errorDelivered_ = false;
    bool responseNoted_ = false;  // touched only on the scheduled thread
};

}  // namespace clipora::platform
