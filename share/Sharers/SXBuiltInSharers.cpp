#include "share/Core/SXSharerRegistry.h"

namespace clipora {

// Every sharer class of the framework, by the name lists and favourites use.
void registerBuiltInSharers() {}

}  // namespace clipora
