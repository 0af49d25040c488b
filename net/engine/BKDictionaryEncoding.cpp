#include "net/engine/BKDictionaryEncoding.h"

#include "net/engine/BKJSONSerialization.h"
#include "net/engine/BKStringEncoding.h"
#include "platform/foundation/PropertyList.h"

namespace clipora {

std::string BKDictionaryEncoding::urlEncodedKeyValueString(const platform::Value::Dictionary& fields) {
    std::string out;
    for (const auto& [key, value] : fields) {
        if (!out.empty()) out.push_back('&');
        out += BKStringEncoding::urlEncodedString(key);
        out.push_back('=');
        out += BKStringEncoding::urlEncodedString(value.isString() ? *value.string() : value.description());
    }
    return out;
}

std::string BKDictionaryEncoding::jsonEncodedKeyValueString(const platform::Value::Dictionary& fields) {
    return BKJSONSerialization::dataWithJSONObject(platform::Value(fields)).value_or(std::string());
}

std::string BKDictionaryEncoding::plistEncodedKeyValueString(const platform::Value::Dictionary& fields) {
    auto data = platform::PropertyList::toData(platform::Value(fields), platform::PropertyList::Format::XML);
    if (!data) return {};
    return std::string(data->begin(), data->end());
}

}  // namespace clipora
