#pragma once

#include "app/settings/STSettingsStore.h"

namespace clipora {

// The typed operations of a store on top of two primitives, objectForKey and
// setObjectForKey, which subclasses implement: every typed value is stored
// as a number (boolean, 32-bit float, 32-bit integer, double). Calling a
// primitive of this class itself is a programming error (an exception named
// "Unimplemented").
class STAbstractSettingsStore : public STSettingsStore {
public:
    static constexpr const char* kUnimplementedException = "Unimplemented";

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
    // Nothing to write: answers NO.
    bool synchronize() override;
};

}  // namespace clipora
