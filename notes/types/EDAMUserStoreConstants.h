#pragma once

#include <cstdint>

namespace clipora {

// The interface version this client speaks, announced by checkVersion.
class EDAMUserStoreConstants {
public:
    EDAMUserStoreConstants() = delete;
    static std::int16_t EDAM_VERSION_MAJOR() { return 1; }
    static std::int16_t EDAM_VERSION_MINOR() { return 16; }
};

}  // namespace clipora
