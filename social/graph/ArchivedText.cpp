#include "social/graph/ArchivedText.h"

#include "platform/foundation/Coding.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace clipora {

std::optional<std::string> ArchivedText::read(platform::KeyedUnarchiver& coder, std::string_view key) {
    auto value = coder.decodeObject(
        key, {platform::Coding::kStringClass, platform::Coding::kNumberClass, platform::Coding::kDataClass,
              platform::Coding::kDateClass, platform::Coding::kNullClass});
    if (!value || !value->isString()) return std::nullopt;
    return *value->string();
}

}  // namespace clipora
