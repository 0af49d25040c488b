#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/cfnetwork/HTTPReadStream.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URL.h"
#include "tests/support/Pump.h"

namespace clipora::test {

// What a read stream's client saw.
struct StreamOutcome {
    std::vector<unsigned> events;
    std::string body;
    std::optional<platform::Error> error;
    bool ended = false;
    std::shared_ptr<platform::HTTPMessage> response;

    bool finished() const { return ended || error.has_value(); }
};

inline std::shared_ptr<platform::HTTPMessage> makeRequest(
    const std::string& method, const std::string& url, std::string_view version = platform::HTTPMessage::kVersion11) {
    auto parsed = platform::URL::fromString(url);
    if (!parsed) return nullptr;
    return platform::HTTPMessage::createRequest(method, *parsed, version);
}

// Registers a client that reads every body byte on each "bytes available"
// event, schedules the stream on the main run loop and opens it.
inline std::shared_ptr<StreamOutcome> startStream(const std::shared_ptr<platform::HTTPReadStream>& stream) {
    auto outcome = std::make_shared<StreamOutcome>();
    stream->setClient(platform::HTTPReadStream::kDefaultEvents, [outcome](platform::HTTPReadStream& s, unsigned event) {
        outcome->events.push_back(event);
        if (event == platform::HTTPReadStream::kEventHasBytesAvailable) {
            std::uint8_t buffer[64 * 1024];
            std::int64_t n = s.read(buffer, sizeof buffer);
            if (n > 0) outcome->body.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
        } else if (event == platform::HTTPReadStream::kEventEndEncountered) {
            outcome->ended = true;
            outcome->response = s.responseHeader();
        } else if (event == platform::HTTPReadStream::kEventErrorOccurred) {
            outcome->error = s.error();
            outcome->response = s.responseHeader();
        }
    });
    stream->scheduleInRunLoop(platform::RunLoop::main(), platform::RunLoop::defaultMode);
    stream->open();
    return outcome;
}

// Runs a stream to its end or error (pumping the main run loop).
inline StreamOutcome runStream(const std::shared_ptr<platform::HTTPReadStream>& stream, double timeout = 5) {
    auto outcome = startStream(stream);
    pumpUntil([&]() { return outcome->finished(); }, timeout);
    return *outcome;
}

inline StreamOutcome fetch(const std::string& method, const std::string& url) {
    return runStream(platform::HTTPReadStream::create(makeRequest(method, url)));
}

}  // namespace clipora::test
