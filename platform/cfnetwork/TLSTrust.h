#pragma once

#include <memory>
#include <string>
#include <vector>

#include <boost/system/error_code.hpp>
#include <openssl/ssl.h>

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
    long verifyResult = -1;          // X509_V_OK (0) when chain and name are trusted
    std::string verifyDescription;   // OpenSSL's text for verifyResult

    bool trusted() const { return verifyResult == 0; }
    // The error the core reports when it refuses this peer.
    Error error() const;
};

// Trust policy for every TLS connection the HTTP core makes. Certificates are
// verified against the system store plus the extra CA file named by
// $CLIPORA_CA_FILE (read again for every new connection, so tests can point
// it at a CA they made). There is deliberately no process-wide switch that
// turns verification off: only a single connection may be made without it.
class TLSTrust {
public:
    TLSTrust() = delete;

    static constexpr const char* kExtraCAFileVariable = "CLIPORA_CA_FILE";

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
