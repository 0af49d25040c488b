#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/cfnetwork/TLSTrust.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// The trust decision about a server met in a TLS handshake, handed to a
// connection's delegate in a server-trust challenge. The chain and host were
// already checked during the handshake against the system store plus the
// extra CA file; evaluate() reports that verdict in the platform's terms.
class ServerTrust : public Object {
public:
    // Values of the platform's trust-result enumeration.
    enum class Result {
        Invalid = 0,
        Proceed = 1,
        Confirm = 2,
        Deny = 3,
        Unspecified = 4,
        RecoverableTrustFailure = 5,
        FatalTrustFailure = 6,
        OtherError = 7,
    };

    explicit ServerTrust(TLSPeerTrust peer);

    // Unspecified (the chain leads to a trusted anchor and names the host,
    // with no explicit user setting) or RecoverableTrustFailure (it does
    // not); FatalTrustFailure when the server sent no certificate.
    Result evaluate() const;
    // Proceed or Unspecified.
    static bool isTrustedResult(Result result) { return result == Result::Proceed || result == Result::Unspecified; }
    bool isTrusted() const { return isTrustedResult(evaluate()); }

    const std::string& host() const { return peer_.host; }
    // Leaf first, DER.
    const std::vector<Data>& certificateChain() const { return peer_.certificateChain; }
    const TLSPeerTrust& peer() const { return peer_; }

    std::string description() const override;

private:
    TLSPeerTrust peer_;
};

}  // namespace clipora::platform
