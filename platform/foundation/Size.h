#pragma once

namespace clipora::platform {

// A width and height in points (32-bit floats).
struct Size {
    float width = 0;
    float height = 0;

    static Size zero() { return {}; }

    friend bool operator==(const Size&, const Size&) = default;
};

}  // namespace clipora::platform
