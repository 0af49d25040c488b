#include "social/graph/Video.h"

#include <system_error>

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyTable.h"
#include "platform/foundation/Value.h"
#include "social/graph/TPAutoArchiver.h"

namespace clipora {

using platform::Value;

namespace {

platform::PropertyTable videoProperties() {
    return platform::PropertyTable::Builder<Video>()
        .string("videoID", &Video::videoID, &Video::setVideoID)
        .string("title", &Video::title, &Video::setTitle)
        .string("description", &Video::descriptionText, &Video::setDescriptionText)
        .string("thumbnailLink", &Video::thumbnailLink, &Video::setThumbnailLink)
        .string("privacy", &Video::privacy, &Video::setPrivacy)
        .object<platform::Image>("image", &Video::image, &Video::setImage)
        .date("updatedTime", &Video::updatedTime, &Video::setUpdatedTime)
        .string("videoPageLink", &Video::videoPageLink, &Video::setVideoPageLink)
        // The platform's URL is not codable: the path travels as its URL text.
        .value(
            "videoPath",
            [](const Video& v) -> std::optional<Value> {
                if (!v.videoPath()) return std::nullopt;
                return Value(v.videoPath()->absoluteString());
            },
            [](Video& v, const std::optional<Value>& value) -> bool {
                if (!value || value->isNull()) {
                    v.setVideoPath(std::nullopt);
                    return true;
                }
                if (!value->isString()) return false;
                auto url = platform::URL::fromString(*value->string());
                if (!url) return false;
                v.setVideoPath(std::move(url));
                return true;
            })
        .string("ownerUID", &Video::ownerUID, &Video::setOwnerUID)
        .string("ownerName", &Video::ownerName, &Video::setOwnerName)
        .string("src", &Video::src, &Video::setSrc)
        .string("srcHD", &Video::srcHD, &Video::setSrcHD)
        .string("url", &Video::url, &Video::setUrl)
        .boolean("isLocal", &Video::isLocal, &Video::setIsLocal)
        .build();
}

const bool gRegistered = [] {
    Video::registerCoding();
    return true;
}();

}  // namespace

void Video::registerCoding() {
    platform::CodingRegistry::registerClass<Video>(kClassName);
    platform::CodingRegistry::registerProperties(kClassName, videoProperties());
}

void Video::encodeWithCoder(platform::KeyedArchiver& coder) const {
    TPAutoArchiver::archiveObjectWithCoder(this, &coder);
}

std::shared_ptr<Video> Video::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto video = std::make_shared<Video>();
    TPAutoArchiver::unarchiveObjectWithCoder(video.get(), &coder);
    return coder.failed() ? nullptr : video;
}

std::vector<std::string> Video::autoArchiverObjectClasses() const { return {platform::Image::kClassName}; }

bool Video::saveVideoList(const std::vector<std::shared_ptr<Video>>& videos, const std::filesystem::path& path,
                          std::string_view key) {
    Value::Array items;
    items.reserve(videos.size());
    for (const auto& video : videos)
        if (video) items.emplace_back(std::static_pointer_cast<platform::Object>(video));
    std::optional<platform::Error> error;
    if (platform::KeyedArchiver::archiveToFile(Value(std::move(items)), path, key, &error)) return true;
    platform::Log::format("Video: could not save the video list to %@: %@", path.string(),
                          error ? error->description() : std::string("unknown error"));
    return false;
}

std::vector<std::shared_ptr<Video>> Video::loadVideoList(const std::filesystem::path& path, std::string_view key) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return {};
    std::optional<platform::Error> error;
    std::optional<Value> root = platform::KeyedUnarchiver::unarchivedObjectFromFile(
        path, {platform::Coding::kArrayClass, kClassName}, key, &error);
    if (!root || !root->isArray()) {
        platform::Log::format("Video: the video list in %@ is unreadable and was ignored: %@", path.string(),
                              error ? error->description() : std::string("no list under the key"));
        return {};
    }
    std::vector<std::shared_ptr<Video>> videos;
    for (const Value& item : *root->array())
        if (auto video = item.objectAs<Video>()) videos.push_back(std::move(video));
    return videos;
}

}  // namespace clipora
