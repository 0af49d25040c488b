#pragma once

#include "share/Core/SXStrings.h"
#include "share/Sharers/SXLocalAction.h"

namespace clipora {

// Puts the link (or the picture) on the general pasteboard.
class SXCopy : public SXLocalAction {
public:
    std::string sharerTitle() const override { return localizedShareString("Copy"); }
    std::string sharerId() const override { return "SXCopy"; }
    bool canShareURL() const override { return true; }
    bool canShareImage() const override { return true; }
    bool send() override;
};

}  // namespace clipora
