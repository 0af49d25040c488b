#include "platform/cfnetwork/URLProtectionSpace.h"

#include <utility>

#include "platform/foundation/Text.h"

namespace clipora::platform {

URLProtectionSpace::URLProtectionSpace(std::string host, int port, std::string protocol,
                                       std::optional<std::string> realm, std::string_view authenticationMethod)
    : host_(std::move(host)), port_(port), protocol_(std::move(protocol)), realm_(std::move(realm)),
      authenticationMethod_(authenticationMethod) {}

URLProtectionSpace URLProtectionSpace::proxySpace(std::string host, int port, std::string_view proxyType,
                                                  std::optional<std::string> realm,
                                                  std::string_view authenticationMethod) {
    URLProtectionSpace space;
    space.host_ = std::move(host);
    space.port_ = port;
    space.proxyType_ = std::string(proxyType);
    space.realm_ = std::move(realm);
    space.authenticationMethod_ = std::string(authenticationMethod);
    return space;
}

bool URLProtectionSpace::receivesCredentialSecurely() const {
    if (authenticationMethod_ == kAuthenticationMethodHTTPDigest ||
        authenticationMethod_ == kAuthenticationMethodNTLM || authenticationMethod_ == kAuthenticationMethodNegotiate ||
        authenticationMethod_ == kAuthenticationMethodClientCertificate ||
        authenticationMethod_ == kAuthenticationMethodServerTrust)
        return true;
    if (protocol_) return Text::equalsCaseInsensitive(*protocol_, "https");
    return proxyType_ && Text::equalsCaseInsensitive(*proxyType_, kProxyTypeHTTPS);
}

bool URLProtectionSpace::isPasswordMethod(std::string_view method) {
    return method == kAuthenticationMethodDefault || method == kAuthenticationMethodHTTPBasic ||
           method == kAuthenticationMethodHTTPDigest || method == kAuthenticationMethodHTMLForm ||
           method == kAuthenticationMethodNTLM || method == kAuthenticationMethodNegotiate;
}

bool operator==(const URLProtectionSpace& a, const URLProtectionSpace& b) {
    return Text::equalsCaseInsensitive(a.host_, b.host_) && a.port_ == b.port_ && a.protocol_ == b.protocol_ &&
           a.proxyType_ == b.proxyType_ && a.realm_ == b.realm_ && a.authenticationMethod_ == b.authenticationMethod_;
}

std::string URLProtectionSpace::description() const {
    std::string text = host_ + ":" + std::to_string(port_) + " " + (protocol_ ? *protocol_ : "proxy " + *proxyType_);
    if (realm_) text += " realm=" + *realm_;
    text += " method=" + authenticationMethod_;
    return text;
}

}  // namespace clipora::platform
