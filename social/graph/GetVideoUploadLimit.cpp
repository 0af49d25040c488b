#include "social/graph/GetVideoUploadLimit.h"

#include "platform/foundation/Log.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

std::shared_ptr<GetVideoUploadLimit> GetVideoUploadLimit::initWithDelegate(
    std::shared_ptr<Facebook> session, std::weak_ptr<GetVideoUploadLimitDelegate> delegate) {
    auto operation = std::make_shared<GetVideoUploadLimit>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void GetVideoUploadLimit::execute() {
    startRequest([](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate("video.getUploadLimits", {}, "GET",
                                                                              std::move(delegate));
    });
}

void GetVideoUploadLimit::didLoadResult(const std::shared_ptr<FBRequest>&, const platform::Value& result) {
    setSuccess(true);
    auto self = std::static_pointer_cast<GetVideoUploadLimit>(shared_from_this());
    if (auto d = delegate()) d->finishGetVideoUploadLimitResult(self, result);
}

void GetVideoUploadLimit::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] GetVideoUploadLimit Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__,
                          error.code(), error.localizedDescription());
    auto self = std::static_pointer_cast<GetVideoUploadLimit>(shared_from_this());
    if (auto d = delegate()) d->finishGetVideoUploadLimitResult(self, std::nullopt);
}

}  // namespace clipora
