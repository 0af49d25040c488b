#include "platform/foundation/Locale.h"

#include <cstdlib>

namespace clipora::platform {

std::string Locale::currentLocaleIdentifier() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        std::string identifier = value;
        identifier = identifier.substr(0, identifier.find_first_of(".@"));
        if (identifier.empty() || identifier == "C" || identifier == "POSIX") break;
        return identifier;
    }
    return "en_US";
}

}  // namespace clipora::platform
