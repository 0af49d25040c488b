#include "platform/uikit/GeometryValue.h"

#include <memory>
#include <sstream>

namespace clipora::platform {

Value GeometryValue::valueWithRect(Rect rect) { return Value(std::make_shared<GeometryValue>(rect)); }
Value GeometryValue::valueWithPoint(Point point) { return Value(std::make_shared<GeometryValue>(point)); }
Value GeometryValue::valueWithSize(Size size) { return Value(std::make_shared<GeometryValue>(size)); }

std::optional<Rect> GeometryValue::rectFrom(const Value& value) {
    auto g = value.objectAs<GeometryValue>();
    if (!g || g->kind_ != Kind::Rect) return std::nullopt;
    return g->rect_;
}

std::optional<Point> GeometryValue::pointFrom(const Value& value) {
    auto g = value.objectAs<GeometryValue>();
    if (!g || g->kind_ != Kind::Point) return std::nullopt;
    return g->rect_.origin;
}

std::optional<Size> GeometryValue::sizeFrom(const Value& value) {
    auto g = value.objectAs<GeometryValue>();
    if (!g || g->kind_ != Kind::Size) return std::nullopt;
    return g->rect_.size;
}

std::string GeometryValue::description() const {
    std::ostringstream out;
    switch (kind_) {
    case Kind::Rect: out << "NSRect: " << rect_.description(); break;
    case Kind::Point: out << "NSPoint: {" << rect_.origin.x << ", " << rect_.origin.y << "}"; break;
    case Kind::Size: out << "NSSize: {" << rect_.size.width << ", " << rect_.size.height << "}"; break;
    }
    return out.str();
}

bool GeometryValue::isEqual(const Object& other) const {
    auto* g = dynamic_cast<const GeometryValue*>(&other);
    return g && g->kind_ == kind_ && g->rect_ == rect_;
}

}  // namespace clipora::platform
