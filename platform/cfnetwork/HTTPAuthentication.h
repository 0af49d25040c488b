#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/cfnetwork/NTLM.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// Answers one server's (401) or proxy's (407) demand for credentials: made
// from the response that asked, it signs later request messages with an
// "Authorization" (or "Proxy-Authorization") field.
//
// Schemes: Basic; Digest (RFC 7616: MD5, MD5-sess, SHA-256,
// SHA-256-sess; qop=auth when the server offers it, else the older form
// without qop; a fresh random cnonce per message, a per-nonce nc counter,
// opaque echoed, userhash honoured); and NTLM (see NTLM.h), whose
// handshake takes two signed messages on one kept-alive connection: the
// first signature is the negotiate message, the server's 401 carries its
// challenge (noteResponse takes it), and the next signature answers it.
// Negotiate is not supported: a server that offers nothing else gives no
// object.
//
// Validity: an object turns invalid when a later 401/407 answers a message
// it signed (the credentials were refused: error -1002 of the HTTP-stream
// domain, -1001 when no user name was given; -1000 when the server no
// longer offers the scheme). A Digest server that only says its nonce went
// stale (stale=true) gets the new nonce once and the object stays valid.
// An NTLM 401 that carries the challenge to the negotiate message keeps it
// valid; a bare one (after either message) is a refusal, and a challenge
// that only allows the old NTLMv1 or LM responses is -1000. Any other
// answer ends the handshake: the next signature starts a new one.
// The code that reads responses tells objects about them through
// noteResponse(); the URL connection and the read stream do.
//
// Safe from any thread.
class HTTPAuthentication : public std::enable_shared_from_this<HTTPAuthentication> {
public:
    static constexpr std::string_view kSchemeBasic = "Basic";
    static constexpr std::string_view kSchemeDigest = "Digest";
    static constexpr std::string_view kSchemeNTLM = "NTLM";
    static constexpr std::string_view kSchemeNegotiate = "Negotiate";

    // Keys of the credentials dictionary given to applyCredentials().
    static constexpr std::string_view kCredentialUsername = "Username";
    static constexpr std::string_view kCredentialPassword = "Password";
    static constexpr std::string_view kCredentialAccountDomain = "AccountDomain";

    // One challenge of a "WWW-Authenticate" or "Proxy-Authenticate" field.
    struct Challenge {
        std::string scheme;
        std::map<std::string, std::string> parameters;  // names in lower case, values unquoted
        std::string token68;                            // the "Negotiate abc==" form
    };
    // Every challenge of a field value, in order.
    static std::vector<Challenge> parseChallenges(std::string_view fieldValue);

    // From a 401 ("WWW-Authenticate") or 407 ("Proxy-Authenticate")
    // response head; null for another status or when no supported scheme is
    // offered. Preference: Digest, then NTLM, then Basic (which shows the
    // password to anyone on the path).
    static std::shared_ptr<HTTPAuthentication> createFromResponse(const HTTPMessage& response);

    // Tells every object that signed `request` about the response that
    // answered it (see Validity above). Cheap for other messages.
    static void noteResponse(const std::shared_ptr<HTTPMessage>& request, const HTTPMessage& response);

    // The scheme: kSchemeBasic, kSchemeDigest or kSchemeNTLM.
    std::string method() const;
    // NTLM has no realm.
    std::optional<std::string> realm() const;
    bool isProxy() const { return proxy_; }
    // NTLM wants a domain (kCredentialAccountDomain; may be empty).
    bool requiresAccountDomain() const { return scheme_ == Scheme::NTLM; }
    bool requiresUserAndPassword() const { return true; }
    // Whether messages must go one after another on one connection (NTLM).
    bool requiresOrderedRequests() const { return scheme_ == Scheme::NTLM; }

    bool isValid(std::optional<Error>* error = nullptr) const;

    // Adds the credentials field to the request; false (and an error) when
    // the object is invalid, the message is not a request, or user name or
    // password is missing from `credentials`. For NTLM without a domain, a
    // user name "DOMAIN\user" gives both.
    bool applyCredentials(const std::shared_ptr<HTTPMessage>& request, const Value::Dictionary& credentials,
                          std::optional<Error>* error = nullptr);
    bool applyCredentials(const std::shared_ptr<HTTPMessage>& request, const std::string& user,
                          const std::string& password, std::optional<Error>* error = nullptr,
                          const std::optional<std::string>& domain = std::nullopt);
    // NTLM: the server's challenge arrived and the next signature answers
    // it (the caller sends the request again at once, without asking
    // anyone for credentials).
    bool awaitsNTLMAnswer() const;

    // Tests: every later Digest signature uses this client nonce instead of
    // a random one.
    void setClientNonceForTesting(std::string cnonce);

    // Not for direct use: see createFromResponse().
    struct Passkey {};
    HTTPAuthentication(Passkey, bool proxy, Challenge challenge);

private:
    enum class Scheme { Basic, Digest, NTLM };
    enum class Algorithm { MD5, MD5Session, SHA256, SHA256Session };
    // Where an NTLM handshake stands.
    enum class NTLMStep { Start, NegotiateSent, Challenged, AuthenticateSent };

    static std::optional<Algorithm> digestAlgorithm(const Challenge& challenge);
    static bool isSupported(const Challenge& challenge);
    void responseArrived(const HTTPMessage& response);
    std::string hash(std::string_view text) const;
    std::string digestTarget(const HTTPMessage& request) const;
    std::string digestField(const HTTPMessage& request, const std::string& user, const std::string& password);
    std::optional<std::string> ntlmField(const std::string& user, const std::string& password,
                                         const std::string& domain);
    void ntlmResponseArrived(const Challenge& challenge);
    Error refusalError() const;

    const bool proxy_;
    const Scheme scheme_;
    mutable std::mutex mutex_;
    Challenge challenge_;
    std::optional<Algorithm> algorithm_;
    std::uint32_t nonceCount_ = 0;
    bool staleRefreshUsed_ = false;
    std::optional<Error> invalidError_;
    std::string lastUser_;
    std::optional<std::string> fixedClientNonce_;
    NTLMStep ntlmStep_ = NTLMStep::Start;
    std::optional<NTLM::Challenge> ntlmChallenge_;
};

}  // namespace clipora::platform
