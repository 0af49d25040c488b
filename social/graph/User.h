#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "social/graph/TPAutoArchiving.h"

namespace clipora {

// A person (or a page or group when it names a video's owner). Archived by
// TPAutoArchiver: uid, name, objectID, profilePhotoLink.
class User : public TPAutoArchiving {
public:
    static constexpr const char* kClassName = "User";

    User() = default;

    // A new user with all four fields (copying loses nothing).
    std::shared_ptr<User> copy() const;
    std::shared_ptr<User> copyDeep() const;

    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<User> initWithCoder(platform::KeyedUnarchiver& coder);
    static void registerCoding();

    const std::optional<std::string>& uid() const { return uid_; }
    void setUid(std::optional<std::string> v) { uid_ = std::move(v); }
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    const std::optional<std::string>& objectID() const { return objectID_; }
    void setObjectID(std::optional<std::string> v) { objectID_ = std::move(v); }
    const std::optional<std::string>& profilePhotoLink() const { return profilePhotoLink_; }
    void setProfilePhotoLink(std::optional<std::string> v) { profilePhotoLink_ = std::move(v); }

private:
    std::optional<std::string> uid_;
    std::optional<std::string> name_;
    std::optional<std::string> objectID_;
    std::optional<std::string> profilePhotoLink_;
};

}  // namespace clipora
