#include "platform/system/DeviceInfo.h"

#include <cstdlib>
#include <mutex>

#include <fstream>

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if_arp.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace clipora::platform {

namespace {

std::mutex& modelMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::string>& configuredModel() {
    static std::optional<std::string> model;
    return model;
}

}  // namespace

std::string DeviceInfo::hardwareModel() {
    {
        std::lock_guard lock(modelMutex());
        if (configuredModel()) return *configuredModel();
    }
    if (const char* env = std::getenv("CLIPORA_HW_MODEL"); env && *env) return env;
    struct utsname names {};
    if (uname(&names) == 0 && names.machine[0] != '\0') return names.machine;
    return "unknown";
}

void DeviceInfo::setHardwareModel(std::optional<std::string> model) {
    std::lock_guard lock(modelMutex());
    configuredModel() = std::move(model);
}

std::optional<std::array<std::uint8_t, 6>> DeviceInfo::hardwareAddress(const std::string& interfaceName) {
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::optional<std::array<std::uint8_t, 6>> found;
    for (auto* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET || interfaceName != entry->ifa_name) continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        if (link->sll_halen != 6) continue;
        std::array<std::uint8_t, 6> address{};
        std::copy(link->sll_addr, link->sll_addr + 6, address.begin());
        found = address;
        break;
    }
    freeifaddrs(list);
    return found;
}

std::uint64_t DeviceInfo::physicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::uint64_t DeviceInfo::cpuFrequency() {
    // The kernel's nominal maximum (kHz), else the first "cpu MHz" line.
    if (std::ifstream in("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq"); in) {
        std::uint64_t kilohertz = 0;
        if (in >> kilohertz && kilohertz > 0) return kilohertz * 1000;
    }
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("cpu MHz", 0) != 0) continue;
        const auto colon = line.find(':');
        if (colon == std::string::npos) break;
        try {
            const double megahertz = std::stod(line.substr(colon + 1));
            if (megahertz > 0) return static_cast<std::uint64_t>(megahertz * 1e6);
        } catch (const std::exception&) {
        }
        break;
    }
    return 0;
}

}  // namespace clipora::platform
