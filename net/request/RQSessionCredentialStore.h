#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cfnetwork/HTTPAuthentication.h"
#include "platform/cfnetwork/URLCredential.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Where the request engine keeps credentials: the session stores (one for
// servers, one for proxies; credentials that worked, for this process
// only) and the platform's permanent credential storage (the "keychain").
//
// Contract:
// - Threads: every operation may be called from any thread; one recursive
//   lock guards both session lists. Look-ups return the stored record
//   itself (records are never changed once stored).
// - Ownership: the store holds its records; a request holds the
//   credentials dictionary it applied, and removing "those credentials"
//   compares that dictionary's identity, not its contents.
// - Storing credentials equal (by identity) to stored ones replaces them; a
//   new record goes last. Server look-ups prefer a record for the very URL,
//   then one for the same scheme, host and port; proxy look-ups match host
//   and port.
// - challengeLock() is held by a request while it looks for or asks for
//   credentials, so that requests waiting on the same party take turns and
//   the second finds what the first was given.
class RQSessionCredentialStore {
public:
    using Credentials = std::shared_ptr<const platform::Value::Dictionary>;

    // Credentials that worked, kept for the session.
    struct Record {
        std::shared_ptr<platform::HTTPAuthentication> authentication;  // none for up-front Basic
        Credentials credentials;
        // Server records.
        std::optional<platform::URL> url;
        std::optional<std::string> authenticationRealm;
        // Proxy records.
        std::string host;
        int port = 0;
        std::string authenticationScheme;
    };
    using Records = std::vector<std::shared_ptr<Record>>;

    enum class Side { Server, Proxy };

    static RQSessionCredentialStore& shared();

    RQSessionCredentialStore() = default;
    RQSessionCredentialStore(const RQSessionCredentialStore&) = delete;
    RQSessionCredentialStore& operator=(const RQSessionCredentialStore&) = delete;

    Records records(Side side) const;
    void store(Side side, std::shared_ptr<Record> record);
    void remove(Side side, const Credentials& credentials);
    void clear(Side side);

    // The record for a request to `url`. With `matchRealm` (a challenge
    // named one) a record that names a realm must name `realm`.
    std::shared_ptr<Record> findForServer(const platform::URL& url, bool matchRealm,
                                          const std::optional<std::string>& realm) const;
    std::shared_ptr<Record> findForProxy(const std::string& host, int port) const;

    std::recursive_mutex& challengeLock() { return challengeLock_; }

    // --- Permanent credentials (the platform's credential storage) ---
    static void savePermanentServerCredential(const platform::URLCredential& credential, const std::string& host,
                                              int port, const std::string& protocol,
                                              const std::optional<std::string>& realm);
    static void savePermanentProxyCredential(const platform::URLCredential& credential, const std::string& host,
                                             int port, const std::optional<std::string>& realm);
    static std::optional<platform::URLCredential> permanentServerCredential(const std::string& host, int port,
                                                                            const std::string& protocol,
                                                                            const std::optional<std::string>& realm);
    static std::optional<platform::URLCredential> permanentProxyCredential(const std::string& host, int port,
                                                                           const std::optional<std::string>& realm);
    static void removePermanentServerCredential(const std::string& host, int port, const std::string& protocol,
                                                const std::optional<std::string>& realm);
    static void removePermanentProxyCredential(const std::string& host, int port,
                                               const std::optional<std::string>& realm);

    // --- Credentials dictionaries ---
    static platform::Value::Dictionary dictionary(const std::string& user, const std::string& password,
                                                  const std::optional<std::string>& domain);
    // A string entry of a dictionary; empty when missing.
    static std::string entry(const platform::Value::Dictionary& credentials, std::string_view key);
    // The dictionary for a challenge. A scheme that wants an account domain
    // takes the request's own (`ownDomain`, asked only then) or else one
    // written into the user name as "DOMAIN\user".
    static Credentials forChallenge(const platform::HTTPAuthentication* authentication, std::string user,
                                    const std::string& password,
                                    const std::function<std::optional<std::string>()>& ownDomain);
    // The dictionary as a credential kept permanently.
    static platform::URLCredential permanentCredential(const platform::Value::Dictionary& credentials);

private:
    Records& list(Side side) { return side == Side::Server ? server_ : proxy_; }
    const Records& list(Side side) const { return side == Side::Server ? server_ : proxy_; }

    mutable std::recursive_mutex mutex_;
    std::recursive_mutex challengeLock_;
    Records server_;
    Records proxy_;
};

}  // namespace clipora
