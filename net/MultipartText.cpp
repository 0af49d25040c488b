#include "net/MultipartText.h"

#include "platform/foundation/Digest.h"

namespace clipora {

std::string MultipartText::randomBoundary(std::string_view prefix) {
    return std::string(prefix) + platform::Digest::hex(platform::Digest::randomBytes(12));
}

std::string MultipartText::escapeQuotedParameter(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '"': out += "%22"; break;
        case '\r': out += "%0D"; break;
        case '\n': out += "%0A"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

}  // namespace clipora
