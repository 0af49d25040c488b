#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace clipora::standin {

// How the stand-in misbehaves for one path (see StandinServer::setKnob).
// Fields left at their defaults change nothing.
struct StandinKnob {
    // Wait this long before the reply (the server side waits; a stop ends
    // the wait at once).
    std::chrono::milliseconds delay{0};
    // Keep the request unanswered until StandinServer::releaseHeld() or the
    // server stops.
    bool hold = false;
    // Answer with this status instead of running the path's handler. The
    // body is `body` when set, else an HTML error page.
    int status = 0;
    // Answer with this body (status 200 unless `status`) instead of running
    // the handler.
    std::optional<std::string> body;
    // Replace the reply's Content-Type.
    std::optional<std::string> contentType;
    // Extra reply headers (replacing those of the same name).
    std::vector<std::pair<std::string, std::string>> headers;
    // Announce the whole body's length but send only this many bytes of it,
    // then close the connection.
    std::optional<std::size_t> truncateAfter;
    // Send the head at once and wait this long before sending the body.
    std::chrono::milliseconds bodyDelay{0};
    // A slow link: the body goes out this many bytes at a time, each piece
    // its own TLS record (so the client can hand it on as it arrives), with
    // `trickleInterval` between pieces. 0: at full speed.
    std::size_t tricklePiece = 0;
    std::chrono::milliseconds trickleInterval{100};
    // Applies to this many requests and is then dropped; negative: always.
    int times = -1;
};

}  // namespace clipora::standin
