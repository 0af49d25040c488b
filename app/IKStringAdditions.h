#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/uikit/Font.h"

namespace clipora {

// The interface kit's text and data helpers: digests as hexadecimal text,
// query strings, and version comparison. Class operations only.
class IKStringAdditions {
public:
    IKStringAdditions() = delete;

    // Lower-case hexadecimal MD5 (32 characters) and SHA-1 (40).
    static std::string md5Hash(const platform::Data& data);
    static std::string sha1Hash(const platform::Data& data);
    static std::string md5Hash(std::string_view text);
    static std::string sha1Hash(std::string_view text);

    // Every character is white space or a line break (true for "").
    static bool isWhitespaceAndNewlines(std::string_view text);
    // The height of the text wrapped to `width` in `font`, unbounded
    // downwards.
    static float heightWithFontConstrainedToWidthLineBreakMode(std::string_view text, const platform::Font& font,
                                                               float width, platform::LineBreakMode mode);

    // Key -> values of a query string. Pairs are separated by runs of "&"
    // or ";"; "k" adds the null value, "k=v" the unescaped value, pairs with
    // more than one "=" are skipped; keys and values are percent-unescaped
    // (UTF-8).
    static std::map<std::string, std::vector<platform::Value>> queryContentsUsingEncoding(std::string_view text);
    // UTF-8 percent escapes, also of ";/?:@&=+$,".
    static std::string stringByAddingPercentEscapesForURLParameter(std::string_view text);
    // The text with "key=escaped value" pairs joined by "&", after "?" (or
    // "&" when the text already holds a "?").
    static std::string stringByAddingQueryDictionary(std::string_view text, const platform::Value::Dictionary& query);

    // 1 when `version` is newer than `other`, -1 when older, 0 when equal.
    // The parts before the alpha marker "a" compare component-wise as
    // numbers ("1.10" is newer than "1.9"); then a version without "a" is
    // newer than one with it, and two alphas compare by the number after "a".
    static int versionStringCompare(std::string_view version, std::string_view other);
};

}  // namespace clipora
