#include "social/graph/Photo.h"

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/PropertyTable.h"
#include "platform/foundation/Value.h"
#include "social/graph/TPAutoArchiver.h"

namespace clipora {

using platform::Value;

namespace {

const bool gRegistered = [] {
    Photo::registerCoding();
    return true;
}();

// A list of records as an array of objects. Restoring takes only a list
// whose every entry is a U.
template <class U>
platform::PropertyTable::Getter listGetter(const std::vector<std::shared_ptr<U>>& (Photo::*get)() const) {
    return [get](const platform::Object& o) -> std::optional<Value> {
        Value::Array items;
        for (const auto& item : (static_cast<const Photo&>(o).*get)())
            items.emplace_back(std::static_pointer_cast<platform::Object>(item));
        return Value(std::move(items));
    };
}

template <class U>
platform::PropertyTable::Setter listSetter(void (Photo::*set)(std::vector<std::shared_ptr<U>>)) {
    return [set](platform::Object& o, const std::optional<Value>& value) -> bool {
        std::vector<std::shared_ptr<U>> list;
        if (value && !value->isNull()) {
            if (!value->isArray()) return false;
            for (const Value& item : *value->array()) {
                auto record = item.objectAs<U>();
                if (!record) return false;
                list.push_back(std::move(record));
            }
        }
        (static_cast<Photo&>(o).*set)(std::move(list));
        return true;
    };
}

template <class U>
platform::PropertyTable::Property listProperty(std::string name,
                                               const std::vector<std::shared_ptr<U>>& (Photo::*get)() const,
                                               void (Photo::*set)(std::vector<std::shared_ptr<U>>)) {
    return {std::move(name), listGetter<U>(get), listSetter<U>(set)};
}

platform::PropertyTable photoProperties() {
    auto head =
        platform::PropertyTable::Builder<Photo>().string("caption", &Photo::caption, &Photo::setCaption).build();
    auto tail = platform::PropertyTable::Builder<Photo>()
                    .string("imagePath", &Photo::imagePath, &Photo::setImagePath)
                    .int32("imageHeight", &Photo::imageHeight, &Photo::setImageHeight)
                    .int32("imageWidth", &Photo::imageWidth, &Photo::setImageWidth)
                    .object<platform::Object>("asset", &Photo::asset, &Photo::setAsset)
                    .string("pid", &Photo::pid, &Photo::setPid)
                    .string("aid", &Photo::aid, &Photo::setAid)
                    .string("objectID", &Photo::objectID, &Photo::setObjectID)
                    .string("ownerID", &Photo::ownerID, &Photo::setOwnerID)
                    .string("ownerName", &Photo::ownerName, &Photo::setOwnerName)
                    .string("srcSmall", &Photo::srcSmall, &Photo::setSrcSmall)
                    .string("srcBig", &Photo::srcBig, &Photo::setSrcBig)
                    .string("photoPageLink", &Photo::photoPageLink, &Photo::setPhotoPageLink)
                    .build();
    std::vector<platform::PropertyTable::Property> properties = head.properties();
    properties.push_back(listProperty<Tag>("tags", &Photo::tags, &Photo::setTags));
    properties.push_back(listProperty<Comment>("comments", &Photo::comments, &Photo::setComments));
    properties.push_back(listProperty<User>("likes", &Photo::likes, &Photo::setLikes));
    for (const auto& property : tail.properties()) properties.push_back(property);
    return platform::PropertyTable(std::move(properties));
}

}  // namespace

void Photo::registerCoding() {
    Tag::registerCoding();
    Comment::registerCoding();
    User::registerCoding();
    platform::CodingRegistry::registerClass<Photo>(kClassName);
    platform::CodingRegistry::registerProperties(kClassName, photoProperties());
}

void Photo::encodeWithCoder(platform::KeyedArchiver& coder) const {
    TPAutoArchiver::archiveObjectWithCoder(this, &coder);
}

std::shared_ptr<Photo> Photo::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto photo = std::make_shared<Photo>();
    TPAutoArchiver::unarchiveObjectWithCoder(photo.get(), &coder);
    return coder.failed() ? nullptr : photo;
}

std::vector<std::string> Photo::autoArchiverKeysToExclude() const { return {"asset"}; }

std::vector<std::string> Photo::autoArchiverObjectClasses() const {
    return {Tag::kClassName, Comment::kClassName, User::kClassName};
}

}  // namespace clipora
