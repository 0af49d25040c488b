#include "social/graph/StreamRemove.h"

#include "platform/foundation/Log.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

std::shared_ptr<StreamRemove> StreamRemove::initWithDelegate(std::shared_ptr<Facebook> session,
                                                             std::weak_ptr<StreamRemoveDelegate> delegate) {
    auto operation = std::make_shared<StreamRemove>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void StreamRemove::execute(const std::optional<std::string>& postID) {
    platform::Value::Dictionary params = paramsUntilAbsent({{"post_id", postID}});
    startRequest([&params](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate("stream.remove", std::move(params),
                                                                              "POST", std::move(delegate));
    });
}

void StreamRemove::didLoadResult(const std::shared_ptr<FBRequest>&, const platform::Value&) {
    setSuccess(true);
    auto self = std::static_pointer_cast<StreamRemove>(shared_from_this());
    if (auto d = delegate()) d->finishStreamRemove(self);
}

void StreamRemove::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] StreamRemove Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    auto self = std::static_pointer_cast<StreamRemove>(shared_from_this());
    if (auto d = delegate()) d->finishStreamRemove(self);
}

}  // namespace clipora
