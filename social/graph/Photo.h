#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Object.h"
#include "social/graph/Comment.h"
#include "social/graph/TPAutoArchiving.h"
#include "social/graph/Tag.h"
#include "social/graph/User.h"

namespace clipora {

// A photo with its tags, comments and likes. Archived by TPAutoArchiver
// under its declared property names except `asset`: a photo-library entry
// lives only as long as the process and cannot be archived.
class Photo : public TPAutoArchiving {
public:
    static constexpr const char* kClassName = "Photo";

    // Empty lists, every other field absent or 0.
    Photo() = default;

    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<Photo> initWithCoder(platform::KeyedUnarchiver& coder);
    std::vector<std::string> autoArchiverKeysToExclude() const override;
    std::vector<std::string> autoArchiverObjectClasses() const override;
    static void registerCoding();

    const std::optional<std::string>& caption() const { return caption_; }
    void setCaption(std::optional<std::string> v) { caption_ = std::move(v); }
    // The photo keeps its own copy of the list it is given.
    const std::vector<std::shared_ptr<Tag>>& tags() const { return tags_; }
    void setTags(std::vector<std::shared_ptr<Tag>> v) { tags_ = std::move(v); }
    const std::vector<std::shared_ptr<Comment>>& comments() const { return comments_; }
    void setComments(std::vector<std::shared_ptr<Comment>> v) { comments_ = std::move(v); }
    const std::vector<std::shared_ptr<User>>& likes() const { return likes_; }
    void setLikes(std::vector<std::shared_ptr<User>> v) { likes_ = std::move(v); }
    const std::optional<std::string>& imagePath() const { return imagePath_; }
    void setImagePath(std::optional<std::string> v) { imagePath_ = std::move(v); }
    std::int32_t imageHeight() const { return imageHeight_; }
    void setImageHeight(std::int32_t v) { imageHeight_ = v; }
    std::int32_t imageWidth() const { return imageWidth_; }
    void setImageWidth(std::int32_t v) { imageWidth_ = v; }
    // An entry of the device's photo library.
    const std::shared_ptr<platform::Object>& asset() const { return asset_; }
    void setAsset(std::shared_ptr<platform::Object> v) { asset_ = std::move(v); }
    const std::optional<std::string>& pid() const { return pid_; }
    void setPid(std::optional<std::string> v) { pid_ = std::move(v); }
    const std::optional<std::string>& aid() const { return aid_; }
    void setAid(std::optional<std::string> v) { aid_ = std::move(v); }
    const std::optional<std::string>& objectID() const { return objectID_; }
    void setObjectID(std::optional<std::string> v) { objectID_ = std::move(v); }
    const std::optional<std::string>& ownerID() const { return ownerID_; }
    void setOwnerID(std::optional<std::string> v) { ownerID_ = std::move(v); }
    const std::optional<std::string>& ownerName() const { return ownerName_; }
    void setOwnerName(std::optional<std::string> v) { ownerName_ = std::move(v); }
    const std::optional<std::string>& srcSmall() const { return srcSmall_; }
    void setSrcSmall(std::optional<std::string> v) { srcSmall_ = std::move(v); }
    const std::optional<std::string>& srcBig() const { return srcBig_; }
    void setSrcBig(std::optional<std::string> v) { srcBig_ = std::move(v); }
    const std::optional<std::string>& photoPageLink() const { return photoPageLink_; }
    void setPhotoPageLink(std::optional<std::string> v) { photoPageLink_ = std::move(v); }

private:
    std::optional<std::string> caption_;
    std::vector<std::shared_ptr<Tag>> tags_;
    std::vector<std::shared_ptr<Comment>> comments_;
    std::vector<std::shared_ptr<User>> likes_;
    std::optional<std::string> imagePath_;
    std::int32_t imageHeight_ = 0;
    std::int32_t imageWidth_ = 0;
    std::shared_ptr<platform::Object> asset_;
    std::optional<std::string> pid_;
    std::optional<std::string> aid_;
    std::optional<std::string> objectID_;
    std::optional<std::string> ownerID_;
    std::optional<std::string> ownerName_;
    std::optional<std::string> srcSmall_;
    std::optional<std::string> srcBig_;
    std::optional<std::string> photoPageLink_;
};

}  // namespace clipora
