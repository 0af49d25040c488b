#include "social/graph/Tag.h"

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/Value.h"

namespace clipora {

namespace {

const bool gRegistered = [] {
    Tag::registerCoding();
    return true;
}();

std::optional<platform::Value> textValue(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return platform::Value(*text);
}

// A text field; a stored value of another plain kind reads as absent.
std::optional<std::string> readText(platform::KeyedUnarchiver& coder, std::string_view key) {
    auto value = coder.decodeObject(key, {platform::Coding::kStringClass, platform::Coding::kNumberClass,
                                          platform::Coding::kDataClass, platform::Coding::kDateClass,
                                          platform::Coding::kNullClass});
    if (!value || !value->isString()) return std::nullopt;
    return *value->string();
}

}  // namespace

void Tag::registerCoding() { platform::CodingRegistry::registerClass<Tag>(kClassName); }

std::shared_ptr<Tag> Tag::copy() const { return std::make_shared<Tag>(*this); }

std::shared_ptr<Tag> Tag::copyDeep() const { return std::make_shared<Tag>(*this); }

void Tag::encodeWithCoder(platform::KeyedArchiver& coder) const {
    coder.encodeObject(textValue(tagName_), "TagName");
    coder.encodeObject(textValue(tagUID_), "TagUID");
    coder.encodePoint(location_, "TagLocation");
}

std::shared_ptr<Tag> Tag::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto tag = std::make_shared<Tag>();
    tag->setTagName(readText(coder, "TagName"));
    tag->setTagUID(readText(coder, "TagUID"));
    tag->setLocation(coder.decodePoint("TagLocation"));
    return coder.failed() ? nullptr : tag;
}

}  // namespace clipora
