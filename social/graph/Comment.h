#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "social/graph/TPAutoArchiving.h"
#include "social/graph/User.h"

namespace clipora {

// A comment on an object of the network. Archived by TPAutoArchiver:
// fromUser, objectID, text, date.
class Comment : public TPAutoArchiving {
public:
    static constexpr const char* kClassName = "Comment";

    Comment() = default;
    static std::shared_ptr<Comment> initWithObjectIDTextDate(std::shared_ptr<User> fromUser,
                                                             std::optional<std::string> objectID,
                                                             std::optional<std::string> text,
                                                             std::optional<platform::Date> date);

    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<Comment> initWithCoder(platform::KeyedUnarchiver& coder);
    std::vector<std::string> autoArchiverObjectClasses() const override;
    static void registerCoding();

    const std::shared_ptr<User>& fromUser() const { return fromUser_; }
    void setFromUser(std::shared_ptr<User> v) { fromUser_ = std::move(v); }
    const std::optional<std::string>& objectID() const { return objectID_; }
    void setObjectID(std::optional<std::string> v) { objectID_ = std::move(v); }
    const std::optional<std::string>& text() const { return text_; }
    void setText(std::optional<std::string> v) { text_ = std::move(v); }
    const std::optional<platform::Date>& date() const { return date_; }
    void setDate(std::optional<platform::Date> v) { date_ = v; }

private:
    std::shared_ptr<User> fromUser_;
    std::optional<std::string> objectID_;
    std::optional<std::string> text_;
    std::optional<platform::Date> date_;
};

}  // namespace clipora
