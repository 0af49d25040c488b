#include "app/VideoSite.h"

#include "app/AppConfig.h"
#include "app/Utility.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace clipora {

using namespace platform;

namespace {

constexpr const char* kNameKey = "SiteName";
constexpr const char* kURLKey = "SiteURL";
constexpr const char* kLastURLKey = "SiteLastURL";
constexpr const char* kURLWithVideoKey = "SiteURLWithVideo";
constexpr const char* kBookmarkListKey = "SiteBookmarkList";
constexpr const char* kDownloadListKey = "SiteDownloadList";
constexpr const char* kPendingDownloadListKey = "SitePendingDownloadList";

void encodeText(KeyedArchiver& coder, const std::optional<std::string>& text, const char* key) {
    if (text) coder.encodeObject(std::optional<Value>(Value(*text)), key);
}

void encodeList(KeyedArchiver& coder, const VideoList& list, const char* key) {
    Value::Array items;
    items.reserve(list.size());
    for (const auto& video : list)
        if (video) items.emplace_back(std::static_pointer_cast<Object>(video));
    coder.encodeObject(std::optional<Value>(Value(std::move(items))), key);
}

std::shared_ptr<VideoList> decodeList(KeyedUnarchiver& coder, const char* key) {
    auto list = std::make_shared<VideoList>();
    if (auto items = coder.decodeArray(key, {Video::kClassName}))
        for (const Value& item : *items)
            if (auto video = item.objectAs<Video>()) list->push_back(std::move(video));
    return list;
}

const bool gRegistered = [] {
    VideoSite::registerCoding();
    return true;
}();

}  // namespace

VideoSite::VideoSite()
    : bookmarkList_(std::make_shared<VideoList>()), downloadList_(std::make_shared<VideoList>()),
      pendingDownloadList_(std::make_shared<VideoList>()) {}

std::optional<std::string> VideoSite::documentsPathForFileName(const std::optional<std::string>& fileName) {
    if (!fileName || fileName->empty() || *fileName == "." || *fileName == ".." ||
        fileName->find('/') != std::string::npos || fileName->find('\0') != std::string::npos)
        return std::nullopt;
    return FileManager::documentsDirectory() + "/" + *fileName;
}

std::string VideoSite::siteListPath() { return FileManager::documentsDirectory() + "/SiteList"; }

std::shared_ptr<VideoSite> VideoSite::defaultSite() {
    const AppConfig& config = AppConfig::current();
    const std::string videoHome = "https://" + config.siteWebHost + "/home.php?sk=video";
    const std::string login = "https://" + config.siteMobileHost + "/login.php?next=" + Text::percentEscape(videoHome);
    auto site = std::make_shared<VideoSite>();
    site->setName(std::string("Facebook"));
    site->setUrl(login);
    site->setLastURL(login);
    site->setUrlWithVideo(config.siteDomain + "/video/video.php");
    return site;
}

std::vector<std::shared_ptr<VideoSite>> VideoSite::loadSiteList(const std::string& path) {
    return readSiteList(path).value_or(std::vector<std::shared_ptr<VideoSite>>{});
}

std::optional<std::vector<std::shared_ptr<VideoSite>>> VideoSite::readSiteList(const std::string& path) {
    registerCoding();
    std::vector<std::shared_ptr<VideoSite>> sites;
    if (!FileManager::fileExists(path)) return sites;
    std::optional<Error> error;
    auto root = Utility::loadFileFromDiskPath(kSiteListKey, path, &error);
    if (error || !root || !root->array()) return std::nullopt;
    for (const Value& item : *root->array()) {
        auto site = item.objectAs<VideoSite>();
        if (!site) return std::nullopt;  // not a list of sites: the whole store is ignored
        sites.push_back(std::move(site));
    }
    return sites;
}

std::vector<std::shared_ptr<VideoSite>> VideoSite::restoreSiteList(const std::string& path) {
    if (auto sites = readSiteList(path)) return std::move(*sites);
    std::optional<Error> error;
    if (auto aside = FileManager::moveItemAside(path, &error))
        Log::format("The site store cannot be read; moved to %@", aside->string());
    else
        Log::format("The site store cannot be read, nor moved aside: %@",
                    error ? error->localizedDescription() : std::string("unknown error"));
    return {};
}

bool VideoSite::saveSiteList(const std::vector<std::shared_ptr<VideoSite>>& sites, const std::string& path) {
    Value::Array items;
    for (const auto& site : sites)
        if (site) items.emplace_back(std::static_pointer_cast<Object>(site));
    return Utility::saveFileToDiskKeyPath(Value(std::move(items)), kSiteListKey, path);
}

void VideoSite::registerCoding() { CodingRegistry::registerClass<VideoSite>(kClassName); }

void VideoSite::encodeWithCoder(KeyedArchiver& coder) const {
    encodeText(coder, name_, kNameKey);
    encodeText(coder, url_, kURLKey);
    encodeText(coder, lastURL_, kLastURLKey);
    encodeText(coder, urlWithVideo_, kURLWithVideoKey);
    encodeList(coder, *bookmarkList_, kBookmarkListKey);
    encodeList(coder, *downloadList_, kDownloadListKey);
    encodeList(coder, *pendingDownloadList_, kPendingDownloadListKey);
}

std::shared_ptr<VideoSite> VideoSite::initWithCoder(KeyedUnarchiver& coder) {
    auto site = std::make_shared<VideoSite>();
    site->setName(coder.decodeString(kNameKey));
    site->setUrl(coder.decodeString(kURLKey));
    site->setLastURL(coder.decodeString(kLastURLKey));
    site->setUrlWithVideo(coder.decodeString(kURLWithVideoKey));
    site->setBookmarkList(decodeList(coder, kBookmarkListKey));
    site->setDownloadList(decodeList(coder, kDownloadListKey));
    site->setPendingDownloadList(decodeList(coder, kPendingDownloadListKey));
    return coder.failed() ? nullptr : site;
}

}  // namespace clipora
