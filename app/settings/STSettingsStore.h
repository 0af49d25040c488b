#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace clipora {

// Where the settings screens read and write every value. All operations are
// required. A value never stored reads as absent (objectForKey) or NO / 0.
class STSettingsStore {
public:
    virtual ~STSettingsStore() = default;

    virtual void setBoolForKey(bool value, const std::string& key) = 0;
    virtual void setFloatForKey(float value, const std::string& key) = 0;
    virtual void setDoubleForKey(double value, const std::string& key) = 0;
    virtual void setIntegerForKey(std::int32_t value, const std::string& key) = 0;
    virtual void setObjectForKey(const platform::Value& value, const std::string& key) = 0;
    virtual bool boolForKey(const std::string& key) = 0;
    virtual float floatForKey(const std::string& key) = 0;
    virtual double doubleForKey(const std::string& key) = 0;
    virtual std::int32_t integerForKey(const std::string& key) = 0;
    virtual std::optional<platform::Value> objectForKey(const std::string& key) = 0;
    // Answers whether the values reached their lasting place.
    virtual bool synchronize() = 0;
};

}  // namespace clipora
