#include "social/graph/GetFanPages.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

std::shared_ptr<GetFanPages> GetFanPages::initWithDelegate(std::shared_ptr<Facebook> session,
                                                           std::weak_ptr<GetFanPagesDelegate> delegate) {
    auto operation = std::make_shared<GetFanPages>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void GetFanPages::executeUid(const std::string& which, const std::string& uid) {
    which_ = which;
    std::string method;
    Value::Dictionary params;
    if (which == "group") {
        method = "fql.query";
        params.emplace("query", Value(platform::Text::format(
                                    "SELECT gid, name FROM group WHERE gid IN (SELECT gid FROM group_member WHERE "
                                    "uid == %@)",
                                    uid)));
    } else {
        method = "pages.getInfo";
        params.emplace("fields", Value("name"));
    }
    startRequest([&](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate(method, std::move(params), "POST",
                                                                              std::move(delegate));
    });
}

void GetFanPages::didLoadResult(const std::shared_ptr<FBRequest>&, const Value& result) {
    setSuccess(true);
    auto self = std::static_pointer_cast<GetFanPages>(shared_from_this());
    if (auto d = delegate()) d->finishGetFanPagesFanPages(self, result);
}

void GetFanPages::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] GetFanPages %@ Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, which_,
                          error.code(), error.localizedDescription());
    auto self = std::static_pointer_cast<GetFanPages>(shared_from_this());
    if (auto d = delegate()) d->finishGetFanPagesFanPages(self, std::nullopt);
}

}  // namespace clipora
