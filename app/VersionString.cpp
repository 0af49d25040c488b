#include "app/VersionString.h"

#include <string>
#include <vector>

#include "platform/foundation/Text.h"

namespace clipora {

using platform::Text;

int VersionString::compareVersion(std::string_view version, std::string_view other) {
    const std::vector<std::string> mine = Text::split(version, ".");
    const std::vector<std::string> theirs = Text::split(other, ".");
    const std::size_t shared = std::min(mine.size(), theirs.size());
    for (std::size_t i = 0; i < shared; ++i) {
        const auto a = Text::longLongValue(mine[i]);
        const auto b = Text::longLongValue(theirs[i]);
        if (a > b) return 1;
        if (a < b) return -1;
    }
    if (mine.size() > theirs.size()) return 1;
    if (mine.size() < theirs.size()) return -1;
    return 0;
}

}  // namespace clipora
