#include "net/request/RQChallengeResponder.h"

#include <tuple>

#include "net/request/RQError.h"
#include "net/request/RQRedirectPolicy.h"
#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/foundation/Base64.h"

namespace clipora {

using platform::Error;
using platform::HTTPAuthentication;
using platform::HTTPMessage;
using platform::Value;

namespace {

RQSessionCredentialStore& credentialStore() { return RQSessionCredentialStore::shared(); }

bool isNTLM(const std::string& scheme) { return scheme == HTTPAuthentication::kSchemeNTLM; }

const char* applyFailure(RQChallengeResponder::Side side) {
    return side == RQChallengeResponder::Side::Server ? "Failed to apply credentials to request"
                                                      : "Failed to apply proxy credentials to request";
}

}  // namespace

RQChallengeResponder::RQChallengeResponder(Exchange& exchange, std::mutex& propertyMutex)
    : exchange_(exchange), server_(propertyMutex), proxy_(propertyMutex) {}

void RQChallengeResponder::forgetAuthenticationObjectsLocked() {
    server_.authentication.unlocked().reset();
    proxy_.authentication.unlocked().reset();
}

void RQChallengeResponder::forgetServerAnswerLocked() {
    server_.credentials.unlocked().reset();
    server_.scheme.unlocked().clear();
    server_.realm.unlocked().reset();
    server_.retryCount.store(0);
}

// ---------------------------------------------------------------------------
// Before a challenge
// ---------------------------------------------------------------------------

void RQChallengeResponder::addBasicAuthorization(const std::string& user, const std::string& password) {
    const std::string text = user + ":" + password;
    exchange_.addRequestHeader("Authorization",
                               "Basic " + platform::Base64::encode(platform::Data(text.begin(), text.end())));
}

void RQChallengeResponder::applyUpFrontCredentials() {
    if (!settings.shouldPresentCredentialsBeforeChallenge.load()) return;
    const bool useSession = settings.useSessionPersistence.load();
    std::shared_ptr<SessionRecord> record;
    if (useSession) record = findSessionCredentials(Side::Server);
    const Account own = exchange_.account(Side::Server, false);
    // The request's own credentials go up front only to the origin it was
    // made for, never to the target of a redirect elsewhere.
    if (own.user && own.password && !own.domain && server_.scheme.get() == HTTPAuthentication::kSchemeBasic &&
        exchange_.isOriginalOrigin()) {
        addBasicAuthorization(*own.user, *own.password);
    }
    auto message = exchange_.outgoingMessage();
    // An NTLM record is never presented up front. Its handshake belongs to
    // a connection: on the kept-alive connection that made it the server
    // needs nothing more, and a new negotiate message there would only
    // start the handshake again. A request on a fresh connection meets the
    // server's 401 and answers it with the record (answer()). Nor may the
    // record's object sign other requests' messages: its handshake state is
    // that of the request that made it.
    const auto presentable = [](const std::shared_ptr<SessionRecord>& r) {
        return r && !(r->authentication && r->authentication->requiresOrderedRequests());
    };
    if (presentable(record) && !exchange_.hasRequestHeader("Authorization") && message) {
        if (record->authentication) {
            if (!record->authentication->applyCredentials(message, *record->credentials))
                credentialStore().remove(Side::Server, record->credentials);
        } else {
            addBasicAuthorization(
                RQSessionCredentialStore::entry(*record->credentials, HTTPAuthentication::kCredentialUsername),
                RQSessionCredentialStore::entry(*record->credentials, HTTPAuthentication::kCredentialPassword));
        }
    }
    if (useSession && message) {
        if (auto proxyRecord = findSessionCredentials(Side::Proxy);
            presentable(proxyRecord) && proxyRecord->authentication) {
            if (!proxyRecord->authentication->applyCredentials(message, *proxyRecord->credentials))
                credentialStore().remove(Side::Proxy, proxyRecord->credentials);
        }
    }
}

void RQChallengeResponder::rememberAcceptedUpFrontCredentials() {
    if (server_.authentication.get() || server_.scheme.get() != HTTPAuthentication::kSchemeBasic ||
        !settings.useSessionPersistence.load())
        return;
    const Account own = exchange_.account(Side::Server, false);
    if (!own.user || !own.password) return;
    auto record = std::make_shared<SessionRecord>();
    record->credentials = std::make_shared<const Value::Dictionary>(
        RQSessionCredentialStore::dictionary(*own.user, *own.password, std::nullopt));
    record->url = exchange_.url();
    record->authenticationScheme = std::string(HTTPAuthentication::kSchemeBasic);
    credentialStore().store(Side::Server, record);
}

// ---------------------------------------------------------------------------
// Finding and applying credentials
// ---------------------------------------------------------------------------

std::shared_ptr<RQChallengeResponder::SessionRecord> RQChallengeResponder::findSessionCredentials(Side side) const {
    if (side == Side::Proxy) {
        const auto [host, port] = exchange_.proxyEndpoint();
        return credentialStore().findForProxy(host, port);
    }
    auto requestURL = exchange_.url();
    if (!requestURL) return nullptr;
    return credentialStore().findForServer(*requestURL, exchange_.hasResponse(), server_.realm.get());
}

RQChallengeResponder::Credentials RQChallengeResponder::findCredentials(Side side) const {
    const Party& state = party(side);
    std::optional<std::string> user;
    std::optional<std::string> password;
    if (side == Side::Server) {
        auto requestURL = exchange_.url();
        if (requestURL && requestURL->user() && requestURL->password()) {
            user = requestURL->user();
            password = requestURL->password();
        }
        // The caller's credentials belong to the origin the request was
        // made for.
        if ((!user || !password) && exchange_.isOriginalOrigin()) {
            const Account caller = exchange_.account(side, true);
            user = caller.user;
            password = caller.password;
        }
        if ((!user || !password) && settings.useKeychainPersistence.load() && requestURL) {
            if (auto saved = RQSessionCredentialStore::permanentServerCredential(
                    requestURL->host(), requestURL->effectivePort(), requestURL->scheme(), state.realm.get());
                saved && saved->password()) {
                user = saved->user();
                password = saved->password();
            }
        }
    } else {
        const Account caller = exchange_.account(side, true);
        user = caller.user;
        password = caller.password;
        if (!user || !password) {
            const auto [host, port] = exchange_.proxyEndpoint();
            if (auto saved = RQSessionCredentialStore::permanentProxyCredential(host, port, state.realm.get());
                saved && saved->password()) {
                user = saved->user();
                password = saved->password();
            }
        }
    }
    if (!user || !password) return nullptr;
    return RQSessionCredentialStore::forChallenge(state.authentication.get().get(), *user, *password,
                                                  [this, side] { return exchange_.account(side, true).domain; });
}

bool RQChallengeResponder::applyCredentials(Side side, const Credentials& credentials) {
    Party& state = party(side);
    state.retryCount.fetch_add(1);
    auto authentication = state.authentication.get();
    auto message = exchange_.outgoingMessage();
    if (!credentials || !authentication || !message) return false;
    if (!authentication->applyCredentials(message, *credentials)) {
        credentialStore().remove(side, credentials);
        return false;
    }
    if (settings.useKeychainPersistence.load()) saveCredentialsPermanently(side, *credentials);
    if (settings.useSessionPersistence.load()) {
        auto record = std::make_shared<SessionRecord>();
        record->authentication = authentication;
        record->credentials = credentials;
        record->authenticationScheme = state.scheme.get();
        if (side == Side::Server) {
            record->url = exchange_.url();
            record->authenticationRealm = state.realm.get();
        } else {
            std::tie(record->host, record->port) = exchange_.proxyEndpoint();
        }
        credentialStore().store(side, record);
    }
    state.credentials.set(credentials);
    return true;
}

void RQChallengeResponder::saveCredentialsPermanently(Side side, const Value::Dictionary& credentials) const {
    const auto credential = RQSessionCredentialStore::permanentCredential(credentials);
    if (side == Side::Proxy) {
        const auto [host, port] = exchange_.proxyEndpoint();
        RQSessionCredentialStore::savePermanentProxyCredential(credential, host, port, proxy_.realm.get());
        return;
    }
    auto requestURL = exchange_.url();
    if (!requestURL) return;
    RQSessionCredentialStore::savePermanentServerCredential(credential, requestURL->host(), requestURL->effectivePort(),
                                                            requestURL->scheme(), server_.realm.get());
}

bool RQChallengeResponder::askForCredentials(Side side) {
    if (exchange_.askDelegateForCredentials(side)) return true;
    const bool dialog = side == Side::Server ? settings.shouldPresentAuthenticationDialog.load()
                                             : settings.shouldPresentProxyAuthenticationDialog.load();
    return dialog && exchange_.showCredentialsDialog();
}

// ---------------------------------------------------------------------------
// Answering a challenge
// ---------------------------------------------------------------------------

void RQChallengeResponder::answer(Side side) {
    if (exchange_.hasEnded()) return;
    Party& state = party(side);
    auto retries = [&state] { return state.retryCount.load(); };
    auto apply = [this, side](const Credentials& credentials) { return applyCredentials(side, credentials); };
    auto authentication = state.authentication.get();
    if (!authentication) {
        auto head = exchange_.challengeHead();
        authentication = head ? HTTPAuthentication::createFromResponse(*head) : nullptr;
        state.authentication.set(authentication);
        if (!authentication) {
            exchange_.stopAttempt();
            exchange_.fail(RQError::make(RQError::kUnableToApplyCredentials,
                                         "Failed to get authentication object from response headers"));
            return;
        }
        state.scheme.set(authentication->method());
    }
    state.realm.set(authentication->requiresAccountDomain() ? std::nullopt : authentication->realm());

    std::optional<Error> invalid;
    if (!authentication->isValid(&invalid)) {
        state.authentication.set(std::shared_ptr<HTTPAuthentication>());
        if (invalid && invalid->domain() == platform::HTTPStreamError::kNetworkDomain &&
            (invalid->code() == platform::HTTPStreamError::kAuthenticationBadUserName ||
             invalid->code() == platform::HTTPStreamError::kAuthenticationBadPassword)) {
            std::lock_guard authenticationLock(credentialStore().challengeLock());
            credentialStore().remove(side, state.credentials.get());
            state.credentials.set(Credentials());
            if (exchange_.hasEnded()) return;
            // A party that keeps refusing gets no endless retries.
            if (retries() >= kMaximumRetries) {
                exchange_.stopAttempt();
                exchange_.fail(RQError::authenticationNeeded());
                return;
            }
            if (settings.useSessionPersistence.load()) {
                if (auto record = findSessionCredentials(side)) {
                    // Credentials another request got meanwhile (one dialog
                    // answers every request waiting for it): a fresh object
                    // from this response carries them.
                    auto head = exchange_.challengeHead();
                    auto fresh = head ? HTTPAuthentication::createFromResponse(*head) : nullptr;
                    state.authentication.set(fresh);
                    if (fresh && apply(record->credentials)) {
                        exchange_.stopAttempt();
                        exchange_.sendAgain();
                        return;
                    }
                    state.authentication.set(std::shared_ptr<HTTPAuthentication>());
                }
            }
            exchange_.forgetLastActivity();
            // The waiting request is resumed by the answer; asking the same
            // party twice is not needed.
            if (askForCredentials(side)) return;
        }
        exchange_.stopAttempt();
        exchange_.fail(RQError::authenticationNeeded());
        return;
    }

    exchange_.stopAttempt();
    if (auto applied = state.credentials.get()) {
        const bool ntlm = isNTLM(state.scheme.get());
        if (retries() >= kMaximumRetries) {
            exchange_.fail(RQError::authenticationNeeded());
            return;
        }
        if (!(ntlm && retries() > 1)) {
            if (apply(applied)) {
                exchange_.sendAgain();
                return;
            }
        }
        if (ntlm && retries() == 2) {
            exchange_.fail(RQError::authenticationNeeded());
        } else {
            exchange_.fail(RQError::make(RQError::kUnableToApplyCredentials, applyFailure(side)));
        }
        return;
    }

    if (!authentication->requiresUserAndPassword()) return;
    std::lock_guard authenticationLock(credentialStore().challengeLock());
    if (exchange_.hasEnded()) return;
    if (retries() >= kMaximumRetries) {
        exchange_.fail(RQError::authenticationNeeded());
        return;
    }
    if (settings.useSessionPersistence.load()) {
        if (auto record = findSessionCredentials(side); record && apply(record->credentials)) {
            exchange_.sendAgain();
            return;
        }
    }
    if (auto credentials = findCredentials(side)) {
        if (apply(credentials)) {
            exchange_.sendAgain();
        } else {
            exchange_.fail(RQError::make(RQError::kUnableToApplyCredentials, applyFailure(side)));
        }
        return;
    }
    if (askForCredentials(side)) return;
    exchange_.fail(RQError::authenticationNeeded());
}

RQChallengedRequest::Challenge RQChallengeResponder::challenge(Side side) const {
    RQChallengedRequest::Challenge challenge;
    challenge.party = side == Side::Server ? RQChallengedRequest::kServer : RQChallengedRequest::kProxy;
    challenge.url = exchange_.url();
    std::tie(challenge.proxyHost, challenge.proxyPort) = exchange_.proxyEndpoint();
    challenge.scheme = party(side).scheme.get();
    challenge.realm = party(side).realm.get();
    return challenge;
}

}  // namespace clipora
