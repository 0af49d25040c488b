#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <openssl/ssl.h>
#include <boost/system/error_code.hpp>

#include "platform/cfnetwork/TLSIdentity.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// What the client learnt about a server's certificate during a handshake:
// the chain the server sent (leaf first, DER) and OpenSSL's verdict on the
// chain and on the host name, whether or not the connection enforced it.
struct TLSPeerTrust {
    std::string host;
    std::vector<Data> certificateChain;
    long verifyResult = -1;         // X509_V_OK (0) when chain and name are trusted
    std::string verifyDescription;  // OpenSSL's text for verifyResult

    bool trusted() const { return verifyResult == 0; }
    // The error the core reports when it refuses this peer.
    Error error() const;
};

// Trust policy for every TLS connection the HTTP core makes. Certificates are
// verified against the system store plus one extra CA file (extraCAFile()).
// There is deliberately no process-wide switch that turns verification off:
// only a single connection may be made without it.
class TLSTrust {
public:
    TLSTrust() = delete;

    static constexpr const char* kExtraCAFileVariable = "CLIPORA_CA_FILE";

    // The extra CA file that contexts configured from now on load: the one
    // $CLIPORA_CA_FILE named when the process started, until
    // setExtraCAFile() names another (std::nullopt or empty: none). Safe from
    // any thread: I/O threads configure contexts while a test or the device
    // program changes the file, which the environment could not allow.
    static std::optional<std::string> extraCAFile();
    // Answers the file named before.
    static std::optional<std::string> setExtraCAFile(std::optional<std::string> path);

    // Loads the trust anchors and the client identity (with its chain) into
    // a client context, TLS 1.2 and later. False (and the reason) when the
    // identity does not fit; a missing or unreadable CA file is only logged.
    static bool configureContext(SSL_CTX* context, const std::shared_ptr<TLSIdentity>& identity, std::string* problem);

    // Per connection: SNI with the URL host (not for address literals) and
    // host-name matching. With `enforce` a failed check fails the handshake;
    // without it the handshake completes and peerTrust() tells the verdict.
    static void configureSession(SSL* ssl, const std::string& host, bool enforce);

    static TLSPeerTrust peerTrust(SSL* ssl, const std::string& host);

    // The error for a failed handshake, in the OSStatus TLS range.
    static Error handshakeError(SSL* ssl, const boost::system::error_code& ec);
    static Error verifyError(long verifyResult);
};

}  // namespace clipora::platform
