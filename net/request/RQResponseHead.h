#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/foundation/Text.h"

namespace clipora {

// How the request engine reads a response head: lengths, ranges, the
// connection's reuse and the body's text encoding. Pure functions of their
// arguments, safe on any thread; a value that cannot be read is "none",
// never a guess.
class RQResponseHead {
public:
    // "Content-Length": decimal digits only (at most 19); anything else is
    // unknown.
    static std::optional<std::uint64_t> contentLength(const std::string& text);
    // The first byte of "Content-Range: bytes FIRST-LAST/TOTAL".
    static std::optional<std::uint64_t> contentRangeStart(const std::string& value);
    // The complete length of an unsatisfiable range, "bytes */TOTAL".
    static std::optional<std::uint64_t> unsatisfiedRangeLength(const std::string& value);

    // Whether the connection may carry another request after this answer,
    // and for how long: HTTP/1.1 (or "Connection: keep-alive") without
    // "Connection: close"; a "Keep-Alive" value counts only with a timeout
    // and more than five requests left (its timeout then replaces the
    // request's).
    struct Reuse {
        bool reusable = false;
        std::optional<double> timeoutSeconds;
    };
    static Reuse connectionReuse(const platform::HTTPMessage& head, const platform::HTTPHeaders& headers);

    // The MIME type and the charset's encoding of a Content-Type value: the
    // charset parameter's name in any case, its value with or without
    // quotes; an unknown charset leaves `encoding` unchanged.
    static void mimeTypeAndEncoding(std::string* mimeType, platform::Text::Encoding* encoding,
                                    const std::optional<std::string>& contentType);
};

}  // namespace clipora
