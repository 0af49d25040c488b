#include "social/graph/Tag.h"

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/Value.h"
#include "social/graph/ArchivedText.h"

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
    tag->setTagName(ArchivedText::read(coder, "TagName"));
    tag->setTagUID(ArchivedText::read(coder, "TagUID"));
    tag->setLocation(coder.decodePoint("TagLocation"));
    return coder.failed() ? nullptr : tag;
}

}  // namespace clipora
