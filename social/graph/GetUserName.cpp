#include "social/graph/GetUserName.h"

#include "platform/foundation/Log.h"
#include "social/graph/GraphReply.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

std::shared_ptr<GetUserName> GetUserName::initWithDelegate(std::shared_ptr<Facebook> session,
                                                           std::weak_ptr<GetUserNameDelegate> delegate) {
    auto operation = std::make_shared<GetUserName>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void GetUserName::execute() {
    startRequest([](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithGraphPathAndParamsAndDelegate("fql", {{"q", Value(kQuery)}}, std::move(delegate));
    });
}

void GetUserName::didLoadResult(const std::shared_ptr<FBRequest>& request, const Value& result) {
    const Value* data = result.isDictionary() && result.count() == 1 ? result.find("data") : nullptr;
    const Value* row = data && data->isArray() ? data->at(0) : nullptr;
    if (!row || !row->isDictionary()) return failedWithJunkData(request);
    setSuccess(true);
    auto user = std::make_shared<User>();
    user->setUid(GraphReply::text(*row, "uid"));
    user->setName(GraphReply::text(*row, "first_name"));
    user->setProfilePhotoLink(GraphReply::text(*row, "pic_square"));
    auto self = std::static_pointer_cast<GetUserName>(shared_from_this());
    if (auto d = delegate()) d->gotUserNameName(self, user);
}

void GetUserName::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] GetUserName Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    auto self = std::static_pointer_cast<GetUserName>(shared_from_this());
    if (auto d = delegate()) d->gotUserNameName(self, nullptr);
}

}  // namespace clipora
