#include "share/Sharers/SXLogout.h"

#include "share/Core/SX.h"

namespace clipora {

bool SXLogout::send() {
    SX::logoutOfAll();
    finishWithMessage("Logged Out!");
    return true;
}

}  // namespace clipora
