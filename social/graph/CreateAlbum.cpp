#include "social/graph/CreateAlbum.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "social/json/SNJsonWriter.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

std::shared_ptr<CreateAlbum> CreateAlbum::initWithDelegate(std::shared_ptr<Facebook> session,
                                                           std::weak_ptr<CreateAlbumDelegate> delegate) {
    auto operation = std::make_shared<CreateAlbum>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

std::string CreateAlbum::privacyValue(const std::string& visible) {
    SNJsonWriter writer;
    return writer.stringWithObject(Value::makeDictionary({{"value", Value(platform::Text::uppercase(visible))}}))
        .value_or("{}");
}

void CreateAlbum::executeInContextUid(const Album& album, std::int32_t inContext, const std::string& uid) {
    Value::Dictionary params;
    if (album.name()) params["name"] = Value(*album.name());
    if (album.location()) params["location"] = Value(*album.location());
    if (album.visible()) params["privacy"] = Value(privacyValue(*album.visible()));
    const std::string description = album.descriptionText().value_or("");
    if (inContext != 0) {
        params["message"] = Value(description);
        const std::string path = platform::Text::format("/%@/albums", uid);
        startRequest([&](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
            return session.requestWithGraphPathAndParamsAndHttpMethodAndDelegate(path, params, "POST",
                                                                                 std::move(delegate));
        });
    } else {
        params["description"] = Value(description);
        startRequest([&](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
            return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate("photos.createAlbum", params, "POST",
                                                                                  std::move(delegate));
        });
    }
}

void CreateAlbum::didLoadResult(const std::shared_ptr<FBRequest>&, const Value& result) {
    setSuccess(true);
    auto self = std::static_pointer_cast<CreateAlbum>(shared_from_this());
    if (auto d = delegate()) d->newAlbumResult(self, result);
}

void CreateAlbum::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] CreateAlbum Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    auto self = std::static_pointer_cast<CreateAlbum>(shared_from_this());
    if (auto d = delegate()) d->newAlbumResult(self, std::nullopt);
}

}  // namespace clipora
