#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace clipora {

// Keeps archivable objects of the agent in files of their own under
// Caches/Tally, named after the object, the API key and (optionally) the
// agent version. Safe from any thread.
//
// Names and keys come from outside (image ids from ad modules, the host's
// key), so a part that could leave the folder (a path separator, "..", a NUL)
// is written in hexadecimal instead.
class TallyFileCache {
public:
    static std::shared_ptr<TallyFileCache> createInstanceWithApiKeyAgentVersion(const std::string& apiKey,
                                                                                const std::string& agentVersion);
    static std::shared_ptr<TallyFileCache> instance();
    // Drops the shared instance (tests).
    static void reset();

    TallyFileCache(std::string apiKey, std::string agentVersion);

    const std::string& apiKey() const { return apiKey_; }
    const std::string& agentVersion() const { return agentVersion_; }

    // The Tally folder, made when missing.
    std::string createDirectoryPath() const;
    std::string createFilePathForCurentAgentVersion(const std::string& name, bool withVersion) const;

    std::optional<std::string> savePrefix(const platform::Value& object, const std::string& name) const;
    // The path written, or std::nullopt when the object could not be archived.
    std::optional<std::string> savePrefixForCurentAgentVersion(const platform::Value& object, const std::string& name,
                                                               bool withVersion) const;
    std::optional<platform::Value> get(const std::string& name) const;
    // The stored object; std::nullopt when there is none. A file that is not
    // a readable archive is deleted and reads as none.
    std::optional<platform::Value> getForCurentAgentVersion(const std::string& name, bool withVersion) const;
    bool remove(const std::string& name) const;
    bool removeForCurentAgentVersion(const std::string& name, bool withVersion) const;
    // Deletes the whole folder.
    bool removeCache() const;

private:
    std::string apiKey_;
    std::string agentVersion_;
};

}  // namespace clipora
