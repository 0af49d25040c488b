#pragma once

#include <map>
#include <mutex>
#include <string>

#include "tools/standin/StandinData.h"
#include "tools/standin/StandinReply.h"
#include "tools/standin/StandinRequest.h"

namespace clipora::standin {

// The graph host and the video-upload graph host.
//
// Graph paths (an "access_token" is required; errors are the graph's
// {"error": {"message", "type", "code"}} with status 400, or 404 for an
// object that does not exist):
//   GET  me/apprequestformerrecipients   {"data": [{"recipient_id": ...}]}
//   GET  <album id>/photos[?limit=n]     {"data": [photo, ...]}
//   POST <album id>/photos               photo upload (file part), {"id": ...}
//   POST <uid>/albums                    {"id": ...}
//   GET  me/accounts                     {"data": [{"name", "id", "category", "access_token"}]}
//   GET  fql?q=<query or JSON object of queries>   {"data": [...]}
//   POST|DELETE <id>/likes               true
//   POST <id>/comments                   {"id": ...};  DELETE: true
//   POST <uid>/videos                    on the video-upload host only: {"id": ...}
// Files (no token needed): /files/videos/<vid>.mp4 and <vid>_hd.mp4,
// /files/thumbs/<name>.png, /files/photos/<name>.png, /files/pics/<name>.png,
// /files/uploads/<name> (what was uploaded).
class StandinGraph {
public:
    explicit StandinGraph(StandinData& data) : data_(data) {}

    StandinReply handle(const StandinRequest& request, bool videoHost);

    static StandinReply error(int status, int code, const std::string& type, const std::string& message);

private:
    StandinReply file(const StandinRequest& request);
    StandinReply photos(const StandinRequest& request, const std::string& actor, const std::string& id);
    StandinReply accounts(const std::string& actor);
    StandinReply fql(const StandinRequest& request, const std::string& actor);
    StandinReply likes(const StandinRequest& request, const std::string& actor, const std::string& id);
    StandinReply comments(const StandinRequest& request, const std::string& actor, const std::string& id);
    StandinReply albums(const StandinRequest& request, const std::string& actor, const std::string& id);
    StandinReply videos(const StandinRequest& request, const StandinData::Token& token, const std::string& id);

    StandinData& data_;
    std::mutex cacheMutex_;
    std::map<std::string, std::string> cache_;  // generated files by path
};

}  // namespace clipora::standin
