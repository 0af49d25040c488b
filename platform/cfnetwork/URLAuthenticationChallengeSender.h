#pragma once

#include <memory>

#include "platform/cfnetwork/URLCredential.h"

namespace clipora::platform {

class URLAuthenticationChallenge;

// Who waits for the answer to an authentication challenge (the URL
// connection that raised it). Exactly one answer counts; later ones, and
// answers to a challenge whose connection was cancelled, are ignored. An
// answer may come at once, inside the delegate's callback, or later from
// the same run loop.
class URLAuthenticationChallengeSender {
public:
    virtual ~URLAuthenticationChallengeSender() = default;

    // Goes on with the credential (user and password, the server's trust,
    // or a client identity).
    virtual void useCredentialForAuthenticationChallenge(
        const URLCredential& credential, const std::shared_ptr<URLAuthenticationChallenge>& challenge) = 0;
    // Goes on without: a 401/407 response is then delivered as it is; a
    // server's trust is decided by its evaluation alone.
    virtual void continueWithoutCredentialForAuthenticationChallenge(
        const std::shared_ptr<URLAuthenticationChallenge>& challenge) = 0;
    // Stops the load: it fails with "user cancelled authentication" (-1012).
    virtual void cancelAuthenticationChallenge(const std::shared_ptr<URLAuthenticationChallenge>& challenge) = 0;
    // What happens when nobody answers: the proposed credential on a first
    // attempt, else as continueWithoutCredential.
    virtual void performDefaultHandlingForAuthenticationChallenge(
        const std::shared_ptr<URLAuthenticationChallenge>& challenge) = 0;
    // This protection space is not wanted: as continueWithoutCredential.
    virtual void rejectProtectionSpaceAndContinueWithChallenge(
        const std::shared_ptr<URLAuthenticationChallenge>& challenge) = 0;
};

}  // namespace clipora::platform
