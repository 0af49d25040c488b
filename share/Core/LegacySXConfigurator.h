#pragma once

#include <optional>
#include <string_view>

#include "platform/foundation/Value.h"
#include "share/Core/DefaultSXConfigurator.h"

namespace clipora {

// The configurator in force unless the application installs its own: a
// dictionary of 48 values built when it is made, falling back to the
// built-in answers for keys the dictionary lacks.
class LegacySXConfigurator : public DefaultSXConfigurator {
public:
    LegacySXConfigurator();

    bool respondsToSelector(std::string_view name) const override;
    std::optional<platform::Value> performSelector(std::string_view name) const override;

    const platform::Value::Dictionary& configuration() const { return configuration_; }

protected:
    // For configurators of applications that start from the legacy values.
    platform::Value::Dictionary& mutableConfiguration() { return configuration_; }

private:
    platform::Value::Dictionary configuration_;
};

}  // namespace clipora
