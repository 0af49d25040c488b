#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace clipora {

class SXSharer;

// Sharers are named by their class names in every list, favourite and
// credential, and made from that name; an unknown name makes nothing.
// The built-in sharers register themselves on first use
// (registerBuiltInSharers, share/Sharers/SXBuiltInSharers.cpp).
class SXSharerRegistry {
public:
    using Factory = std::function<std::shared_ptr<SXSharer>()>;

    SXSharerRegistry() = delete;

    // Registers (or replaces) the class under its name.
    static void registerFactory(const std::string& name, Factory factory);
    template <class T>
    static void registerClass(const std::string& name);
    static void unregisterClass(const std::string& name);

    // A new sharer of the named class (initialised), or null.
    static std::shared_ptr<SXSharer> create(std::string_view name);
    static bool exists(std::string_view name);
    static std::vector<std::string> registeredNames();
};

// Registers every sharer class of the framework.
void registerBuiltInSharers();

}  // namespace clipora

#include "share/Core/SXSharer.h"

template <class T>
void clipora::SXSharerRegistry::registerClass(const std::string& name) {
    registerFactory(name, [] { return std::static_pointer_cast<SXSharer>(SXSharer::make<T>()); });
}
