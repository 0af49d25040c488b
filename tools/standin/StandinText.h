#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace clipora::standin {

// Text helpers of the stand-in: URL decoding, forms, status phrases. HTML
// and URL escaping come from the platform (MarkupEscaping, Text).
class StandinText {
public:
    StandinText() = delete;

    // Decodes %XX (and, when `plusIsSpace`, "+"); nullopt for a bad escape.
    static std::optional<std::string> percentUnescape(std::string_view text, bool plusIsSpace);
    // "a=1&b=2" (application/x-www-form-urlencoded); nullopt for a bad
    // escape. A later pair replaces an earlier one; a piece without "=" has
    // the empty value.
    static std::optional<std::map<std::string, std::string>> parseForm(std::string_view text);
    // "a=1&b=2" from the pairs, each value percent-escaped.
    static std::string formEncode(const std::map<std::string, std::string>& pairs);
    static std::string reasonPhrase(int status);
    // The decoded action attribute of the first form of an HTML page, or of
    // the form with that id ("" when none).
    static std::string formAction(std::string_view html, std::string_view formId = {});
};

}  // namespace clipora::standin
