#include "social/graph/GetAlbumCover.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "social/graph/PhotoRows.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

std::shared_ptr<GetAlbumCover> GetAlbumCover::initWithDelegate(std::shared_ptr<Facebook> session,
                                                               std::weak_ptr<GetAlbumCoverDelegate> delegate) {
    auto operation = std::make_shared<GetAlbumCover>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void GetAlbumCover::execute(const std::string& uid) {
    setTimeToWaitBeforeTimeout(kTimeout);
    const std::string query = platform::Text::format(
        "SELECT pid, src_small FROM photo WHERE pid in (SELECT cover_pid FROM album WHERE owner == %@)", uid);
    startRequest([&query](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate("fql.query", {{"query", Value(query)}},
                                                                              "POST", std::move(delegate));
    });
}

void GetAlbumCover::didLoadResult(const std::shared_ptr<FBRequest>& request, const Value& result) {
    const Value::Array* rows = PhotoRows::rowList(result);
    if (!rows) return failedWithJunkData(request);
    setSuccess(true);
    auto self = std::static_pointer_cast<GetAlbumCover>(shared_from_this());
    if (auto d = delegate()) d->gotAlbumCoverResult(self, *rows);
}

void GetAlbumCover::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] GetAlbumCover Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__,
                          error.code(), error.localizedDescription());
    auto self = std::static_pointer_cast<GetAlbumCover>(shared_from_this());
    if (auto d = delegate()) d->gotAlbumCoverResult(self, std::nullopt);
}

}  // namespace clipora
