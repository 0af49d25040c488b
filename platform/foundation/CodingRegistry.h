#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"
#include "platform/foundation/PropertyTable.h"

namespace clipora::platform {

class KeyedUnarchiver;

// The process-wide table of codable classes by name: for each, the function
// that rebuilds an instance from an archive and, for record classes, the
// table of its declared properties. Safe from any thread.
//
// Registering again under a name replaces the entry, so a class may register
// itself from a static initializer and from an explicit set-up call alike.
class CodingRegistry {
public:
    // Rebuilds an object from the coder positioned on its archived state.
    // nullptr means "no object" (for instance, a version the class no longer
    // reads); a class that finds its state invalid calls
    // KeyedUnarchiver::failWithError first.
    using Decoder = std::function<std::shared_ptr<Object>(KeyedUnarchiver&)>;

    CodingRegistry() = delete;

    // Throws InvalidArgumentException for an empty name or one of the value
    // kind names of Coding.
    static void registerClass(const std::string& name, Decoder decoder);
    // For a class T with `static std::shared_ptr<T> initWithCoder(KeyedUnarchiver&)`.
    template <class T>
    static void registerClass(const std::string& name) {
        registerClass(name, [](KeyedUnarchiver& coder) -> std::shared_ptr<Object> { return T::initWithCoder(coder); });
    }
    static bool isRegistered(std::string_view name);
    static Decoder decoderFor(std::string_view name);

    static void registerProperties(const std::string& className, PropertyTable table);
    // The class's declared properties; nullptr when it registered none.
    static std::shared_ptr<const PropertyTable> propertiesFor(std::string_view className);
};

}  // namespace clipora::platform
