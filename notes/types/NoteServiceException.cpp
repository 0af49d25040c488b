#include "notes/types/NoteServiceException.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace clipora {

namespace {

// Keys of the exception part; no field of the three exceptions uses them.
constexpr const char* kNameKey = "exceptionName";
constexpr const char* kReasonKey = "exceptionReason";
constexpr const char* kUserInfoKey = "exceptionUserInfo";

}  // namespace

NoteServiceException::NoteServiceException(std::string name, std::string reason, platform::Value::Dictionary userInfo)
    : platform::Exception(std::move(name), std::move(reason), std::move(userInfo)) {}

void NoteServiceException::encodeBaseWithCoder(platform::KeyedArchiver& coder) const {
    coder.encodeObject(platform::Value(name()), kNameKey);
    coder.encodeObject(platform::Value(reason()), kReasonKey);
    coder.encodeObject(platform::Value(userInfo()), kUserInfoKey);
}

NoteServiceException::Base NoteServiceException::decodeBase(platform::KeyedUnarchiver& coder, const char* className) {
    Base base{className, "unknown", {}};
    if (auto name = coder.decodeString(kNameKey)) base.name = std::move(*name);
    if (auto reason = coder.decodeString(kReasonKey)) base.reason = std::move(*reason);
    if (coder.containsValue(kUserInfoKey)) {
        if (auto info =
                coder.decodeDictionary(kUserInfoKey, {platform::Coding::kStringClass, platform::Coding::kNumberClass,
                                                      platform::Coding::kDataClass, platform::Coding::kDateClass,
                                                      platform::Coding::kArrayClass, platform::Coding::kDictionaryClass,
                                                      platform::Coding::kNullClass}))
            base.userInfo = std::move(*info);
    }
    return base;
}

}  // namespace clipora
