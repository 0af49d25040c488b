#include "net/engine/BKStringEncoding.h"

#include "platform/foundation/Digest.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UUID.h"

namespace clipora {

std::string BKStringEncoding::md5(std::string_view text) {
    const auto zero = text.find('\0');
    if (zero != std::string_view::npos) text = text.substr(0, zero);
    return platform::Digest::hex(platform::Digest::md5(text));
}

std::string BKStringEncoding::uniqueString() { return platform::UUID::newUUIDString(); }

std::string BKStringEncoding::urlEncodedString(std::string_view text) { return platform::Text::percentEscape(text); }

std::string BKStringEncoding::urlDecodedString(std::string_view text) {
    return platform::Text::formUnescape(text).value_or(std::string());
}

}  // namespace clipora
