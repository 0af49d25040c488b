#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace clipora::platform {

// Removes a gzip, zlib or raw deflate coding from data that arrives in
// pieces: the one zlib inflater of the HTTP stack (the URL connection's
// content codings, the request engine's compressed responses and files).
//
// Output goes to a sink in pieces of at most kOutputPiece bytes, from one
// buffer the inflater reuses for its whole life: inflating never grows the
// heap piece by piece, and a body that inflates to gigabytes is never held
// whole. The pointer handed to the sink is valid only during that call.
//
// Gzip members that follow one another are one body (also when a piece
// ends between two members); anything else after the end of the compressed
// data is ignored. One thread at a time.
class Inflater {
public:
    enum class Format {
        // gzip or zlib, told apart by the header.
        GzipOrZlib,
        // The "deflate" content coding: zlib-wrapped or raw, as servers
        // differ; the first two bytes tell.
        Deflate,
    };
    enum class Result {
        Ok,
        // The data is not valid for the coding (or zlib failed).
        Invalid,
        // The sink asked to stop.
        Stopped,
    };
    // Takes inflated bytes; false stops inflating (feed answers Stopped).
    using Sink = std::function<bool(const std::uint8_t* bytes, std::size_t length)>;

    static constexpr std::size_t kOutputPiece = 256 * 1024;

    explicit Inflater(Format format = Format::GzipOrZlib);
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    Result feed(const std::uint8_t* bytes, std::size_t length, const Sink& sink);
    // The zlib status behind the last Invalid (0 otherwise).
    int lastStatus() const { return lastStatus_; }

    // Whether the compressed data has reached its end.
    bool ended() const { return ended_; }
    // Whether any input came at all.
    bool sawInput() const { return sawInput_; }
    // The coded data ended properly, or nothing came at all.
    bool complete() const { return ended_ || !sawInput_; }
    std::uint64_t totalOutput() const { return totalOut_; }

private:
    struct State;
    Result run(const std::uint8_t* bytes, std::size_t length, const Sink& sink);
    bool start(int windowBits);

    const Format format_;
    std::unique_ptr<State> state_;
    bool started_ = false;
    bool ended_ = false;
    bool sawInput_ = false;
    int lastStatus_ = 0;
    std::uint64_t totalOut_ = 0;
    // The first bytes of a "deflate" body, until two have come.
    std::uint8_t head_[2] = {0, 0};
    std::size_t headLength_ = 0;
};

}  // namespace clipora::platform
