#pragma once

#include <optional>
#include <string>

namespace clipora {

// The "User-Agent" a request sends when neither it nor its headers name
// one: set by the application, or made once from the main bundle (display
// name, version and build), the device (model, system and version) and the
// locale: "<name> <version>[ rv:<build>] (<model>; <system> <version>; <locale>)".
//
// Contract: process-wide; every operation may be called from any thread
// (one lock). Without a bundle name there is no default: requests send no
// "User-Agent". The string made is kept, so the bundle and device are read
// once until reset() or set() replaces it.
class RQUserAgent {
public:
    static std::optional<std::string> defaultString();
    static void setDefaultString(std::optional<std::string> agent);
    // Forgets the kept string (tests).
    static void reset() { setDefaultString(std::nullopt); }
};

}  // namespace clipora
