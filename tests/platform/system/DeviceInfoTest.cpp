#include "platform/system/DeviceInfo.h"

#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"

#include <cstdlib>

#include <sys/utsname.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace clipora::platform {
namespace {

TEST(DeviceInfoTest, ModelComesFromConfigurationThenEnvironmentThenUname) {
    struct utsname names {};
    ASSERT_EQ(uname(&names), 0);
    ::unsetenv("CLIPORA_HW_MODEL");
    EXPECT_EQ(DeviceInfo::hardwareModel(), names.machine);
    ::setenv("CLIPORA_HW_MODEL", "iPhone4,1", 1);
    EXPECT_EQ(DeviceInfo::hardwareModel(), "iPhone4,1");
    DeviceInfo::setHardwareModel("iPad2,5");
    EXPECT_EQ(DeviceInfo::hardwareModel(), "iPad2,5");
    DeviceInfo::setHardwareModel(std::nullopt);
    ::unsetenv("CLIPORA_HW_MODEL");
    EXPECT_EQ(DeviceInfo::hardwareModel(), names.machine);
    EXPECT_EQ(DeviceInfo::systemName(), "iPhone OS");
    EXPECT_EQ(DeviceInfo::systemVersion(), "5.1");
}

TEST(DeviceInfoTest, InterfacesMemoryAndClock) {
    EXPECT_EQ(DeviceInfo::hardwareAddress("no-such-interface0"), std::nullopt);
    // The loopback interface has a six-byte link address of zeros.
    if (auto loopback = DeviceInfo::hardwareAddress("lo")) {
        EXPECT_EQ(*loopback, (std::array<std::uint8_t, 6>{}));
    }
    const auto pages = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES));
    EXPECT_EQ(DeviceInfo::physicalMemory(), pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)));
    (void)DeviceInfo::cpuFrequency();  // 0 when the system does not tell
}

TEST(DeviceInfoTest, LocaleAndTimeZoneFromTheEnvironment) {
    const char* savedLang = std::getenv("LANG");
    const std::string lang = savedLang ? savedLang : "";
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "de_CH.UTF-8", 1);
    EXPECT_EQ(Locale::currentLocaleIdentifier(), "de_CH");
    ::setenv("LANG", "C", 1);
    EXPECT_EQ(Locale::currentLocaleIdentifier(), "en_US");
    if (savedLang) {
        ::setenv("LANG", lang.c_str(), 1);
    } else {
        ::unsetenv("LANG");
    }

    const char* savedTZ = std::getenv("TZ");
    const std::string tz = savedTZ ? savedTZ : "";
    ::setenv("TZ", ":Europe/Zurich", 1);
    EXPECT_EQ(TimeZone::localTimeZoneName(), "Europe/Zurich");
    if (savedTZ) {
        ::setenv("TZ", tz.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    EXPECT_FALSE(TimeZone::localTimeZoneName().empty());
}

}  // namespace
}  // namespace clipora::platform
