#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"
#include "platform/foundation/Value.h"

namespace clipora {

// An object of a cloud-files container: from a listing (no data, no
// metadata) or from a GET of the object.
struct RQCloudFilesObject {
    std::string name;
    std::string hash;
    std::uint64_t bytes = 0;
    std::string contentType;
    std::optional<platform::Date> lastModified;
    platform::Data data;
    std::map<std::string, std::string> metadata;

    static RQCloudFilesObject object() { return {}; }
};

}  // namespace clipora
