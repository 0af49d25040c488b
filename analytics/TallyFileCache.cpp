#include "analytics/TallyFileCache.h"

#include "analytics/TallyShared.h"
#include "analytics/TallyUtil.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Text.h"

namespace clipora {

using namespace platform;

namespace {

// A part of a file name that stays inside the folder: as it is when safe,
// else "x" and its bytes in hexadecimal (which no safe part can look like,
// since a safe part holding only hex digits after an "x" is also encoded).
std::string safeNamePart(const std::string& part) {
    const bool unsafe =
        part.find_first_of(std::string("/\\\0", 3)) != std::string::npos || part.find("..") != std::string::npos;
    const bool ambiguous =
        part.size() > 1 && part[0] == 'x' && part.find_first_not_of("0123456789abcdef", 1) == std::string::npos;
    if (!unsafe && !ambiguous) return part;
    return "x" + Digest::hex(std::span(reinterpret_cast<const std::uint8_t*>(part.data()), part.size()));
}

}  // namespace

std::shared_ptr<TallyFileCache> TallyFileCache::createInstanceWithApiKeyAgentVersion(const std::string& apiKey,
                                                                                     const std::string& agentVersion) {
    return TallyShared<TallyFileCache>::getOrMake(
        [&] { return std::make_shared<TallyFileCache>(apiKey, agentVersion); });
}

std::shared_ptr<TallyFileCache> TallyFileCache::instance() { return TallyShared<TallyFileCache>::get(); }

void TallyFileCache::reset() { TallyShared<TallyFileCache>::reset(); }

TallyFileCache::TallyFileCache(std::string apiKey, std::string agentVersion)
    : apiKey_(std::move(apiKey)), agentVersion_(std::move(agentVersion)) {}

std::string TallyFileCache::createDirectoryPath() const {
    const std::string directory = FileManager::cachesDirectory() + "/Tally";
    if (!FileManager::isDirectory(directory)) FileManager::createDirectory(directory, true);
    return directory;
}

std::string TallyFileCache::createFilePathForCurentAgentVersion(const std::string& name, bool withVersion) const {
    return Text::format("%@/tallyCache_%@_%@_%@.archive", createDirectoryPath(), safeNamePart(name),
                        safeNamePart(apiKey_), withVersion ? safeNamePart(agentVersion_) : std::string());
}

std::optional<std::string> TallyFileCache::savePrefix(const Value& object, const std::string& name) const {
    return savePrefixForCurentAgentVersion(object, name, true);
}

std::optional<std::string> TallyFileCache::savePrefixForCurentAgentVersion(const Value& object, const std::string& name,
                                                                           bool withVersion) const {
    const std::string path = createFilePathForCurentAgentVersion(name, withVersion);
    if (!KeyedArchiver::archiveToFile(object, path)) {
        TallyUtil::debugLog("Tally: object[%@] cannot be saved to disk", object);
        return std::nullopt;
    }
    TallyUtil::debugLog("Tally: object[%@] saved to disk at path[%@]", object, path);
    return path;
}

std::optional<Value> TallyFileCache::get(const std::string& name) const { return getForCurentAgentVersion(name, true); }

std::optional<Value> TallyFileCache::getForCurentAgentVersion(const std::string& name, bool withVersion) const {
    const std::string path = createFilePathForCurentAgentVersion(name, withVersion);
    std::optional<Value> object;
    if (FileManager::fileExists(path)) {
        std::optional<Error> error;
        auto data = FileManager::contentsOfFile(path);
        if (data) object = KeyedUnarchiver::unarchivedObjectOfAnyClass(*data, KeyedArchiver::kRootKey, &error);
        // A damaged file would fail every later load the same way.
        if (!data || error) FileManager::removeItem(path);
    }
    TallyUtil::debugLog("Tally: object[%@] retrieved from disk at path[%@]", object ? *object : Value(), path);
    return object;
}

bool TallyFileCache::remove(const std::string& name) const { return removeForCurentAgentVersion(name, true); }

bool TallyFileCache::removeForCurentAgentVersion(const std::string& name, bool withVersion) const {
    const std::string path = createFilePathForCurentAgentVersion(name, withVersion);
    const bool removed = FileManager::removeItem(path);
    TallyUtil::debugLog("Tally: object at path[%@] removed from disk successful[%d]", path, removed ? 1 : 0);
    return removed;
}

bool TallyFileCache::removeCache() const {
    const std::string directory = FileManager::cachesDirectory() + "/Tally";
    const bool removed = FileManager::removeItem(directory);
    TallyUtil::debugLog("Tally: object at path[%@] removed from disk successful[%d]", directory, removed ? 1 : 0);
    return removed;
}

}  // namespace clipora
