#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace clipora {

// A place of the check-in service.
class SXFoursquareV2Venue {
public:
    // "id", "name", "location"."address", and the icon of the first
    // category marked primary (none when no category is).
    static std::shared_ptr<SXFoursquareV2Venue> venueFromDictionary(const platform::Value& dictionary);

    std::optional<std::string> venueId;
    std::optional<std::string> name;
    std::optional<std::string> address;
    std::optional<std::string> icon;
};

}  // namespace clipora
