#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/URL.h"

namespace clipora {

// The OAuth consumer's percent-encoding (RFC 3986 unreserved characters
// kept, everything else escaped in UTF-8) and its readers.
class OAURLEncoding {
public:
    OAURLEncoding() = delete;

    static std::string URLEncodedString(std::string_view text);
    // Escapes removed; the text as it stands when they do not decode.
    static std::string URLDecodedString(std::string_view text);
    // The URL's absolute string up to the first "?".
    static std::string URLStringWithoutQuery(const platform::URL& url);
    // The URL as the signature base string names it (RFC 5849 section
    // 3.4.1.2): scheme and host in lower case, the port only when it is not
    // the scheme's default (80 for http, 443 for https), the path as written
    // ("/" when empty); no user information, query or fragment. The server
    // signs what it was reached at, not how the address was spelt.
    static std::string baseStringURI(const platform::URL& url);
    // Form-encoded pairs: split at "&", then at the first "="; a piece
    // without "=" is a name with an empty value; empty pieces are skipped.
    // `plusIsSpace` reads "+" as a blank (form bodies and queries).
    static std::vector<std::pair<std::string, std::string>> decodePairs(std::string_view text, bool plusIsSpace);
};

}  // namespace clipora
