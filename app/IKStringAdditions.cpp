#include "app/IKStringAdditions.h"

#include <cctype>
#include <limits>

#include "app/VersionString.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/Text.h"

namespace clipora {

using namespace platform;

std::string IKStringAdditions::md5Hash(const Data& data) { return Digest::hex(Digest::md5(std::span(data))); }

std::string IKStringAdditions::sha1Hash(const Data& data) { return Digest::hex(Digest::sha1(std::span(data))); }

std::string IKStringAdditions::md5Hash(std::string_view text) { return Digest::hex(Digest::md5(text)); }

std::string IKStringAdditions::sha1Hash(std::string_view text) { return Digest::hex(Digest::sha1(text)); }

bool IKStringAdditions::isWhitespaceAndNewlines(std::string_view text) {
    return Text::trimWhitespaceAndNewlines(text).empty();
}

float IKStringAdditions::heightWithFontConstrainedToWidthLineBreakMode(std::string_view text, const Font& font,
                                                                       float width, LineBreakMode mode) {
    return font.sizeOfTextConstrainedToSize(text, Size{width, std::numeric_limits<float>::max()}, mode).height;
}

std::map<std::string, std::vector<Value>> IKStringAdditions::queryContentsUsingEncoding(std::string_view text) {
    std::map<std::string, std::vector<Value>> contents;
    for (const std::string& pair : Text::splitByCharacters(text, "&;", true)) {
        const std::vector<std::string> parts = Text::split(pair, "=");
        if (parts.size() > 2) continue;
        const std::string key = Text::percentUnescape(parts[0]).value_or(parts[0]);
        if (parts.size() == 1)
            contents[key].push_back(Value());
        else
            contents[key].push_back(Value(Text::percentUnescape(parts[1]).value_or(parts[1])));
    }
    return contents;
}

std::string IKStringAdditions::stringByAddingPercentEscapesForURLParameter(std::string_view text) {
    return Text::percentEscapeLegalURL(text, ";/?:@&=+$,");
}

std::string IKStringAdditions::stringByAddingQueryDictionary(std::string_view text, const Value::Dictionary& query) {
    std::vector<std::string> pairs;
    for (const auto& [key, value] : query)
        pairs.push_back(key + "=" + stringByAddingPercentEscapesForURLParameter(value.description()));
    if (pairs.empty()) return std::string(text);
    return std::string(text) + (Text::contains(text, "?") ? "&" : "?") + Text::join(pairs, "&");
}

int IKStringAdditions::versionStringCompare(std::string_view version, std::string_view other) {
    const auto mine = Text::splitAtFirst(version, "a");
    const auto theirs = Text::splitAtFirst(other, "a");
    const std::string_view myBase = mine ? std::string_view(mine->first) : version;
    const std::string_view theirBase = theirs ? std::string_view(theirs->first) : other;
    if (int order = VersionString::compareVersion(myBase, theirBase)) return order;
    if (!mine && !theirs) return 0;
    if (!mine) return 1;
    if (!theirs) return -1;
    const auto a = Text::longLongValue(mine->second);
    const auto b = Text::longLongValue(theirs->second);
    return a > b ? 1 : a < b ? -1 : 0;
}

}  // namespace clipora
