#include "platform/cfnetwork/ServerTrust.h"

#include <utility>

namespace clipora::platform {

ServerTrust::ServerTrust(TLSPeerTrust peer) : peer_(std::move(peer)) {}

ServerTrust::Result ServerTrust::evaluate() const {
    if (peer_.certificateChain.empty()) return Result::FatalTrustFailure;
    return peer_.trusted() ? Result::Unspecified : Result::RecoverableTrustFailure;
}

std::string ServerTrust::description() const {
    std::string text =
        "<ServerTrust host=" + peer_.host + " certificates=" + std::to_string(peer_.certificateChain.size());
    text += peer_.trusted() ? " trusted>" : " untrusted: " + peer_.verifyDescription + ">";
    return text;
}

}  // namespace clipora::platform
