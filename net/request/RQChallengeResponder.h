#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "net/request/RQChallengedRequest.h"
#include "net/request/RQLockedProperty.h"
#include "net/request/RQSessionCredentialStore.h"
#include "platform/cfnetwork/HTTPAuthentication.h"
#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

// How one request answers authentication: the credentials it presents up
// front, and the answer to a server's (401) or a proxy's (407) challenge —
// Basic, Digest or NTLM credentials from the URL, the caller, the session
// store or the permanent store, else from the delegate or the login dialog,
// with the count of credentials applied so that a party that keeps refusing
// ends the request.
//
// Contract:
// - Ownership: part of its request (made with it, never outliving it). It
//   owns the challenge state of each party (the authentication object, the
//   credentials applied, scheme, realm, retries) and the request's
//   authentication settings; it sees the request only through Exchange.
// - Threads: the state is kept under the request's property mutex (the one
//   given to the constructor) and may be read from any thread; the steps
//   run on the request's own thread, answer() with the request's exchange
//   lock held (the request takes it). A step that must look for or ask for
//   credentials holds the session store's challenge lock meanwhile, so
//   requests waiting on the same party take turns.
// - Order: applyUpFrontCredentials() before each attempt is sent; answer()
//   once the body of a challenged attempt has arrived. The answer either
//   sends the request again (Exchange::sendAgain), leaves it waiting for
//   the delegate or the dialog (whose reply comes back through the
//   request), or fails it (Exchange::fail).
class RQChallengeResponder {
public:
    using Side = RQSessionCredentialStore::Side;
    using Credentials = RQSessionCredentialStore::Credentials;
    using SessionRecord = RQSessionCredentialStore::Record;

    // A user name, password and domain the caller gave a request.
    struct Account {
        std::optional<std::string> user;
        std::optional<std::string> password;
        std::optional<std::string> domain;
    };

    // The request as the responder sees it.
    class Exchange {
    public:
        virtual std::optional<platform::URL> url() const = 0;
        // Whether the caller's own credentials may go to url(): it is the
        // origin the request was made for.
        virtual bool isOriginalOrigin() const = 0;
        // The caller's account for the party: this request's own, or that
        // of the request a HEAD companion works for (`ofMainRequest`).
        virtual Account account(Side side, bool ofMainRequest) const = 0;
        // The proxy the request goes through (host, port).
        virtual std::pair<std::string, int> proxyEndpoint() const = 0;
        // Whether any answer arrived yet (a challenge names a realm).
        virtual bool hasResponse() const = 0;
        // The message being sent and the head of the answer that challenged it.
        virtual std::shared_ptr<platform::HTTPMessage> outgoingMessage() const = 0;
        virtual std::shared_ptr<platform::HTTPMessage> challengeHead() const = 0;
        virtual bool hasRequestHeader(const std::string& name) const = 0;
        virtual void addRequestHeader(const std::string& name, const std::string& value) = 0;
        // Failed or cancelled: nothing more is done for it.
        virtual bool hasEnded() const = 0;
        // Ends the challenged attempt (its streams and temporary files).
        virtual void stopAttempt() = 0;
        virtual void fail(const platform::Error& error) = 0;
        // Sends the request again with what has been applied.
        virtual void sendAgain() = 0;
        // The request waits for an answer: no time-out while it does.
        virtual void forgetLastActivity() = 0;
        // Asks the delegate (or the queue) on the main thread; false when
        // none answers for this party.
        virtual bool askDelegateForCredentials(Side side) = 0;
        // Shows the login dialog; false when nobody could answer it.
        virtual bool showCredentialsDialog() = 0;

    protected:
        ~Exchange() = default;
    };

    // The challenge state of one party.
    struct Party {
        explicit Party(std::mutex& mutex) : authentication(mutex), credentials(mutex), scheme(mutex), realm(mutex) {}
        RQLockedProperty<std::shared_ptr<platform::HTTPAuthentication>> authentication;
        RQLockedProperty<Credentials> credentials;  // the ones applied
        RQLockedProperty<std::string> scheme;
        RQLockedProperty<std::optional<std::string>> realm;
        std::atomic<int> retryCount{0};
    };

    // The request's authentication settings.
    struct Settings {
        std::atomic<bool> shouldPresentAuthenticationDialog{false};
        std::atomic<bool> shouldPresentProxyAuthenticationDialog{true};
        std::atomic<bool> shouldPresentCredentialsBeforeChallenge{true};
        std::atomic<bool> useKeychainPersistence{false};
        std::atomic<bool> useSessionPersistence{true};
    };

    // Credentials applied to one party before the request fails (code 3).
    static constexpr int kMaximumRetries = 5;

    RQChallengeResponder(Exchange& exchange, std::mutex& propertyMutex);
    RQChallengeResponder(const RQChallengeResponder&) = delete;
    RQChallengeResponder& operator=(const RQChallengeResponder&) = delete;

    Party& party(Side side) { return side == Side::Server ? server_ : proxy_; }
    const Party& party(Side side) const { return side == Side::Server ? server_ : proxy_; }
    Settings settings;

    // Adds what may be presented before any challenge: the caller's Basic
    // credentials (to the original origin only) and the session's
    // credentials for the server and the proxy.
    void applyUpFrontCredentials();
    // An answer without a challenge accepted the caller's up-front Basic
    // credentials: they are kept for the session.
    void rememberAcceptedUpFrontCredentials();
    // Answers the challenge of the party that asked.
    void answer(Side side);
    // The session's credentials for this request's server or proxy.
    std::shared_ptr<SessionRecord> findSessionCredentials(Side side) const;
    // The login dialog's view of the party's challenge.
    RQChallengedRequest::Challenge challenge(Side side) const;

    // The URL changed: the authentication objects belong to the old one.
    // The caller holds the property mutex.
    void forgetAuthenticationObjectsLocked();
    // The origin changed: nothing the old server accepted is presented to
    // the new one. The caller holds the property mutex.
    void forgetServerAnswerLocked();

private:
    Credentials findCredentials(Side side) const;
    bool applyCredentials(Side side, const Credentials& credentials);
    void saveCredentialsPermanently(Side side, const platform::Value::Dictionary& credentials) const;
    bool askForCredentials(Side side);
    void addBasicAuthorization(const std::string& user, const std::string& password);

    Exchange& exchange_;
    Party server_;
    Party proxy_;
};

}  // namespace clipora
