#pragma once

#include "share/Core/Helpers/OAuth/OASignatureProviding.h"

namespace clipora {

// PLAINTEXT: the signature is the secret itself.
class OAPlaintextSignatureProvider : public OASignatureProviding {
public:
    std::string name() const override { return "PLAINTEXT"; }
    std::string signClearTextWithSecret(std::string_view, std::string_view secret) const override {
        return std::string(secret);
    }
};

}  // namespace clipora
