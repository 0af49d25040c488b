#pragma once

#include <optional>

#include "platform/foundation/Value.h"

namespace clipora {

// A helper that turns values the serializer cannot write (data, dates,
// other objects) into ones it can. The serializer calls the operation it is
// handed (a member of a subclass, as a JCSerializerDelegate::Selector);
// nullopt means "no replacement".
class JCSerializerDelegate {
public:
    using Selector = std::optional<platform::Value> (JCSerializerDelegate::*)(const platform::Value& object);
    virtual ~JCSerializerDelegate() = default;
};

}  // namespace clipora
