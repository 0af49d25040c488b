#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"

namespace clipora {

// The localized text for the key from "ShareCore.bundle" (default table),
// or the key itself when there is no translation.
std::string localizedShareString(std::string_view key);

// The localized format filled with the arguments (Text::format rules; a
// text that came from a server goes in as an argument of "%@", never as the
// format).
template <class... Args>
std::string localizedShareFormat(std::string_view format, const Args&... args) {
    return platform::Text::format(localizedShareString(format), args...);
}

// A form value or URL component, percent-encoded in UTF-8 with everything
// but A-Z a-z 0-9 "-._~" escaped (so "+", "&", "=", "@", "/" never change
// what the receiver reads). An entity-escaped "&amp;" is read as "&" first.
// None gives the empty text.
std::string encodeQueryValue(const std::optional<std::string>& text);

// The URL's absolute string with every reserved character escaped, for use
// as a parameter value. None gives the empty text.
std::string encodeURLString(const std::optional<platform::URL>& url);

}  // namespace clipora
