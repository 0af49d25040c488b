#pragma once

#include <cstdint>
#include <optional>

namespace clipora {

// What an ad module registers with the agent to read its blocks of an
// upload reply. The agent does not own parsers.
class TallyAdParser {
public:
    virtual ~TallyAdParser() = default;

    // Reads from `data` (`length` bytes remain) and answers the position just
    // past what it consumed. The default answers nothing: a parser that does
    // not read replies.
    virtual std::optional<const std::uint8_t*> parseDataBufferLength(const std::uint8_t* data, std::int32_t length) {
        (void)data;
        (void)length;
        return std::nullopt;
    }
};

}  // namespace clipora
