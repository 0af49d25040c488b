#pragma once

#include "share/Core/SXStrings.h"
#include "share/Sharers/SXLocalAction.h"

namespace clipora {

// Logs out of every service of the sharer list.
class SXLogout : public SXLocalAction {
public:
    std::string sharerTitle() const override { return localizedShareString("Logout"); }
    std::string sharerId() const override { return "SXLogout"; }
    bool canShareURL() const override { return true; }
    bool canShareText() const override { return true; }
    bool canShareImage() const override { return true; }
    bool canShareFile() const override { return true; }
    bool send() override;
};

}  // namespace clipora
