#include "platform/system/DeviceInfo.h"

#include <cstdlib>
#include <mutex>

#include <sys/utsname.h>

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

}  // namespace clipora::platform
