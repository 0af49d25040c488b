#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/InputStream.h"
#include "platform/foundation/Value.h"

namespace clipora {

// The party whose body an RQInputStream carries (the request): while
// throttling is on, each read lets it put its read stream to sleep or wake
// it, on the thread that reads.
class RQInputStreamOwner {
public:
    virtual void performThrottling() = 0;

protected:
    ~RQInputStreamOwner() = default;
};

// The body stream a request hands to the HTTP stream: it forwards to a
// stream over the body file or the in-memory body, counts every read
// against the engine's bandwidth window (RQBandwidthThrottle) and, while
// throttling is on, shrinks each read to the upload allowance and lets its
// owner sleep or wake. Reads come from the HTTP stream on the request's
// thread. The owner is not kept alive by its stream.
class RQInputStream : public platform::InputStream {
public:
    static std::shared_ptr<RQInputStream> inputStreamWithFileAtPathRequest(
        const std::string& path, const std::shared_ptr<RQInputStreamOwner>& request);
    static std::shared_ptr<RQInputStream> inputStreamWithDataRequest(
        platform::Data data, const std::shared_ptr<RQInputStreamOwner>& request);

    RQInputStream(std::shared_ptr<platform::InputStream> stream, std::weak_ptr<RQInputStreamOwner> request);
    ~RQInputStream() override;

    void open() override;
    void close() override;
    // Asks the wrapped stream for the (possibly shortened) length; the
    // length asked for is what is counted.
    std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override;
    bool hasBytesAvailable() const override;

    const std::shared_ptr<platform::InputStream>& stream() const { return stream_; }
    std::shared_ptr<RQInputStreamOwner> request() const { return request_.lock(); }

private:
    void mirrorStatus();

    std::shared_ptr<platform::InputStream> stream_;
    std::weak_ptr<RQInputStreamOwner> request_;
};

}  // namespace clipora
