#pragma once

#include <string>
#include <string_view>

namespace clipora {

// A signing method of the OAuth consumer.
class OASignatureProviding {
public:
    virtual ~OASignatureProviding() = default;
    // The method's name in the "Authorization" header.
    virtual std::string name() const = 0;
    virtual std::string signClearTextWithSecret(std::string_view text, std::string_view secret) const = 0;
};

}  // namespace clipora
