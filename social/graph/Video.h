#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Image.h"
#include "social/graph/TPAutoArchiving.h"

namespace clipora {

// One video of the social network, of a page the browser found, or of a file
// downloaded into Documents. A plain record: no equality of its own.
//
// Archived by TPAutoArchiver under its declared property names, in this
// order: videoID, title, description, thumbnailLink, privacy, image,
// updatedTime, videoPageLink, videoPath, ownerUID, ownerName, src, srcHD,
// url, isLocal. The property "description" is read and written in C++ as
// descriptionText() (Object::description() is the object's text form);
// videoPath is archived as the text of its URL.
class Video : public TPAutoArchiving {
public:
    static constexpr const char* kClassName = "Video";

    // Every field absent, isLocal false.
    Video() = default;

    // --- Coding ---
    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<Video> initWithCoder(platform::KeyedUnarchiver& coder);
    std::vector<std::string> autoArchiverObjectClasses() const override;
    // Registers the class and its properties (also done at start-up).
    static void registerCoding();

    // A list of videos as a keyed archive file under `key`, written atomically.
    static bool saveVideoList(const std::vector<std::shared_ptr<Video>>& videos, const std::filesystem::path& path,
                              std::string_view key = platform::KeyedArchiver::kRootKey);
    // The list back. A missing file gives an empty list; a file that cannot
    // be read as a list of videos gives an empty list and a log line.
    static std::vector<std::shared_ptr<Video>> loadVideoList(const std::filesystem::path& path,
                                                             std::string_view key = platform::KeyedArchiver::kRootKey);

    // --- Fields ---
    const std::optional<std::string>& videoID() const { return videoID_; }
    void setVideoID(std::optional<std::string> v) { videoID_ = std::move(v); }
    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> v) { title_ = std::move(v); }
    const std::optional<std::string>& descriptionText() const { return description_; }
    void setDescriptionText(std::optional<std::string> v) { description_ = std::move(v); }
    const std::optional<std::string>& thumbnailLink() const { return thumbnailLink_; }
    void setThumbnailLink(std::optional<std::string> v) { thumbnailLink_ = std::move(v); }
    const std::optional<std::string>& privacy() const { return privacy_; }
    void setPrivacy(std::optional<std::string> v) { privacy_ = std::move(v); }
    const std::shared_ptr<platform::Image>& image() const { return image_; }
    void setImage(std::shared_ptr<platform::Image> v) { image_ = std::move(v); }
    const std::optional<platform::Date>& updatedTime() const { return updatedTime_; }
    void setUpdatedTime(std::optional<platform::Date> v) { updatedTime_ = v; }
    const std::optional<std::string>& videoPageLink() const { return videoPageLink_; }
    void setVideoPageLink(std::optional<std::string> v) { videoPageLink_ = std::move(v); }
    const std::optional<platform::URL>& videoPath() const { return videoPath_; }
    void setVideoPath(std::optional<platform::URL> v) { videoPath_ = std::move(v); }
    const std::optional<std::string>& ownerUID() const { return ownerUID_; }
    void setOwnerUID(std::optional<std::string> v) { ownerUID_ = std::move(v); }
    const std::optional<std::string>& ownerName() const { return ownerName_; }
    void setOwnerName(std::optional<std::string> v) { ownerName_ = std::move(v); }
    const std::optional<std::string>& src() const { return src_; }
    void setSrc(std::optional<std::string> v) { src_ = std::move(v); }
    const std::optional<std::string>& srcHD() const { return srcHD_; }
    void setSrcHD(std::optional<std::string> v) { srcHD_ = std::move(v); }
    const std::optional<std::string>& url() const { return url_; }
    void setUrl(std::optional<std::string> v) { url_ = std::move(v); }
    bool isLocal() const { return isLocal_; }
    void setIsLocal(bool v) { isLocal_ = v; }

private:
    std::optional<std::string> videoID_;
    std::optional<std::string> title_;
    std::optional<std::string> description_;
    std::optional<std::string> thumbnailLink_;
    std::optional<std::string> privacy_;
    std::shared_ptr<platform::Image> image_;
    std::optional<platform::Date> updatedTime_;
    std::optional<std::string> videoPageLink_;
    std::optional<platform::URL> videoPath_;
    std::optional<std::string> ownerUID_;
    std::optional<std::string> ownerName_;
    std::optional<std::string> src_;
    std::optional<std::string> srcHD_;
    std::optional<std::string> url_;
    bool isLocal_ = false;
};

}  // namespace clipora
