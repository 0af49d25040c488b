#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLAuthenticationChallengeSender.h"
#include "platform/cfnetwork/URLCredential.h"
#include "platform/cfnetwork/URLProtectionSpace.h"
#include "platform/foundation/Error.h"

namespace clipora::platform {

// A demand for credentials met while loading: where (the protection space:
// server or proxy, realm, authentication method, or a server trust to
// decide on), how often credentials for it failed in this load already,
// the credential the stores propose, the response that asked (401/407),
// and the sender that waits for the answer. Immutable.
class URLAuthenticationChallenge {
public:
    URLAuthenticationChallenge(URLProtectionSpace protectionSpace, std::optional<URLCredential> proposedCredential,
                               int previousFailureCount, std::shared_ptr<HTTPURLResponse> failureResponse,
                               std::optional<Error> error, std::shared_ptr<URLAuthenticationChallengeSender> sender);

    const URLProtectionSpace& protectionSpace() const { return protectionSpace_; }
    // The space's default credential in the shared credential storage, or
    // the user and password written in the URL; none on a repeated failure
    // of that same credential.
    const std::optional<URLCredential>& proposedCredential() const { return proposedCredential_; }
    int previousFailureCount() const { return previousFailureCount_; }
    // The 401/407 response; null for server-trust and client-certificate
    // challenges.
    const std::shared_ptr<HTTPURLResponse>& failureResponse() const { return failureResponse_; }
    const std::optional<Error>& error() const { return error_; }
    const std::shared_ptr<URLAuthenticationChallengeSender>& sender() const { return sender_; }

private:
    URLProtectionSpace protectionSpace_;
    std::optional<URLCredential> proposedCredential_;
    int previousFailureCount_;
    std::shared_ptr<HTTPURLResponse> failureResponse_;
    std::optional<Error> error_;
    std::shared_ptr<URLAuthenticationChallengeSender> sender_;
};

}  // namespace clipora::platform
