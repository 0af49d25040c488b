#pragma once

#include "app/settings/STAbstractSettingsStore.h"

namespace clipora {

// Keeps the values in the application's standard user defaults, where the
// rest of the application reads them ("downloadHD"). Nothing is cached; the
// defaults write and announce each change themselves.
class STSettingsStoreUserDefaults : public STAbstractSettingsStore {
public:
    void setBoolForKey(bool value, const std::string& key) override;
    void setFloatForKey(float value, const std::string& key) override;
    void setDoubleForKey(double value, const std::string& key) override;
    void setIntegerForKey(std::int32_t value, const std::string& key) override;
    void setObjectForKey(const platform::Value& value, const std::string& key) override;
    bool boolForKey(const std::string& key) override;
    float floatForKey(const std::string& key) override;
    double doubleForKey(const std::string& key) override;
    std::int32_t integerForKey(const std::string& key) override;
    std::optional<platform::Value> objectForKey(const std::string& key) override;
    bool synchronize() override;
};

}  // namespace clipora
