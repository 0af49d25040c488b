#pragma once

namespace clipora::platform {

// Distances from the four edges of a rectangle, in points.
struct EdgeInsets {
    float top = 0;
    float left = 0;
    float bottom = 0;
    float right = 0;

    static EdgeInsets zero() { return {}; }

    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

}  // namespace clipora::platform
