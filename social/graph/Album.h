#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Object.h"
#include "platform/uikit/Image.h"

namespace clipora {

// A photo album. Archived with all eleven keys, absent fields included:
// "AlbumID", "GraphAlbumID", "AlbumName", "AlbumLocation",
// "AlbumDescription", "AlbumVisible", "AlbumCoverURL", "AlbumImage",
// "AlbumSize", "AlbumLink", "AlbumModifiedDate". The property "description"
// is descriptionText() in C++.
class Album : public platform::Object, public platform::Coding {
public:
    static constexpr const char* kClassName = "Album";

    Album() = default;

    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<Album> initWithCoder(platform::KeyedUnarchiver& coder);
    static void registerCoding();

    const std::optional<std::string>& albumID() const { return albumID_; }
    void setAlbumID(std::optional<std::string> v) { albumID_ = std::move(v); }
    const std::optional<std::string>& graphAlbumID() const { return graphAlbumID_; }
    void setGraphAlbumID(std::optional<std::string> v) { graphAlbumID_ = std::move(v); }
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    const std::optional<std::string>& descriptionText() const { return description_; }
    void setDescriptionText(std::optional<std::string> v) { description_ = std::move(v); }
    const std::optional<std::string>& location() const { return location_; }
    void setLocation(std::optional<std::string> v) { location_ = std::move(v); }
    const std::optional<std::string>& visible() const { return visible_; }
    void setVisible(std::optional<std::string> v) { visible_ = std::move(v); }
    const std::optional<std::string>& albumCoverURL() const { return albumCoverURL_; }
    void setAlbumCoverURL(std::optional<std::string> v) { albumCoverURL_ = std::move(v); }
    const std::shared_ptr<platform::Image>& image() const { return image_; }
    void setImage(std::shared_ptr<platform::Image> v) { image_ = std::move(v); }
    // Count of photos.
    const std::optional<std::int64_t>& size() const { return size_; }
    void setSize(std::optional<std::int64_t> v) { size_ = v; }
    const std::optional<std::string>& link() const { return link_; }
    void setLink(std::optional<std::string> v) { link_ = std::move(v); }
    const std::optional<platform::Date>& modifiedDate() const { return modifiedDate_; }
    void setModifiedDate(std::optional<platform::Date> v) { modifiedDate_ = v; }

private:
    std::optional<std::string> albumID_;
    std::optional<std::string> graphAlbumID_;
    std::optional<std::string> name_;
    std::optional<std::string> description_;
    std::optional<std::string> location_;
    std::optional<std::string> visible_;
    std::optional<std::string> albumCoverURL_;
    std::shared_ptr<platform::Image> image_;
    std::optional<std::int64_t> size_;
    std::optional<std::string> link_;
    std::optional<platform::Date> modifiedDate_;
};

}  // namespace clipora
