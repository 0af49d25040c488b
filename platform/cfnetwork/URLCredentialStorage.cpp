#include "platform/cfnetwork/URLCredentialStorage.h"

#include <algorithm>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

std::filesystem::path sharedCredentialFile() {
    return std::filesystem::path(FileManager::libraryDirectory()) / "Credentials" / "Credentials.plist";
}

const std::string* stringIn(const Value::Dictionary& dictionary, std::string_view key) {
    auto it = dictionary.find(key);
    return it == dictionary.end() ? nullptr : it->second.string();
}

}  // namespace

std::shared_ptr<URLCredentialStorage> URLCredentialStorage::sharedCredentialStorage() {
    // Never destroyed: URL loading on background threads reaches it, also
    // while statics are destroyed at exit.
    static std::mutex& mutex = *new std::mutex;
    static std::shared_ptr<URLCredentialStorage>& shared = *new std::shared_ptr<URLCredentialStorage>;
    std::filesystem::path file = sharedCredentialFile();
    std::lock_guard lock(mutex);
    if (!shared || shared->file() != file) shared = std::make_shared<URLCredentialStorage>(file);
    return shared;
}

URLCredentialStorage::URLCredentialStorage(std::optional<std::filesystem::path> file) : file_(std::move(file)) {
    load();
}

bool URLCredentialStorage::sameSpace(const URLProtectionSpace& a, const URLProtectionSpace& b) {
    if (!Text::equalsCaseInsensitive(a.host(), b.host()) || a.port() != b.port() || a.protocol() != b.protocol() ||
        a.proxyType() != b.proxyType() || a.realm() != b.realm())
        return false;
    bool aPassword = URLProtectionSpace::isPasswordMethod(a.authenticationMethod());
    bool bPassword = URLProtectionSpace::isPasswordMethod(b.authenticationMethod());
    return (aPassword && bPassword) || a.authenticationMethod() == b.authenticationMethod();
}

URLCredentialStorage::Record* URLCredentialStorage::findLocked(const URLProtectionSpace& space) {
    auto it =
        std::find_if(records_.begin(), records_.end(), [&](const Record& r) { return sameSpace(r.space, space); });
    return it == records_.end() ? nullptr : &*it;
}

const URLCredentialStorage::Record* URLCredentialStorage::findLocked(const URLProtectionSpace& space) const {
    auto it =
        std::find_if(records_.begin(), records_.end(), [&](const Record& r) { return sameSpace(r.space, space); });
    return it == records_.end() ? nullptr : &*it;
}

URLCredentialStorage::CredentialsByUser URLCredentialStorage::credentialsForProtectionSpace(
    const URLProtectionSpace& space) const {
    std::lock_guard lock(mutex_);
    const Record* record = findLocked(space);
    return record ? record->credentials : CredentialsByUser{};
}

std::vector<std::pair<URLProtectionSpace, URLCredentialStorage::CredentialsByUser>>
URLCredentialStorage::allCredentials() const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<URLProtectionSpace, CredentialsByUser>> all;
    for (const Record& record : records_)
        if (!record.credentials.empty()) all.emplace_back(record.space, record.credentials);
    return all;
}

bool URLCredentialStorage::storeLocked(const URLCredential& credential, const URLProtectionSpace& space,
                                       bool makeDefault) {
    if (credential.persistence() == URLCredential::Persistence::None) return false;
    Record* record = findLocked(space);
    if (!record) {
        URLProtectionSpace kept = space;
        kept.setServerTrust(nullptr);  // a handshake's trust is not part of the space
        records_.push_back({kept, {}, std::nullopt});
        record = &records_.back();
    }
    record->credentials.insert_or_assign(credential.user(), credential);
    if (makeDefault) record->defaultUser = credential.user();
    return true;
}

void URLCredentialStorage::setCredentialForProtectionSpace(const URLCredential& credential,
                                                           const URLProtectionSpace& space) {
    std::lock_guard lock(mutex_);
    if (storeLocked(credential, space, false) && credential.persistence() == URLCredential::Persistence::Permanent)
        saveLocked();
}

void URLCredentialStorage::setDefaultCredentialForProtectionSpace(const URLCredential& credential,
                                                                  const URLProtectionSpace& space) {
    std::lock_guard lock(mutex_);
    if (storeLocked(credential, space, true) && credential.persistence() == URLCredential::Persistence::Permanent)
        saveLocked();
}

void URLCredentialStorage::removeCredentialForProtectionSpace(const URLCredential& credential,
                                                              const URLProtectionSpace& space) {
    std::lock_guard lock(mutex_);
    Record* record = findLocked(space);
    if (!record) return;
    auto it = record->credentials.find(credential.user());
    if (it == record->credentials.end()) return;
    bool wasPermanent = it->second.persistence() == URLCredential::Persistence::Permanent;
    record->credentials.erase(it);
    if (record->defaultUser == credential.user()) record->defaultUser.reset();
    if (wasPermanent) saveLocked();
}

std::optional<URLCredential> URLCredentialStorage::defaultCredentialForProtectionSpace(
    const URLProtectionSpace& space) const {
    std::lock_guard lock(mutex_);
    const Record* record = findLocked(space);
    if (!record || !record->defaultUser) return std::nullopt;
    auto it = record->credentials.find(*record->defaultUser);
    if (it == record->credentials.end()) return std::nullopt;
    return it->second;
}

void URLCredentialStorage::load() {
    if (!file_ || !FileManager::fileExists(*file_)) return;
    auto bytes = FileManager::contentsOfFile(*file_);
    std::optional<Value> root = bytes ? PropertyList::fromData(*bytes) : std::nullopt;
    if (!root || !root->isArray()) {
        Log::write("Credential storage: ignoring unreadable credential file");
        return;
    }
    for (const Value& item : *root->array()) {
        const Value::Dictionary* entry = item.dictionary();
        if (!entry) continue;
        const std::string* host = stringIn(*entry, "host");
        const std::string* protocol = stringIn(*entry, "protocol");
        const std::string* proxyType = stringIn(*entry, "proxyType");
        const std::string* realm = stringIn(*entry, "realm");
        const std::string* method = stringIn(*entry, "authenticationMethod");
        const std::string* user = stringIn(*entry, "user");
        const std::string* password = stringIn(*entry, "password");
        auto port = entry->find("port");
        if (!host || !method || !user || !password || port == entry->end() || (!protocol && !proxyType)) continue;
        std::optional<std::string> realmValue = realm ? std::optional<std::string>(*realm) : std::nullopt;
        int portValue = port->second.intValue();
        URLProtectionSpace space =
            protocol ? URLProtectionSpace(*host, portValue, *protocol, realmValue, *method)
                     : URLProtectionSpace::proxySpace(*host, portValue, *proxyType, realmValue, *method);
        auto isDefault = entry->find("isDefault");
        storeLocked(URLCredential(*user, *password, URLCredential::Persistence::Permanent), space,
                    isDefault != entry->end() && isDefault->second.boolValue());
    }
}

void URLCredentialStorage::saveLocked() const {
    if (!file_) return;
    Value::Array items;
    for (const Record& record : records_) {
        for (const auto& [user, credential] : record.credentials) {
            if (credential.persistence() != URLCredential::Persistence::Permanent || !credential.password()) continue;
            Value::Dictionary entry;
            entry["host"] = record.space.host();
            entry["port"] = record.space.port();
            if (record.space.protocol()) entry["protocol"] = *record.space.protocol();
            if (record.space.proxyType()) entry["proxyType"] = *record.space.proxyType();
            if (record.space.realm()) entry["realm"] = *record.space.realm();
            entry["authenticationMethod"] = record.space.authenticationMethod();
            entry["user"] = user;
            entry["password"] = *credential.password();
            entry["isDefault"] = record.defaultUser == user;
            items.emplace_back(std::move(entry));
        }
    }
    auto data = PropertyList::toData(Value(std::move(items)), PropertyList::Format::Binary);
    std::optional<Error> error;
    FileManager::createDirectory(file_->parent_path(), true);
    // The error names only the file, never its contents.
    if (!data || !FileManager::writePrivateData(*file_, *data, &error))
        Log::write("Credential storage: could not write the credential file" +
                   (error ? ": " + error->localizedDescription() : std::string()));
}

}  // namespace clipora::platform
