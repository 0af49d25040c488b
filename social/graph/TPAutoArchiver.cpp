#include "social/graph/TPAutoArchiver.h"

#include <algorithm>

#include "platform/foundation/Coding.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Value.h"

namespace clipora {

using platform::Value;

std::optional<std::vector<std::string>> TPAutoArchiver::propertyKeysForClass_(std::string_view className) {
    if (className.empty()) return std::nullopt;
    auto properties = platform::CodingRegistry::propertiesFor(className);
    if (!properties || properties->empty()) return std::nullopt;
    return properties->names();
}

std::vector<std::string> TPAutoArchiver::keysFor(const TPAutoArchiving& object) {
    std::vector<std::string> keys =
        propertyKeysForClass_(object.classNameForCoder()).value_or(std::vector<std::string>());
    for (const std::string& excluded : object.autoArchiverKeysToExclude()) std::erase(keys, excluded);
    for (std::string& added : object.autoArchiverKeysToAdd()) keys.push_back(std::move(added));
    return keys;
}

void TPAutoArchiver::archiveObjectWithCoder(const TPAutoArchiving* object, platform::KeyedArchiver* coder) {
    if (!object || !coder) return;
    Value::Dictionary values;
    for (const std::string& key : keysFor(*object)) values[key] = object->valueForKey(key).value_or(Value());
    coder->encodeObject(std::optional<Value>(Value(std::move(values))), kValuesBlobKey);
}

void TPAutoArchiver::unarchiveObjectWithCoder(TPAutoArchiving* object, platform::KeyedUnarchiver* coder) {
    if (!object || !coder) return;
    std::vector<std::string> allowed = {platform::Coding::kStringClass, platform::Coding::kNumberClass,
                                        platform::Coding::kDataClass,   platform::Coding::kDateClass,
                                        platform::Coding::kArrayClass,  platform::Coding::kDictionaryClass,
                                        platform::Coding::kNullClass};
    for (std::string& name : object->autoArchiverObjectClasses()) allowed.push_back(std::move(name));
    std::optional<Value::Dictionary> values = coder->decodeDictionary(kValuesBlobKey, allowed);
    if (!values) return;

    const std::vector<std::string> keys = keysFor(*object);
    std::vector<std::string> refused;
    for (const auto& [name, value] : *values) {
        if (std::find(keys.begin(), keys.end(), name) == keys.end()) continue;
        std::optional<Value> stored = value.isNull() ? std::nullopt : std::optional<Value>(value);
        if (object->setValueForKey(name, stored)) continue;
        // A value of the wrong kind (a damaged or foreign file): the
        // property stays absent rather than holding something else.
        object->setValueForKey(name, std::nullopt);
        refused.push_back(name);
    }
    if (!refused.empty())
        platform::Log::format("TPAutoArchiver: %@ ignored stored values of the wrong kind for %@",
                              object->classNameForCoder(), platform::Text::join(refused, ", "));
}

}  // namespace clipora
