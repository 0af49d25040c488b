#include "net/request/RQSessionCredentialStore.h"

#include <algorithm>

#include "platform/cfnetwork/URLCredentialStorage.h"
#include "platform/cfnetwork/URLProtectionSpace.h"
#include "platform/foundation/Text.h"

namespace clipora {

using platform::HTTPAuthentication;
using platform::URL;
using platform::URLCredentialStorage;
using platform::URLProtectionSpace;
using platform::Value;

namespace {

URLProtectionSpace proxySpace(const std::string& host, int port, const std::optional<std::string>& realm) {
    return URLProtectionSpace::proxySpace(host, port, URLProtectionSpace::kProxyTypeHTTP, realm);
}

void removeDefaultCredential(const URLProtectionSpace& space) {
    auto storage = URLCredentialStorage::sharedCredentialStorage();
    if (auto credential = storage->defaultCredentialForProtectionSpace(space))
        storage->removeCredentialForProtectionSpace(*credential, space);
}

}  // namespace

RQSessionCredentialStore& RQSessionCredentialStore::shared() {
    // Never destroyed: the network thread may still use it while the
    // process exits.
    static RQSessionCredentialStore* store = new RQSessionCredentialStore;
    return *store;
}

RQSessionCredentialStore::Records RQSessionCredentialStore::records(Side side) const {
    std::lock_guard lock(mutex_);
    return list(side);
}

void RQSessionCredentialStore::store(Side side, std::shared_ptr<Record> record) {
    std::lock_guard lock(mutex_);
    auto& records = list(side);
    std::erase_if(records, [&](const auto& r) { return r->credentials == record->credentials; });
    records.push_back(std::move(record));
}

void RQSessionCredentialStore::remove(Side side, const Credentials& credentials) {
    if (!credentials) return;
    std::lock_guard lock(mutex_);
    auto& records = list(side);
    auto it =
        std::find_if(records.begin(), records.end(), [&](const auto& r) { return r->credentials == credentials; });
    if (it != records.end()) records.erase(it);
}

void RQSessionCredentialStore::clear(Side side) {
    std::lock_guard lock(mutex_);
    list(side).clear();
}

std::shared_ptr<RQSessionCredentialStore::Record> RQSessionCredentialStore::findForServer(
    const URL& url, bool matchRealm, const std::optional<std::string>& realm) const {
    auto realmMatches = [&](const Record& record) {
        if (!matchRealm || !record.authenticationRealm) return true;
        return realm && *record.authenticationRealm == *realm;
    };
    std::lock_guard lock(mutex_);
    for (const auto& record : server_) {
        if (record->url && *record->url == url && realmMatches(*record)) return record;
    }
    for (const auto& record : server_) {
        if (!record->url) continue;
        const URL& other = *record->url;
        if (other.host() != url.host()) continue;
        if (other.port().has_value() != url.port().has_value()) continue;
        if (url.port() && *url.port() != *other.port()) continue;
        if (other.scheme() != url.scheme()) continue;
        if (realmMatches(*record)) return record;
    }
    return nullptr;
}

std::shared_ptr<RQSessionCredentialStore::Record> RQSessionCredentialStore::findForProxy(const std::string& host,
                                                                                         int port) const {
    std::lock_guard lock(mutex_);
    for (const auto& record : proxy_) {
        if (record->host == host && record->port == port) return record;
    }
    return nullptr;
}

void RQSessionCredentialStore::savePermanentServerCredential(const platform::URLCredential& credential,
                                                             const std::string& host, int port,
                                                             const std::string& protocol,
                                                             const std::optional<std::string>& realm) {
    URLCredentialStorage::sharedCredentialStorage()->setDefaultCredentialForProtectionSpace(
        credential, URLProtectionSpace(host, port, protocol, realm));
}

void RQSessionCredentialStore::savePermanentProxyCredential(const platform::URLCredential& credential,
                                                            const std::string& host, int port,
                                                            const std::optional<std::string>& realm) {
    URLCredentialStorage::sharedCredentialStorage()->setDefaultCredentialForProtectionSpace(
        credential, proxySpace(host, port, realm));
}

std::optional<platform::URLCredential> RQSessionCredentialStore::permanentServerCredential(
    const std::string& host, int port, const std::string& protocol, const std::optional<std::string>& realm) {
    return URLCredentialStorage::sharedCredentialStorage()->defaultCredentialForProtectionSpace(
        URLProtectionSpace(host, port, protocol, realm));
}

std::optional<platform::URLCredential> RQSessionCredentialStore::permanentProxyCredential(
    const std::string& host, int port, const std::optional<std::string>& realm) {
    return URLCredentialStorage::sharedCredentialStorage()->defaultCredentialForProtectionSpace(
        proxySpace(host, port, realm));
}

void RQSessionCredentialStore::removePermanentServerCredential(const std::string& host, int port,
                                                               const std::string& protocol,
                                                               const std::optional<std::string>& realm) {
    removeDefaultCredential(URLProtectionSpace(host, port, protocol, realm));
}

void RQSessionCredentialStore::removePermanentProxyCredential(const std::string& host, int port,
                                                              const std::optional<std::string>& realm) {
    removeDefaultCredential(proxySpace(host, port, realm));
}

Value::Dictionary RQSessionCredentialStore::dictionary(const std::string& user, const std::string& password,
                                                       const std::optional<std::string>& domain) {
    Value::Dictionary credentials;
    credentials[std::string(HTTPAuthentication::kCredentialUsername)] = user;
    credentials[std::string(HTTPAuthentication::kCredentialPassword)] = password;
    if (domain) credentials[std::string(HTTPAuthentication::kCredentialAccountDomain)] = *domain;
    return credentials;
}

std::string RQSessionCredentialStore::entry(const Value::Dictionary& credentials, std::string_view key) {
    auto it = credentials.find(key);
    if (it == credentials.end() || !it->second.string()) return {};
    return *it->second.string();
}

RQSessionCredentialStore::Credentials RQSessionCredentialStore::forChallenge(
    const HTTPAuthentication* authentication, std::string user, const std::string& password,
    const std::function<std::optional<std::string>()>& ownDomain) {
    std::optional<std::string> accountDomain;
    if (authentication && authentication->requiresAccountDomain()) {
        auto domain = ownDomain();
        if (domain && !domain->empty()) {
            accountDomain = domain;
        } else {
            auto parts = platform::Text::split(user, "\\");
            if (parts.size() == 2) {
                accountDomain = parts[0];
                user = parts[1];
            } else {
                accountDomain = std::string();
            }
        }
    }
    return std::make_shared<const Value::Dictionary>(dictionary(user, password, accountDomain));
}

platform::URLCredential RQSessionCredentialStore::permanentCredential(const Value::Dictionary& credentials) {
    return platform::URLCredential(entry(credentials, HTTPAuthentication::kCredentialUsername),
                                   entry(credentials, HTTPAuthentication::kCredentialPassword),
                                   platform::URLCredential::Persistence::Permanent);
}

}  // namespace clipora
