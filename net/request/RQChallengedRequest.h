#pragma once

#include <optional>
#include <string>

#include "platform/foundation/URL.h"

namespace clipora {

// A request that waits for credentials, as the login dialog sees it: who
// asked and for what, and the two answers the request takes. The request
// engine's requests implement it; the dialog knows nothing else of them.
//
// Contract: the dialog calls these on the main thread; the answers return
// at once and the request acts on them on its own thread. The dialog keeps
// the request alive until it has answered.
class RQChallengedRequest {
public:
    // Who asked: the same values as RQHTTPRequest::AuthenticationState.
    enum Party : int { kNoParty = 0, kServer = 1, kProxy = 2 };

    struct Challenge {
        Party party = kNoParty;
        std::optional<platform::URL> url;  // the request's URL
        std::string proxyHost;
        int proxyPort = 0;
        // The scheme and realm of the party that asked.
        std::string scheme;
        std::optional<std::string> realm;
    };

    virtual Challenge credentialsChallenge() const = 0;
    virtual std::optional<platform::URL> url() const = 0;
    // Takes the credentials for the party that asked (the domain only for
    // a scheme that wants one) and sends the request again.
    virtual void retryWithCredentials(const std::string& user, const std::string& password,
                                      const std::optional<std::string>& domain) = 0;
    // Gives up: the request fails as one whose credentials were refused.
    virtual void cancelAuthentication() = 0;

protected:
    ~RQChallengedRequest() = default;
};

}  // namespace clipora
