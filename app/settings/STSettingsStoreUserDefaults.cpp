#include "app/settings/STSettingsStoreUserDefaults.h"

#include "platform/foundation/UserDefaults.h"

namespace clipora {

using namespace platform;

namespace {
std::shared_ptr<UserDefaults> defaults() { return UserDefaults::standardUserDefaults(); }
}  // namespace

void STSettingsStoreUserDefaults::setBoolForKey(bool value, const std::string& key) { defaults()->setBool(value, key); }
void STSettingsStoreUserDefaults::setFloatForKey(float value, const std::string& key) {
    defaults()->setFloat(value, key);
}
void STSettingsStoreUserDefaults::setDoubleForKey(double value, const std::string& key) {
    defaults()->setDouble(value, key);
}
void STSettingsStoreUserDefaults::setIntegerForKey(std::int32_t value, const std::string& key) {
    defaults()->setInteger(value, key);
}
void STSettingsStoreUserDefaults::setObjectForKey(const Value& value, const std::string& key) {
    defaults()->setObject(value, key);
}
bool STSettingsStoreUserDefaults::boolForKey(const std::string& key) { return defaults()->boolForKey(key); }
float STSettingsStoreUserDefaults::floatForKey(const std::string& key) { return defaults()->floatForKey(key); }
double STSettingsStoreUserDefaults::doubleForKey(const std::string& key) { return defaults()->doubleForKey(key); }
std::int32_t STSettingsStoreUserDefaults::integerForKey(const std::string& key) {
    return static_cast<std::int32_t>(defaults()->integerForKey(key));
}
std::optional<Value> STSettingsStoreUserDefaults::objectForKey(const std::string& key) {
    return defaults()->objectForKey(key);
}
bool STSettingsStoreUserDefaults::synchronize() { return defaults()->synchronize(); }

}  // namespace clipora
