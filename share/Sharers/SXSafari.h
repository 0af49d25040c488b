#pragma once

#include "share/Core/SXStrings.h"
#include "share/Sharers/SXLocalAction.h"

namespace clipora {

// Opens the link in the system browser.
class SXSafari : public SXLocalAction {
public:
    std::string sharerTitle() const override { return localizedShareString("Open in Safari"); }
    std::string sharerId() const override { return "SXSafari"; }
    bool canShareURL() const override { return true; }
    bool send() override;
};

}  // namespace clipora
