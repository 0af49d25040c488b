#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace clipora::standin {

// The media files the stand-in serves, made on demand so that no binary
// sits in the repository. Both are deterministic for a given seed.
class StandinMedia {
public:
    StandinMedia() = delete;

    // A small well-formed MP4 file: "ftyp", then "moov" (movie header and
    // one video track whose single sample is the media data), then "mdat"
    // with `mediaBytes` bytes of filler derived from `seed`.
    static std::string mp4(std::string_view seed, std::size_t mediaBytes, std::uint32_t width, std::uint32_t height);
    // An RGB PNG of that size: a two-colour pattern whose colours come from
    // `seed`.
    static std::string png(std::string_view seed, std::uint32_t width, std::uint32_t height);
};

}  // namespace clipora::standin
