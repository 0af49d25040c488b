#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Coding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Object.h"
#include "social/graph/Video.h"

namespace clipora {

// A list of videos that several owners edit in place: the site record, the
// browser screen and the saved videos screen share the very same list.
using VideoList = std::vector<std::shared_ptr<Video>>;

// `list`, or a new empty list in place of null.
inline std::shared_ptr<VideoList> videoListOrEmpty(std::shared_ptr<VideoList> list) {
    return list ? std::move(list) : std::make_shared<VideoList>();
}

// One browsable video site and the videos the user took from it: the
// bookmarks, the finished downloads and the download under way. Archived
// under the keys "SiteName", "SiteURL", "SiteLastURL", "SiteURLWithVideo",
// "SiteBookmarkList", "SiteDownloadList", "SitePendingDownloadList" (the
// stored site lists rely on them); absent texts are not written.
class VideoSite : public platform::Object, public platform::Coding {
public:
    static constexpr const char* kClassName = "VideoSite";

    // No texts, three new empty lists.
    VideoSite();

    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    const std::optional<std::string>& url() const { return url_; }
    void setUrl(std::optional<std::string> v) { url_ = std::move(v); }
    const std::optional<std::string>& lastURL() const { return lastURL_; }
    void setLastURL(std::optional<std::string> v) { lastURL_ = std::move(v); }
    const std::optional<std::string>& urlWithVideo() const { return urlWithVideo_; }
    void setUrlWithVideo(std::optional<std::string> v) { urlWithVideo_ = std::move(v); }
    // Never null: setting null puts an empty list in place.
    const std::shared_ptr<VideoList>& bookmarkList() const { return bookmarkList_; }
    void setBookmarkList(std::shared_ptr<VideoList> v) { bookmarkList_ = videoListOrEmpty(std::move(v)); }
    const std::shared_ptr<VideoList>& downloadList() const { return downloadList_; }
    void setDownloadList(std::shared_ptr<VideoList> v) { downloadList_ = videoListOrEmpty(std::move(v)); }
    const std::shared_ptr<VideoList>& pendingDownloadList() const { return pendingDownloadList_; }
    void setPendingDownloadList(std::shared_ptr<VideoList> v) { pendingDownloadList_ = videoListOrEmpty(std::move(v)); }

    // The file of a downloaded video: `fileName` under the home folder's
    // Documents folder, or std::nullopt unless the name is one plain path
    // component (not empty, no "/", not "." or ".."), so that no stored name
    // can reach Documents itself or anything outside it.
    static std::optional<std::string> documentsPathForFileName(const std::optional<std::string>& fileName);

    // --- The site store ---
    static constexpr const char* kSiteListKey = "SiteList";
    // "<home>/Documents/SiteList".
    static std::string siteListPath();
    // The site the browser starts with: the network's mobile site, opened at
    // its (https) login page that leads on to the video home page.
    static std::shared_ptr<VideoSite> defaultSite();
    // The stored sites; empty when there is no store or it cannot be read
    // as a list of sites (a damaged store is never trusted).
    static std::vector<std::shared_ptr<VideoSite>> loadSiteList(const std::string& path);
    // The same, telling the two apart: std::nullopt when there is a file
    // that is not a list of sites as this version writes it (a keyed archive
    // whose "SiteList" is an array of "VideoSite" records); an empty list
    // when there is no file.
    static std::optional<std::vector<std::shared_ptr<VideoSite>>> readSiteList(const std::string& path);
    // The browser's store at launch: the stored sites when the file reads
    // as this version's list, whatever else says otherwise. A file that does
    // not (damaged, or of another format) is moved aside, kept beside as
    // "SiteList.unreadable-<time>", and no site is answered, so that the next
    // save starts a new store without writing over the old bytes.
    static std::vector<std::shared_ptr<VideoSite>> restoreSiteList(const std::string& path);
    // Writes the sites atomically as a keyed archive under "SiteList".
    static bool saveSiteList(const std::vector<std::shared_ptr<VideoSite>>& sites, const std::string& path);

    // --- Coding ---
    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<VideoSite> initWithCoder(platform::KeyedUnarchiver& coder);
    static void registerCoding();

private:
    std::optional<std::string> name_;
    std::optional<std::string> url_;
    std::optional<std::string> lastURL_;
    std::optional<std::string> urlWithVideo_;
    std::shared_ptr<VideoList> bookmarkList_;
    std::shared_ptr<VideoList> downloadList_;
    std::shared_ptr<VideoList> pendingDownloadList_;
};

}  // namespace clipora
