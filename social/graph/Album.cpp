#include "social/graph/Album.h"

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/Value.h"

namespace clipora {

using platform::Coding;
using platform::Value;

namespace {

const bool gRegistered = [] {
    Album::registerCoding();
    return true;
}();

void writeText(platform::KeyedArchiver& coder, const std::optional<std::string>& text, std::string_view key) {
    coder.encodeObject(text ? std::optional<Value>(Value(*text)) : std::nullopt, key);
}

// A field of any plain kind (or an image); what does not fit its field reads
// as absent.
std::optional<Value> readPlain(platform::KeyedUnarchiver& coder, std::string_view key) {
    return coder.decodeObject(key, {Coding::kStringClass, Coding::kNumberClass, Coding::kDataClass, Coding::kDateClass,
                                    Coding::kNullClass, platform::Image::kClassName});
}

std::optional<std::string> readText(platform::KeyedUnarchiver& coder, std::string_view key) {
    auto value = readPlain(coder, key);
    if (!value || !value->isString()) return std::nullopt;
    return *value->string();
}

}  // namespace

void Album::registerCoding() { platform::CodingRegistry::registerClass<Album>(kClassName); }

void Album::encodeWithCoder(platform::KeyedArchiver& coder) const {
    writeText(coder, albumID_, "AlbumID");
    writeText(coder, graphAlbumID_, "GraphAlbumID");
    writeText(coder, name_, "AlbumName");
    writeText(coder, location_, "AlbumLocation");
    writeText(coder, description_, "AlbumDescription");
    writeText(coder, visible_, "AlbumVisible");
    writeText(coder, albumCoverURL_, "AlbumCoverURL");
    coder.encodeObject(image_, "AlbumImage");
    coder.encodeObject(size_ ? std::optional<Value>(Value(static_cast<long long>(*size_))) : std::nullopt, "AlbumSize");
    writeText(coder, link_, "AlbumLink");
    coder.encodeObject(modifiedDate_ ? std::optional<Value>(Value(*modifiedDate_)) : std::nullopt, "AlbumModifiedDate");
}

std::shared_ptr<Album> Album::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto album = std::make_shared<Album>();
    album->setAlbumID(readText(coder, "AlbumID"));
    album->setGraphAlbumID(readText(coder, "GraphAlbumID"));
    album->setName(readText(coder, "AlbumName"));
    album->setLocation(readText(coder, "AlbumLocation"));
    album->setDescriptionText(readText(coder, "AlbumDescription"));
    album->setVisible(readText(coder, "AlbumVisible"));
    album->setAlbumCoverURL(readText(coder, "AlbumCoverURL"));
    if (auto image = readPlain(coder, "AlbumImage")) album->setImage(image->objectAs<platform::Image>());
    if (auto size = readPlain(coder, "AlbumSize"); size && size->isNumber() && !size->isBool())
        album->setSize(size->longLongValue());
    album->setLink(readText(coder, "AlbumLink"));
    if (auto date = readPlain(coder, "AlbumModifiedDate")) album->setModifiedDate(date->date());
    return coder.failed() ? nullptr : album;
}

}  // namespace clipora
