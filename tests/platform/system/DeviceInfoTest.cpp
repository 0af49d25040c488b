#include "platform/system/DeviceInfo.h"

#include <sys/utsname.h>

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

}  // namespace
}  // namespace clipora::platform
