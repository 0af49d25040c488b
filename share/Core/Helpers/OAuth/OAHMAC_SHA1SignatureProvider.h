#pragma once

#include "share/Core/Helpers/OAuth/OASignatureProviding.h"

namespace clipora {

// HMAC-SHA1 (RFC 2104) keyed with the secret, as Base64 (28 characters).
class OAHMAC_SHA1SignatureProvider : public OASignatureProviding {
public:
    std::string name() const override { return "HMAC-SHA1"; }
    std::string signClearTextWithSecret(std::string_view text, std::string_view secret) const override;
};

}  // namespace clipora
