#include "social/graph/Comment.h"

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/PropertyTable.h"
#include "social/graph/TPAutoArchiver.h"

namespace clipora {

namespace {

const bool gRegistered = [] {
    Comment::registerCoding();
    return true;
}();

}  // namespace

void Comment::registerCoding() {
    User::registerCoding();
    platform::CodingRegistry::registerClass<Comment>(kClassName);
    platform::CodingRegistry::registerProperties(
        kClassName, platform::PropertyTable::Builder<Comment>()
                        .object<User>("fromUser", &Comment::fromUser, &Comment::setFromUser)
                        .string("objectID", &Comment::objectID, &Comment::setObjectID)
                        .string("text", &Comment::text, &Comment::setText)
                        .date("date", &Comment::date, &Comment::setDate)
                        .build());
}

std::shared_ptr<Comment> Comment::initWithObjectIDTextDate(std::shared_ptr<User> fromUser,
                                                           std::optional<std::string> objectID,
                                                           std::optional<std::string> text,
                                                           std::optional<platform::Date> date) {
    auto comment = std::make_shared<Comment>();
    comment->setFromUser(std::move(fromUser));
    comment->setObjectID(std::move(objectID));
    comment->setText(std::move(text));
    comment->setDate(date);
    return comment;
}

void Comment::encodeWithCoder(platform::KeyedArchiver& coder) const {
    TPAutoArchiver::archiveObjectWithCoder(this, &coder);
}

std::shared_ptr<Comment> Comment::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto comment = std::make_shared<Comment>();
    TPAutoArchiver::unarchiveObjectWithCoder(comment.get(), &coder);
    return coder.failed() ? nullptr : comment;
}

std::vector<std::string> Comment::autoArchiverObjectClasses() const { return {User::kClassName}; }

}  // namespace clipora
