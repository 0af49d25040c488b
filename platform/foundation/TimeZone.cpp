#include "platform/foundation/TimeZone.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace clipora::platform {

std::string TimeZone::localTimeZoneName() {
    if (const char* tz = std::getenv("TZ"); tz && *tz) {
        std::string name = tz;
        if (name.front() == ':') name.erase(0, 1);
        if (!name.empty()) return name;
    }
    if (std::ifstream in("/etc/timezone"); in) {
        std::string name;
        if (std::getline(in, name) && !name.empty()) return name;
    }
    std::error_code error;
    const auto target = std::filesystem::read_symlink("/etc/localtime", error).string();
    if (!error) {
        constexpr std::string_view marker = "zoneinfo/";
        if (auto at = target.find(marker); at != std::string::npos) return target.substr(at + marker.size());
    }
    return "GMT";
}

}  // namespace clipora::platform
