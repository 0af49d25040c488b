#pragma once

namespace clipora::platform {

// The version number of the platform's core library, by which code decides
// whether a later platform feature exists. This platform reports the number
// of the system version the device answers ("5.1": 675.0); tests may set an
// older one to see the fallbacks.
class CoreFoundationVersion {
public:
    static constexpr double kCurrent = 675.0;
    // The first releases with background execution and with the decimal pad.
    static constexpr double kBackgroundVersion = 550.32;
    static constexpr double kDecimalPadVersion = 550.38;

    CoreFoundationVersion() = delete;

    static double number();
    static void setNumber(double number);
    // Back to kCurrent.
    static void reset();
};

}  // namespace clipora::platform
