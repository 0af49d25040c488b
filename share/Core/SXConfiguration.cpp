#include "share/Core/SXConfiguration.h"

#include <mutex>

#include "platform/foundation/Exception.h"
#include "share/Core/LegacySXConfigurator.h"

namespace clipora {

namespace {

std::mutex& instanceMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<SXConfiguration>& instance() {
    static auto* shared = new std::shared_ptr<SXConfiguration>;
    return *shared;
}

}  // namespace

SXConfiguration::SXConfiguration(std::shared_ptr<DefaultSXConfigurator> configurator)
    : configurator_(std::move(configurator)) {}

std::shared_ptr<SXConfiguration> SXConfiguration::sharedInstance() {
    std::lock_guard lock(instanceMutex());
    if (!instance()) instance() = std::make_shared<SXConfiguration>(std::make_shared<LegacySXConfigurator>());
    return instance();
}

std::shared_ptr<SXConfiguration> SXConfiguration::sharedInstanceWithConfigurator(
    std::shared_ptr<DefaultSXConfigurator> configurator) {
    std::lock_guard lock(instanceMutex());
    if (instance()) throw platform::Exception(platform::Exception::kIllegalStateName, kIllegalStateReason);
    instance() = std::make_shared<SXConfiguration>(std::move(configurator));
    return instance();
}

void SXConfiguration::resetSharedInstance() {
    std::lock_guard lock(instanceMutex());
    instance().reset();
}

std::optional<platform::Value> SXConfiguration::configurationValue(std::string_view key) const {
    if (!configurator_ || !configurator_->respondsToSelector(key)) return std::nullopt;
    return configurator_->performSelector(key);
}

std::optional<platform::Color> SXConfiguration::barTintForView(
    const std::shared_ptr<platform::ViewController>& controller) const {
    return configurator_ ? configurator_->barTintForView(controller) : std::nullopt;
}

bool SXConfiguration::boolValue(std::string_view key) {
    auto value = sharedInstance()->configurationValue(key);
    return value && value->boolValue();
}

std::int64_t SXConfiguration::integerValue(std::string_view key) {
    auto value = sharedInstance()->configurationValue(key);
    return value ? value->longLongValue() : 0;
}

double SXConfiguration::doubleValue(std::string_view key) {
    auto value = sharedInstance()->configurationValue(key);
    return value ? value->doubleValue() : 0;
}

std::string SXConfiguration::stringValue(std::string_view key) {
    auto value = sharedInstance()->configurationValue(key);
    return value && value->isString() ? *value->string() : std::string();
}

std::string SXConfiguration::stringValueOr(std::string_view key, std::string_view fallback) {
    auto text = stringValue(key);
    return text.empty() ? std::string(fallback) : text;
}

}  // namespace clipora
