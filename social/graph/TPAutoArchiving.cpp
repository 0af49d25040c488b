#include "social/graph/TPAutoArchiving.h"

#include "platform/foundation/CodingRegistry.h"

namespace clipora {

std::optional<platform::Value> TPAutoArchiving::valueForKey(std::string_view key) const {
    auto properties = platform::CodingRegistry::propertiesFor(classNameForCoder());
    if (!properties) return std::nullopt;
    return properties->get(*this, key);
}

bool TPAutoArchiving::setValueForKey(std::string_view key, const std::optional<platform::Value>& value) {
    auto properties = platform::CodingRegistry::propertiesFor(classNameForCoder());
    if (!properties) return false;
    return properties->set(*this, key, value);
}

}  // namespace clipora
