#include "share/Core/SXSharerRegistry.h"

#include <atomic>
#include <map>
#include <mutex>

namespace clipora {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, SXSharerRegistry::Factory, std::less<>> factories;
};

Registry& registry() {
    static auto* shared = new Registry;
    // The built-in classes register through registerFactory, which lands
    // here again: the flag is set before they start, so that call goes on.
    static std::atomic<bool> builtInsStarted{false};
    if (!builtInsStarted.exchange(true)) registerBuiltInSharers();
    return *shared;
}

}  // namespace

void SXSharerRegistry::registerFactory(const std::string& name, Factory factory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.factories[name] = std::move(factory);
}

void SXSharerRegistry::unregisterClass(const std::string& name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.factories.erase(name);
}

std::shared_ptr<SXSharer> SXSharerRegistry::create(std::string_view name) {
    Factory factory;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.factories.find(name);
        if (it == r.factories.end()) return nullptr;
        factory = it->second;
    }
    return factory();
}

bool SXSharerRegistry::exists(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.factories.find(name) != r.factories.end();
}

std::vector<std::string> SXSharerRegistry::registeredNames() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<std::string> names;
    for (const auto& [name, factory] : r.factories) names.push_back(name);
    return names;
}

}  // namespace clipora
