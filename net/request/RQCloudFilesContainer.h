#pragma once

#include <cstdint>
#include <string>

namespace clipora {

// A container of the cloud-files account, as a listing gives it.
struct RQCloudFilesContainer {
    std::string name;
    std::uint64_t count = 0;  // objects in the container
    std::uint64_t bytes = 0;
    bool cdnEnabled = false;
    std::uint64_t ttl = 0;  // seconds
    std::string cdnURL;
    bool logRetention = false;
    std::string referrerACL;
    std::string useragentACL;

    static RQCloudFilesContainer container() { return {}; }
};

}  // namespace clipora
