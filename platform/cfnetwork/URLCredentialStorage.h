#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/cfnetwork/URLCredential.h"
#include "platform/cfnetwork/URLProtectionSpace.h"

namespace clipora::platform {

// Credentials by protection space (server or proxy space), several users per
// space, one of them the space's default. Credentials with persistence
// ForSession live in memory for the life of the process; Permanent ones are
// also kept in "Library/Credentials/Credentials.plist" of the home folder, a
// file only its owner may read (mode 0600), rewritten after every change.
// Credentials with persistence None are never stored. Passwords never reach
// the log.
//
// Spaces are looked up by host (any case), port, protocol or proxy type and
// realm; the password methods (Default, Basic, Digest, NTLM, ...) count as
// one, so a credential saved for the Default method answers a Basic or
// Digest challenge of that space. Trust and client-certificate spaces are
// kept apart. All operations are safe from any thread.
class URLCredentialStorage {
public:
    using CredentialsByUser = std::map<std::string, URLCredential>;

    // The process's store for the current home folder (FileManager::homeDirectory()); a new
    // home (each test has its own) gives a store loaded from there.
    static std::shared_ptr<URLCredentialStorage> sharedCredentialStorage();

    // A store kept in `file` (loaded now when it exists), or in memory only.
    explicit URLCredentialStorage(std::optional<std::filesystem::path> file = std::nullopt);

    URLCredentialStorage(const URLCredentialStorage&) = delete;
    URLCredentialStorage& operator=(const URLCredentialStorage&) = delete;

    CredentialsByUser credentialsForProtectionSpace(const URLProtectionSpace& space) const;
    std::vector<std::pair<URLProtectionSpace, CredentialsByUser>> allCredentials() const;

    // Stores (or replaces, by user name) a credential for the space.
    void setCredentialForProtectionSpace(const URLCredential& credential, const URLProtectionSpace& space);
    // Removes the space's credential with that user name (also as default).
    void removeCredentialForProtectionSpace(const URLCredential& credential, const URLProtectionSpace& space);

    // The space's default credential, if one was set.
    std::optional<URLCredential> defaultCredentialForProtectionSpace(const URLProtectionSpace& space) const;
    // Stores the credential and makes it the space's default.
    void setDefaultCredentialForProtectionSpace(const URLCredential& credential, const URLProtectionSpace& space);

    const std::optional<std::filesystem::path>& file() const { return file_; }

private:
    struct Record {
        URLProtectionSpace space;
        CredentialsByUser credentials;
        std::optional<std::string> defaultUser;
    };

    static bool sameSpace(const URLProtectionSpace& a, const URLProtectionSpace& b);
    Record* findLocked(const URLProtectionSpace& space);
    const Record* findLocked(const URLProtectionSpace& space) const;
    bool storeLocked(const URLCredential& credential, const URLProtectionSpace& space, bool makeDefault);
    void load();
    void saveLocked() const;

    const std::optional<std::filesystem::path> file_;
    mutable std::mutex mutex_;
    std::vector<Record> records_;
};

}  // namespace clipora::platform
