#include "social/graph/User.h"

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/PropertyTable.h"
#include "social/graph/TPAutoArchiver.h"

namespace clipora {

namespace {

const bool gRegistered = [] {
    User::registerCoding();
    return true;
}();

}  // namespace

void User::registerCoding() {
    platform::CodingRegistry::registerClass<User>(kClassName);
    platform::CodingRegistry::registerProperties(
        kClassName, platform::PropertyTable::Builder<User>()
                        .string("uid", &User::uid, &User::setUid)
                        .string("name", &User::name, &User::setName)
                        .string("objectID", &User::objectID, &User::setObjectID)
                        .string("profilePhotoLink", &User::profilePhotoLink, &User::setProfilePhotoLink)
                        .build());
}

std::shared_ptr<User> User::copy() const { return std::make_shared<User>(*this); }

std::shared_ptr<User> User::copyDeep() const { return std::make_shared<User>(*this); }

void User::encodeWithCoder(platform::KeyedArchiver& coder) const {
    TPAutoArchiver::archiveObjectWithCoder(this, &coder);
}

std::shared_ptr<User> User::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto user = std::make_shared<User>();
    TPAutoArchiver::unarchiveObjectWithCoder(user.get(), &coder);
    return coder.failed() ? nullptr : user;
}

}  // namespace clipora
