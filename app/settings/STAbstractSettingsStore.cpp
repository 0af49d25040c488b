#include "app/settings/STAbstractSettingsStore.h"

#include "platform/foundation/Exception.h"

namespace clipora {

using namespace platform;

void STAbstractSettingsStore::setBoolForKey(bool value, const std::string& key) { setObjectForKey(Value(value), key); }

void STAbstractSettingsStore::setFloatForKey(float value, const std::string& key) {
    setObjectForKey(Value(static_cast<double>(value)), key);
}

void STAbstractSettingsStore::setDoubleForKey(double value, const std::string& key) {
    setObjectForKey(Value(value), key);
}

void STAbstractSettingsStore::setIntegerForKey(std::int32_t value, const std::string& key) {
    setObjectForKey(Value(static_cast<int>(value)), key);
}

void STAbstractSettingsStore::setObjectForKey(const Value&, const std::string&) {
    throw Exception(kUnimplementedException,
                    "setObject:forKey: must be implemented in subclasses of STAbstractSettingsStore");
}

std::optional<Value> STAbstractSettingsStore::objectForKey(const std::string&) {
    throw Exception(kUnimplementedException,
                    "objectForKey: must be implemented in subclasses of STAbstractSettingsStore");
}

bool STAbstractSettingsStore::boolForKey(const std::string& key) {
    auto value = objectForKey(key);
    return value && value->boolValue();
}

float STAbstractSettingsStore::floatForKey(const std::string& key) {
    auto value = objectForKey(key);
    return value ? static_cast<float>(value->doubleValue()) : 0.0f;
}

double STAbstractSettingsStore::doubleForKey(const std::string& key) {
    auto value = objectForKey(key);
    return value ? value->doubleValue() : 0.0;
}

std::int32_t STAbstractSettingsStore::integerForKey(const std::string& key) {
    auto value = objectForKey(key);
    return value ? value->intValue() : 0;
}

bool STAbstractSettingsStore::synchronize() { return false; }

}  // namespace clipora
