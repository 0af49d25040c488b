#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/cfnetwork/ServerTrust.h"

namespace clipora::platform {

// Where a credential applies: a server (host, port, protocol, realm and
// authentication method) or a proxy (host, port, proxy type, realm). A plain
// value type; two spaces are equal when every part is (host without regard to
// letter case). A server-trust space also carries the trust being asked about.
class URLProtectionSpace {
public:
    // Authentication methods.
    static constexpr std::string_view kAuthenticationMethodDefault = "NSURLAuthenticationMethodDefault";
    static constexpr std::string_view kAuthenticationMethodHTTPBasic = "NSURLAuthenticationMethodHTTPBasic";
    static constexpr std::string_view kAuthenticationMethodHTTPDigest = "NSURLAuthenticationMethodHTTPDigest";
    static constexpr std::string_view kAuthenticationMethodHTMLForm = "NSURLAuthenticationMethodHTMLForm";
    static constexpr std::string_view kAuthenticationMethodNTLM = "NSURLAuthenticationMethodNTLM";
    static constexpr std::string_view kAuthenticationMethodNegotiate = "NSURLAuthenticationMethodNegotiate";
    static constexpr std::string_view kAuthenticationMethodClientCertificate =
        "NSURLAuthenticationMethodClientCertificate";
    static constexpr std::string_view kAuthenticationMethodServerTrust = "NSURLAuthenticationMethodServerTrust";

    // Proxy types.
    static constexpr std::string_view kProxyTypeHTTP = "http";
    static constexpr std::string_view kProxyTypeHTTPS = "https";
    static constexpr std::string_view kProxyTypeSOCKS = "SOCKS";

    // A server space. `protocol` is the URL scheme ("http", "https").
    URLProtectionSpace(std::string host, int port, std::string protocol, std::optional<std::string> realm,
                       std::string_view authenticationMethod = kAuthenticationMethodDefault);
    // A proxy space.
    static URLProtectionSpace proxySpace(std::string host, int port, std::string_view proxyType,
                                         std::optional<std::string> realm,
                                         std::string_view authenticationMethod = kAuthenticationMethodDefault);

    const std::string& host() const { return host_; }
    int port() const { return port_; }
    // The protocol of a server space; none for a proxy space.
    const std::optional<std::string>& protocol() const { return protocol_; }
    const std::optional<std::string>& proxyType() const { return proxyType_; }
    const std::optional<std::string>& realm() const { return realm_; }
    const std::string& authenticationMethod() const { return authenticationMethod_; }
    bool isProxy() const { return proxyType_.has_value(); }
    // True when a password sent to this space cannot be read on the way:
    // HTTPS, Digest, NTLM, or a proxy reached over TLS.
    bool receivesCredentialSecurely() const;

    // The trust being evaluated, for a server-trust space.
    const std::shared_ptr<ServerTrust>& serverTrust() const { return serverTrust_; }
    void setServerTrust(std::shared_ptr<ServerTrust> trust) { serverTrust_ = std::move(trust); }

    // Whether the method is one answered with a user name and password
    // (Default, Basic, Digest, HTML form, NTLM, Negotiate).
    static bool isPasswordMethod(std::string_view authenticationMethod);

    // Same host (any case), port, protocol or proxy type, realm and
    // authentication method.
    friend bool operator==(const URLProtectionSpace& a, const URLProtectionSpace& b);
    friend bool operator!=(const URLProtectionSpace& a, const URLProtectionSpace& b) { return !(a == b); }

    // "<host>:<port> <protocol or proxy type> realm=<realm> method=<method>".
    std::string description() const;

private:
    URLProtectionSpace() = default;

    std::string host_;
    int port_ = 0;
    std::optional<std::string> protocol_;
    std::optional<std::string> proxyType_;
    std::optional<std::string> realm_;
    std::string authenticationMethod_;
    std::shared_ptr<ServerTrust> serverTrust_;
};

}  // namespace clipora::platform
