#pragma once

namespace clipora::platform {

// A location in a view's coordinate space, in points (32-bit floats as on the
// device).
struct Point {
    float x = 0;
    float y = 0;

    static Point zero() { return {}; }

    friend bool operator==(const Point&, const Point&) = default;
};

}  // namespace clipora::platform
