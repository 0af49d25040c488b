#pragma once

#include <optional>
#include <string>

namespace clipora::platform {

// What the system tells about the machine it runs on. The hardware model
// identifier (the kernel's "hw.machine" on the device) is, in this order: the
// value set with setHardwareModel(), $CLIPORA_HW_MODEL, or the machine field
// of uname() ("x86_64"). Safe from any thread.
class DeviceInfo {
public:
    // The system name and version the platform layer reports (the same
    // defaults as Device).
    static constexpr const char* kSystemName = "iPhone OS";
    static constexpr const char* kSystemVersion = "5.1";

    DeviceInfo() = delete;

    static std::string hardwareModel();
    // Overrides the model; std::nullopt goes back to the environment / uname.
    static void setHardwareModel(std::optional<std::string> model);

    static std::string systemName() { return kSystemName; }
    static std::string systemVersion() { return kSystemVersion; }
};

}  // namespace clipora::platform
