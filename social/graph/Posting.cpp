#include "social/graph/Posting.h"

#include "platform/foundation/Log.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

std::shared_ptr<Posting> Posting::initWithDelegate(std::shared_ptr<Facebook> session,
                                                   std::weak_ptr<PostingDelegate> delegate) {
    auto operation = std::make_shared<Posting>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void Posting::likeObjectID(const std::string& objectID) { send(objectID + "/likes", {}, "POST"); }

void Posting::commentObjectIDMessage(const std::string& objectID, const std::string& message) {
    send(objectID + "/comments", {{"message", Value(message)}}, "POST");
}

void Posting::deleteLike(const std::string& objectID) { send(objectID + "/likes", {}, "DELETE"); }

void Posting::deleteComment(const std::string& objectID) { send(objectID + "/comments", {}, "DELETE"); }

void Posting::send(const std::string& path, Value::Dictionary params, const std::string& httpMethod) {
    setTimeToWaitBeforeTimeout(kDefaultTimeout);
    startRequest([&](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithGraphPathAndParamsAndHttpMethodAndDelegate(path, std::move(params), httpMethod,
                                                                             std::move(delegate));
    });
}

void Posting::didLoadResult(const std::shared_ptr<FBRequest>&, const Value& result) {
    setSuccess(true);
    auto self = std::static_pointer_cast<Posting>(shared_from_this());
    if (auto d = delegate()) d->donePostingResult(self, result);
}

void Posting::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    auto self = std::static_pointer_cast<Posting>(shared_from_this());
    if (auto d = delegate()) d->donePostingResult(self, std::nullopt);
}

}  // namespace clipora
