#pragma once

namespace clipora::platform {

class Stream;

// Told of a scheduled stream's events (see Stream::Event), on the run loop
// the stream is scheduled on.
class StreamDelegate {
public:
    virtual ~StreamDelegate() = default;
    // `event` is one Stream::Event value.
    virtual void streamHandleEvent(Stream& stream, unsigned event) {
        (void)stream;
        (void)event;
    }
};

}  // namespace clipora::platform
