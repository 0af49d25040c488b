#include "social/sdk/FBFrictionlessRequestSettings.h"

#include <algorithm>

#include "platform/foundation/InvalidArgumentException.h"
#include "platform/foundation/Text.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

namespace {

// The name a value's class has on the platform, for the exception's user info.
std::string className(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Null: return "NSNull";
    case Value::Kind::Data: return "NSData";
    case Value::Kind::Date: return "NSDate";
    case Value::Kind::Array: return "NSArray";
    case Value::Kind::Dictionary: return "NSDictionary";
    case Value::Kind::Object: return "NSObject";
    default: return "NSObject";
    }
}

}  // namespace

FBFrictionlessRequestSettings::~FBFrictionlessRequestSettings() = default;

void FBFrictionlessRequestSettings::enableWithFacebook(const std::shared_ptr<Facebook>& facebook) {
    if (enabled_) return;
    enabled_ = true;
    reloadRecipientCacheWithFacebook(facebook);
}

void FBFrictionlessRequestSettings::reloadRecipientCacheWithFacebook(const std::shared_ptr<Facebook>& facebook) {
    if (!facebook) return;
    dropActiveRequest();
    activeRequest_ = facebook->requestWithGraphPathAndDelegate(kRecipientsGraphPath, weak_from_this());
}

void FBFrictionlessRequestSettings::updateRecipientCacheWithRecipients(const std::vector<std::string>& recipients) {
    dropActiveRequest();
    allowedRecipients_ = recipients;
}

void FBFrictionlessRequestSettings::dropActiveRequest() {
    auto request = std::move(activeRequest_);
    activeRequest_.reset();
    if (request) request->cancel();
}

bool FBFrictionlessRequestSettings::isFrictionlessEnabledForRecipient(std::string_view fbid) const {
    std::string trimmed = platform::Text::trimSpacesAndTabs(fbid);
    return std::find(allowedRecipients_.begin(), allowedRecipients_.end(), trimmed) != allowedRecipients_.end();
}

bool FBFrictionlessRequestSettings::isFrictionlessEnabledForRecipients(const Value::Array& fbids) const {
    for (const auto& fbid : fbids) {
        std::string text;
        if (const std::string* s = fbid.string()) {
            text = *s;
        } else if (fbid.isNumber()) {
            text = fbid.description();
        } else {
            throw platform::InvalidArgumentException("items in fbids must be NSString or NSNumber",
                                                     {{"invalid class", Value(className(fbid))}});
        }
        if (!isFrictionlessEnabledForRecipient(text)) return false;
    }
    return true;
}

void FBFrictionlessRequestSettings::requestDidLoad(const std::shared_ptr<FBRequest>& request, const Value& result) {
    if (!request || request != activeRequest_) return;
    activeRequest_.reset();
    const Value* data = result.find("data");
    if (!data || !data->isArray()) return;
    std::vector<std::string> recipients;
    for (const auto& record : *data->array()) {
        const Value* id = record.find("recipient_id");
        if (!id) continue;
        if (const std::string* text = id->string()) {
            recipients.push_back(*text);
        } else if (id->isInteger() || id->isReal()) {
            recipients.push_back(id->description());
        }
    }
    allowedRecipients_ = std::move(recipients);
}

void FBFrictionlessRequestSettings::requestDidFailWithError(const std::shared_ptr<FBRequest>& request,
                                                            const platform::Error&) {
    if (request && request == activeRequest_) activeRequest_.reset();
}

}  // namespace clipora
