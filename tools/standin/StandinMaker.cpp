#include "tools/standin/StandinMaker.h"

#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Value.h"

namespace clipora::standin {

namespace {

// A list nested deeper than any the maker writes is cut off there.
constexpr int kMaxDepth = 32;

platform::Value toValue(const Json& json, int depth) {
    if (json.is_boolean()) return platform::Value(json.get<bool>());
    if (json.is_number_integer()) return platform::Value(json.get<std::int64_t>());
    if (json.is_number()) return platform::Value(json.get<double>());
    if (json.is_string()) return platform::Value(json.get<std::string>());
    if (json.is_array()) {
        platform::Value::Array items;
        if (depth < kMaxDepth)
            for (const auto& item : json) items.push_back(toValue(item, depth + 1));
        return platform::Value(std::move(items));
    }
    if (json.is_object()) {
        platform::Value::Dictionary entries;
        if (depth < kMaxDepth)
            for (const auto& [key, item] : json.items()) entries.emplace(key, toValue(item, depth + 1));
        return platform::Value(std::move(entries));
    }
    return platform::Value(std::string());  // null has no property-list form
}

}  // namespace

StandinReply StandinMaker::handle(const StandinRequest& request) {
    if (request.method != "GET") return StandinReply::errorPage(405, "The file host only serves files.");
    std::string name;
    if (request.path == kVersionsPath)
        name = "versions";
    else if (request.path == kNewsPath)
        name = "news";
    else
        return StandinReply::errorPage(404, "The file you requested was not found.");
    auto bytes = platform::PropertyList::toData(toValue(data_.makerList(name), 0));
    if (!bytes) return StandinReply::errorPage(500, "The list cannot be written as a property list.");
    StandinReply reply;
    reply.contentType = "application/x-plist";
    reply.body.assign(bytes->begin(), bytes->end());
    return reply;
}

}  // namespace clipora::standin
