#include "platform/cfnetwork/Inflater.h"

#include <vector>

#include <zlib.h>

namespace clipora::platform {

struct Inflater::State {
    z_stream stream{};
    std::vector<std::uint8_t> output;
};

Inflater::Inflater(Format format) : format_(format), state_(std::make_unique<State>()) {}

Inflater::~Inflater() {
    if (started_) inflateEnd(&state_->stream);
}

bool Inflater::start(int windowBits) {
    const int status = inflateInit2(&state_->stream, windowBits);
    if (status != Z_OK) {
        lastStatus_ = status;
        return false;
    }
    started_ = true;
    state_->output.resize(kOutputPiece);
    return true;
}

Inflater::Result Inflater::feed(const std::uint8_t* bytes, std::size_t length, const Sink& sink) {
    if (length == 0) return Result::Ok;
    sawInput_ = true;
    if (!started_) {
        if (format_ == Format::GzipOrZlib) {
            if (!start(15 + 32)) return Result::Invalid;
        } else {
            // Raw deflate or zlib-wrapped: a zlib header is a multiple of 31
            // with the deflate method in its low bits.
            while (headLength_ < 2 && length > 0) {
                head_[headLength_++] = *bytes++;
                --length;
            }
            if (headLength_ < 2) return Result::Ok;
            const bool wrapped = (head_[0] & 0x0F) == 8 && ((head_[0] << 8) | head_[1]) % 31 == 0;
            if (!start(wrapped ? 15 : -15)) return Result::Invalid;
            const std::uint8_t head[2] = {head_[0], head_[1]};
            if (Result result = run(head, 2, sink); result != Result::Ok) return result;
        }
    }
    return run(bytes, length, sink);
}

Inflater::Result Inflater::run(const std::uint8_t* bytes, std::size_t length, const Sink& sink) {
    z_stream& stream = state_->stream;
    std::vector<std::uint8_t>& output = state_->output;
    stream.next_in = const_cast<Bytef*>(bytes);
    stream.avail_in = static_cast<uInt>(length);
    while (stream.avail_in > 0 || !ended_) {
        if (ended_) {
            // Another gzip member, or trailing bytes that are not ours.
            if (stream.avail_in >= 2 && stream.next_in[0] == 0x1f && stream.next_in[1] == 0x8b) {
                inflateReset(&stream);
                ended_ = false;
            } else {
                return Result::Ok;
            }
        }
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(output.size());
        const int status = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = output.size() - stream.avail_out;
        totalOut_ += produced;
        if (produced > 0 && !sink(output.data(), produced)) return Result::Stopped;
        if (status == Z_STREAM_END) {
            ended_ = true;
            continue;
        }
        if (status == Z_BUF_ERROR && stream.avail_in == 0) return Result::Ok;
        if (status != Z_OK && status != Z_BUF_ERROR) {
            lastStatus_ = status;
            return Result::Invalid;
        }
        // All input taken and room left over: the piece is done.
        if (stream.avail_in == 0 && stream.avail_out != 0) return Result::Ok;
    }
    return Result::Ok;
}

}  // namespace clipora::platform
