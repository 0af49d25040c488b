#include "platform/foundation/PropertyTable.h"

namespace clipora::platform {

std::vector<std::string> PropertyTable::names() const {
    std::vector<std::string> out;
    out.reserve(properties_.size());
    for (const Property& property : properties_) out.push_back(property.name);
    return out;
}

const PropertyTable::Property* PropertyTable::find(std::string_view name) const {
    for (const Property& property : properties_)
        if (property.name == name) return &property;
    return nullptr;
}

std::optional<Value> PropertyTable::get(const Object& object, std::string_view name) const {
    const Property* property = find(name);
    if (!property) return std::nullopt;
    return property->get(object);
}

bool PropertyTable::set(Object& object, std::string_view name, const std::optional<Value>& value) const {
    const Property* property = find(name);
    if (!property) return false;
    return property->set(object, value);
}

}  // namespace clipora::platform
