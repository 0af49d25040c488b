#include "platform/foundation/CodingRegistry.h"

#include <map>
#include <mutex>

#include "platform/foundation/Coding.h"
#include "platform/foundation/InvalidArgumentException.h"

namespace clipora::platform {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, CodingRegistry::Decoder, std::less<>> decoders;
    std::map<std::string, std::shared_ptr<const PropertyTable>, std::less<>> properties;
};

Registry& registry() {
    // Never destroyed: archiving runs on background threads too, also while
    // statics are destroyed at exit.
    static Registry& instance = *new Registry;
    return instance;
}

bool isReservedName(std::string_view name) {
    for (const char* reserved : {Coding::kStringClass, Coding::kNumberClass, Coding::kDataClass, Coding::kDateClass,
                                 Coding::kArrayClass, Coding::kDictionaryClass, Coding::kNullClass})
        if (name == reserved) return true;
    return false;
}

}  // namespace

void CodingRegistry::registerClass(const std::string& name, Decoder decoder) {
    if (name.empty() || name.front() == '$' || isReservedName(name))
        throw InvalidArgumentException("CodingRegistry: \"" + name + "\" cannot name a codable class");
    if (!decoder) throw InvalidArgumentException("CodingRegistry: no decoder for \"" + name + "\"");
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.decoders.insert_or_assign(name, std::move(decoder));
}

bool CodingRegistry::isRegistered(std::string_view name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.decoders.find(name) != r.decoders.end();
}

CodingRegistry::Decoder CodingRegistry::decoderFor(std::string_view name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.decoders.find(name);
    return it == r.decoders.end() ? Decoder() : it->second;
}

void CodingRegistry::registerProperties(const std::string& className, PropertyTable table) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.properties.insert_or_assign(className, std::make_shared<const PropertyTable>(std::move(table)));
}

std::shared_ptr<const PropertyTable> CodingRegistry::propertiesFor(std::string_view className) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.properties.find(className);
    return it == r.properties.end() ? nullptr : it->second;
}

}  // namespace clipora::platform
