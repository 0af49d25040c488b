#include "share/Sharers/SXFoursquareV2Venue.h"

namespace clipora {

using platform::Value;

namespace {

std::optional<std::string> stringAt(const Value* value) {
    if (!value) return std::nullopt;
    if (const std::string* text = value->string()) return *text;
    return std::nullopt;
}

}  // namespace

std::shared_ptr<SXFoursquareV2Venue> SXFoursquareV2Venue::venueFromDictionary(const Value& dictionary) {
    auto venue = std::make_shared<SXFoursquareV2Venue>();
    venue->venueId = stringAt(dictionary.find("id"));
    venue->name = stringAt(dictionary.find("name"));
    if (const Value* location = dictionary.find("location")) venue->address = stringAt(location->find("address"));
    if (const Value* categories = dictionary.find("categories"); categories && categories->array()) {
        for (const Value& category : *categories->array()) {
            const Value* primary = category.find("primary");
            if (primary && primary->boolValue()) {
                venue->icon = stringAt(category.find("icon"));
                break;
            }
        }
    }
    return venue;
}

}  // namespace clipora
