#pragma once

#include "share/Core/SXSharer.h"

namespace clipora {

// Base of the local actions: no login, no network, no share form.
class SXLocalAction : public SXSharer {
public:
    bool shareRequiresInternetConnection() const override { return false; }
    bool requiresAuthentication() const override { return false; }
    bool shouldAutoShare() const override { return true; }
    // Nothing is stored, so there is nothing to forget.
    void logout() override {}

protected:
    // Shows the check mark with the text, then reports the share finished.
    void finishWithMessage(const char* text);
};

}  // namespace clipora
