#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/cfnetwork/HTTPReadStream.h"
#include "platform/cfnetwork/TLSIdentity.h"
#include "platform/foundation/Date.h"

namespace clipora {

// The request engine's pool of persistent connections, one per process, and
// the count of read streams at work that drives the network activity
// indicator.
//
// Contract:
// - Threads: every operation may be called from any thread. One recursive
//   lock guards the records' changing fields (request, stream, expires),
//   the list and the counts; a record's key fields and id never change once
//   it is in the pool.
// - Ownership: the pool holds its records; a request holds the record of
//   its current connection and marks it with its request number while it
//   uses it. A record without a request is idle: any request with the same
//   key may take it until it expires.
// - Order: attach() when a request opens a stream; release() when its
//   exchange ended (the connection kept for the next request, or not);
//   discard() when the connection must never carry another request
//   (failures, time-outs, fresh-connection retries). expire() drops idle
//   records whose time is up and closes their streams.
// - streamScheduled()/streamUnscheduled() pair up per scheduled stream: the
//   indicator shows with the first and hides half a second after the last
//   (on the main thread), unless another stream started meanwhile.
class RQConnectionPool {
public:
    // Which connection ("RQStreamID") a request's stream rides on. A record
    // is shared only by requests with the same scheme, host, port,
    // certificate validation, client identity and proxy.
    struct Record {
        int id = 0;
        std::string host;
        int port = 0;
        std::string scheme;
        bool validatesSecureCertificate = true;
        std::shared_ptr<platform::TLSIdentity> clientIdentity;
        std::string proxyHost;
        int proxyPort = 0;
        std::string proxyType;
        std::optional<std::uint64_t> request;  // the request using it; none while idle
        std::shared_ptr<platform::HTTPReadStream> stream;
        std::optional<platform::Date> expires;
    };

    // What a record must match to carry a request.
    struct Key {
        std::string scheme;
        std::string host;
        int port = 0;  // the URL's own port, 0 when it names none
        bool validatesSecureCertificate = true;
        std::shared_ptr<platform::TLSIdentity> clientIdentity;
        std::string proxyHost;
        int proxyPort = 0;
        std::string proxyType;

        bool matches(const Record& record) const;
    };

    // The outcome of attach(): the record the new stream rides on, the
    // request's number (given on its first attach), and the stream the
    // record carried before, which the caller closes once its own stream
    // is open.
    struct Attachment {
        std::shared_ptr<Record> record;
        std::uint64_t requestNumber = 0;
        std::shared_ptr<platform::HTTPReadStream> previousStream;
    };

    // The stream property that names the record's id.
    static constexpr const char* kStreamIDProperty = "RQStreamID";

    static RQConnectionPool& shared();

    RQConnectionPool() = default;
    RQConnectionPool(const RQConnectionPool&) = delete;
    RQConnectionPool& operator=(const RQConnectionPool&) = delete;

    // Puts `stream` on a record for the request numbered `requestNumber`
    // (none: a number is given now): the request's `current` record when
    // it still matches, has not expired and is idle or the request's own;
    // else an idle matching record; else a new one. An expired current
    // record leaves the pool. Marks the stream persistent and tags it.
    Attachment attach(const Key& key, std::shared_ptr<Record> current, std::optional<std::uint64_t> requestNumber,
                      const std::shared_ptr<platform::HTTPReadStream>& stream);
    // The exchange on `record` is over: it is idle from now, kept until
    // `expires`; without `keepStream` its stream is forgotten.
    void release(const std::shared_ptr<Record>& record, platform::Date expires, bool keepStream);
    // Sets when an idle record expires.
    void setExpiry(const std::shared_ptr<Record>& record, platform::Date expires);
    // Takes `record` out of the pool for good.
    void discard(const std::shared_ptr<Record>& record);
    // Drops idle records whose time is up, closing their streams.
    void expire();
    std::size_t size() const;

    void streamScheduled();
    // `updateIndicator` false: counts only (a request going away).
    void streamUnscheduled(bool updateIndicator = true);
    bool isNetworkInUse() const;
    void setShouldUpdateNetworkActivityIndicator(bool value);
    // Hides the indicator when no stream is at work.
    void hideNetworkActivityIndicatorIfNeeded() const;

    // Closes idle streams, forgets every record and shows the indicator
    // again (tests).
    void reset();

private:
    mutable std::recursive_mutex mutex_;
    std::vector<std::shared_ptr<Record>> records_;
    int nextConnectionNumber_ = 0;
    std::uint64_t nextRequestNumber_ = 0;
    int runningStreams_ = 0;
    bool shouldUpdateNetworkActivityIndicator_ = true;
};

}  // namespace clipora
