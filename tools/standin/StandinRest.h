#pragma once

#include <string>

#include "tools/standin/StandinData.h"
#include "tools/standin/StandinReply.h"
#include "tools/standin/StandinRequest.h"

namespace clipora::standin {

// The REST host: "/method/<name>" for fql.query, fql.multiquery,
// links.post, stream.publish, stream.remove, auth.extendSSOAccessToken,
// pages.getInfo, video.getUploadLimits, photos.upload, photos.createAlbum
// and photos.addTag. Every method needs a valid "access_token" (the error
// replies are the network's: {"error_code": ..., "error_msg": ...,
// "request_args": [...]}, code 190 for an unknown or expired token, 102 for
// none). Replies are JSON whatever "format" asks for.
class StandinRest {
public:
    explicit StandinRest(StandinData& data) : data_(data) {}

    StandinReply handle(const StandinRequest& request);

    // The network's REST error object (request arguments without the token).
    static StandinReply error(const StandinRequest& request, int code, const std::string& message, int status = 200);

private:
    StandinReply fqlQuery(const StandinRequest& request, const StandinData::Token& token);
    StandinReply fqlMultiquery(const StandinRequest& request, const StandinData::Token& token);
    StandinReply linksPost(const StandinRequest& request, const StandinData::Token& token);
    StandinReply streamPublish(const StandinRequest& request, const StandinData::Token& token);
    StandinReply streamRemove(const StandinRequest& request, const StandinData::Token& token);
    StandinReply extendToken(const StandinRequest& request, const StandinData::Token& token);
    StandinReply pagesGetInfo(const StandinRequest& request, const StandinData::Token& token);
    StandinReply photosUpload(const StandinRequest& request, const StandinData::Token& token);
    StandinReply photosCreateAlbum(const StandinRequest& request, const StandinData::Token& token);
    StandinReply photosAddTag(const StandinRequest& request, const StandinData::Token& token);

    StandinData& data_;
};

}  // namespace clipora::standin
