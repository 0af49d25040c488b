#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "platform/foundation/Value.h"
#include "platform/uikit/Color.h"

namespace clipora {

namespace platform {
class ViewController;
}

// The built-in answer of every configuration key of the sharing framework.
// An application that wants other values subclasses it (or the legacy
// configurator) and answers its own keys from respondsToSelector and
// performSelector.
class DefaultSXConfigurator {
public:
    virtual ~DefaultSXConfigurator() = default;

    // Whether the configurator has an answer for the key.
    virtual bool respondsToSelector(std::string_view name) const;
    // The answer for the key; none when the configurator has no such key.
    virtual std::optional<platform::Value> performSelector(std::string_view name) const;
    // The tint of a framework screen's bars ("barTintForView:"); none keeps
    // the platform's tint.
    virtual std::optional<platform::Color> barTintForView(
        const std::shared_ptr<platform::ViewController>& controller) const;

    // The built-in answers, by key.
    static const platform::Value::Dictionary& defaults();
};

}  // namespace clipora
