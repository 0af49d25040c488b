#include "social/graph/StreamPublish.h"

#include "platform/foundation/Log.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

const char* const StreamPublish::kAttachment =
    "{\"name\":\"Uplonix: Facebook Video/Photo Batch Uploader\","
    "\"href\":\"https://apps.example.com/app/uplonix\",\t\t\t\t\t\t\t"
    "\"description\":\"The ONE and ONLY Facebook Videos/Photos Batch Uploader for the iPhone and you can WATCH "
    "VIDEO TOO which is not even possible yet! It's blazingly fast and simple to use! GET IT NOW!!\",\t\t\t\t\t\t\t"
    "\"media\":[{\"type\":\"image\",\"src\":\"https://www.example.com/uplonix/icon.png\","
    "\"href\":\"https://apps.example.com/app/uplonix\"}]}";

const char* const StreamPublish::kActionLinks =
    "[{\"text\":\"Watch Uplonix in Action!\",\"href\":\"https://video.example.com/watch/uplonix\"}]";

std::shared_ptr<StreamPublish> StreamPublish::initWithDelegate(std::shared_ptr<Facebook> session,
                                                               std::weak_ptr<StreamPublishDelegate> delegate) {
    auto operation = std::make_shared<StreamPublish>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void StreamPublish::postLinkWithComment(const std::optional<std::string>& link,
                                        const std::optional<std::string>& comment) {
    post("links.post", paramsUntilAbsent({{"url", link}, {"comment", comment}}));
}

void StreamPublish::postToNewFeedNameMessage(const std::optional<std::string>& targetID,
                                             const std::optional<std::string>& name,
                                             const std::optional<std::string>& message) {
    setTimeToWaitBeforeTimeout(kFeedTimeout);
    targetID_ = targetID;
    name_ = name;
    post("stream.publish", paramsUntilAbsent({{"message", message},
                                              {"attachment", std::string(kAttachment)},
                                              {"action_links", std::string(kActionLinks)},
                                              {"target_id", targetID}}));
}

void StreamPublish::post(const std::string& method, Value::Dictionary params) {
    startRequest([&](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate(method, std::move(params), "POST",
                                                                              std::move(delegate));
    });
}

void StreamPublish::didLoadResult(const std::shared_ptr<FBRequest>&, const Value& result) {
    lastPostID_ = result;
    setSuccess(true);
    auto self = std::static_pointer_cast<StreamPublish>(shared_from_this());
    if (auto d = delegate()) d->finishStreamPublish(self);
}

void StreamPublish::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] StreamPublish Failed: Error(%i) %@ for Page:%@", __PRETTY_FUNCTION__, __LINE__,
                          error.code(), error.localizedDescription(), name_.value_or("(null)"));
    auto self = std::static_pointer_cast<StreamPublish>(shared_from_this());
    if (auto d = delegate()) d->finishStreamPublish(self);
}

}  // namespace clipora
