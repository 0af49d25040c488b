#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/foundation/Point.h"
#include "platform/foundation/Rect.h"
#include "platform/foundation/Size.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// A rectangle, point or size boxed as an object, so it can travel in a
// Value (a notification's user info, for instance).
class GeometryValue : public Object {
public:
    enum class Kind { Point, Size, Rect };

    explicit GeometryValue(Rect rect) : kind_(Kind::Rect), rect_(rect) {}
    explicit GeometryValue(Point point) : kind_(Kind::Point), rect_(point, {}) {}
    explicit GeometryValue(Size size) : kind_(Kind::Size), rect_({}, size) {}

    static Value valueWithRect(Rect rect);
    static Value valueWithPoint(Point point);
    static Value valueWithSize(Size size);
    // The boxed geometry when `value` holds a GeometryValue of that kind.
    static std::optional<Rect> rectFrom(const Value& value);
    static std::optional<Point> pointFrom(const Value& value);
    static std::optional<Size> sizeFrom(const Value& value);

    Kind kind() const { return kind_; }
    Rect rectValue() const { return rect_; }
    Point pointValue() const { return rect_.origin; }
    Size sizeValue() const { return rect_.size; }

    // "NSRect: {{x, y}, {w, h}}", "NSPoint: {x, y}", "NSSize: {w, h}".
    std::string description() const override;
    bool isEqual(const Object& other) const override;

private:
    Kind kind_;
    Rect rect_;
};

}  // namespace clipora::platform
