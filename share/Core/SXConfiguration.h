#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"
#include "platform/uikit/Color.h"
#include "share/Core/DefaultSXConfigurator.h"

namespace clipora {

namespace platform {
class ViewController;
}

// Every tunable of the sharing framework, asked for by key through one
// configurator. The single instance is made on first use with a
// LegacySXConfigurator unless the application installed one first.
class SXConfiguration {
public:
    static constexpr const char* kIllegalStateReason = "SXConfiguration has already been configured with a delegate.";

    explicit SXConfiguration(std::shared_ptr<DefaultSXConfigurator> configurator);

    // The single configuration (made under a lock, so from any thread).
    static std::shared_ptr<SXConfiguration> sharedInstance();
    // Makes the single configuration with the application's configurator;
    // throws platform::Exception "IllegalStateException" when one exists.
    static std::shared_ptr<SXConfiguration> sharedInstanceWithConfigurator(
        std::shared_ptr<DefaultSXConfigurator> configurator);

    // The value of the key, none when no configurator answers it.
    std::optional<platform::Value> configurationValue(std::string_view key) const;
    // "barTintForView:" asked with the screen to be tinted.
    std::optional<platform::Color> barTintForView(const std::shared_ptr<platform::ViewController>& controller) const;

    const std::shared_ptr<DefaultSXConfigurator>& configurator() const { return configurator_; }

    // Readings of the shared configuration as callers use them: a missing
    // key reads as false, 0 or the empty text.
    static bool boolValue(std::string_view key);
    static std::int64_t integerValue(std::string_view key);
    static double doubleValue(std::string_view key);
    static std::string stringValue(std::string_view key);
    // The text of the key, or `fallback` when it is missing or empty.
    static std::string stringValueOr(std::string_view key, std::string_view fallback);

    // Forgets the single instance (tests).
    static void resetSharedInstance();

private:
    std::shared_ptr<DefaultSXConfigurator> configurator_;
};

}  // namespace clipora
