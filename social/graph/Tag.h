#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Coding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Point.h"

namespace clipora {

// A person tagged on a photo, at a point of the shown image. Archived with
// the keys "TagName", "TagUID" and "TagLocation" (a point).
class Tag : public platform::Object, public platform::Coding {
public:
    static constexpr const char* kClassName = "Tag";

    Tag() = default;

    std::shared_ptr<Tag> copy() const;
    std::shared_ptr<Tag> copyDeep() const;

    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<Tag> initWithCoder(platform::KeyedUnarchiver& coder);
    static void registerCoding();

    const std::optional<std::string>& tagName() const { return tagName_; }
    void setTagName(std::optional<std::string> v) { tagName_ = std::move(v); }
    const std::optional<std::string>& tagUID() const { return tagUID_; }
    void setTagUID(std::optional<std::string> v) { tagUID_ = std::move(v); }
    platform::Point location() const { return location_; }
    void setLocation(platform::Point v) { location_ = v; }

private:
    std::optional<std::string> tagName_;
    std::optional<std::string> tagUID_;
    platform::Point location_;
};

}  // namespace clipora
