#pragma once

#include <map>
#include <memory>
#include <string>

#include "share/Core/DefaultSXConfigurator.h"
#include "share/Core/SXConfiguration.h"

namespace clipora::test {

// The built-in configuration with some keys answered otherwise (service
// keys, stand-in addresses), installed as the framework's configuration.
class ServiceConfigurator : public DefaultSXConfigurator {
public:
    explicit ServiceConfigurator(std::map<std::string, platform::Value, std::less<>> values) : values_(std::move(values)) {}

    static void install(std::map<std::string, platform::Value, std::less<>> values) {
        SXConfiguration::resetSharedInstance();
        SXConfiguration::sharedInstanceWithConfigurator(std::make_shared<ServiceConfigurator>(std::move(values)));
    }

    bool respondsToSelector(std::string_view name) const override {
        return values_.contains(name) || DefaultSXConfigurator::respondsToSelector(name);
    }
    std::optional<platform::Value> performSelector(std::string_view name) const override {
        if (auto it = values_.find(name); it != values_.end()) return it->second;
        return DefaultSXConfigurator::performSelector(name);
    }

private:
    std::map<std::string, platform::Value, std::less<>> values_;
};

}  // namespace clipora::test
