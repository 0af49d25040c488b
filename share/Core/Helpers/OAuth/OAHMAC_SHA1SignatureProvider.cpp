#include "share/Core/Helpers/OAuth/OAHMAC_SHA1SignatureProvider.h"

#include "platform/foundation/Base64.h"
#include "platform/foundation/Digest.h"

namespace clipora {

std::string OAHMAC_SHA1SignatureProvider::signClearTextWithSecret(std::string_view text,
                                                                  std::string_view secret) const {
    return platform::Base64::encode(platform::Digest::hmacSHA1(secret, text));
}

}  // namespace clipora
