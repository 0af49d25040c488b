#pragma once

#include <array>
#include <cstdint>
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
    // The link-level (hardware) address of the named network interface, six
    // bytes; std::nullopt when the system has no such interface or it has no
    // six-byte address.
    static std::optional<std::array<std::uint8_t, 6>> hardwareAddress(const std::string& interfaceName);
    // Installed memory in bytes (64-bit: machines have more than 4 GiB).
    static std::uint64_t physicalMemory();
    // The processor's nominal clock in hertz; 0 when the system does not say.
    static std::uint64_t cpuFrequency();
    static std::string systemVersion() { return kSystemVersion; }
};

}  // namespace clipora::platform
