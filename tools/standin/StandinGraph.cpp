#include "tools/standin/StandinGraph.h"

#include <cmath>
#include <ctime>
#include <vector>

#include "platform/foundation/Text.h"
#include "tools/standin/FQLEvaluator.h"
#include "tools/standin/StandinActions.h"
#include "tools/standin/StandinMedia.h"

namespace clipora::standin {

namespace {

std::vector<std::string> segments(const std::string& path) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        if (end > pos) out.push_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

std::string isoTime(const Json& seconds) {
    if (!seconds.is_number()) return {};
    auto t = static_cast<std::time_t>(seconds.get<double>());
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S+0000", &tm);
    return text;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

StandinReply StandinGraph::error(int status, int code, const std::string& type, const std::string& message) {
    Json inner = Json::object();
    inner["message"] = message;
    inner["type"] = type;
    inner["code"] = code;
    Json body = Json::object();
    body["error"] = inner;
    return StandinReply::json(body.dump(), status);
}

StandinReply StandinGraph::handle(const StandinRequest& request, bool videoHost) {
    if (!videoHost && platform::Text::hasPrefix(request.path, "/files/")) return file(request);
    if (!request.bodyError.empty()) {
        return error(400, 100, "OAuthException", "(#100) Malformed request body: " + request.bodyError);
    }

    StandinData::Token token;
    switch (data_.checkToken(request.param("access_token"), &token)) {
    case StandinData::TokenCheck::Valid: break;
    case StandinData::TokenCheck::Missing:
        return error(400, 2500, "OAuthException",
                     "An active access token must be used to query information about the current user.");
    case StandinData::TokenCheck::Unknown: return error(400, 190, "OAuthException", "Invalid OAuth access token.");
    case StandinData::TokenCheck::Expired:
        return error(400, 190, "OAuthException", "Error validating access token: Session has expired.");
    }
    std::string actor = StandinActions::actorOf(token);
    std::vector<std::string> parts = segments(request.path);
    const std::string& method = request.method;

    if (videoHost) {
        if (parts.size() == 2 && parts[1] == "videos" && method == "POST") return videos(request, token, parts[0]);
        return error(400, 2500, "OAuthException", "Unknown path components: " + request.path);
    }
    if (parts.size() == 1 && parts[0] == "fql" && method == "GET") return fql(request, actor);
    if (parts.size() != 2) return error(400, 2500, "OAuthException", "Unknown path components: " + request.path);

    std::string id = parts[0] == "me" ? actor : parts[0];
    const std::string& edge = parts[1];
    if (edge == "apprequestformerrecipients" && method == "GET") {
        Json data = Json::array();
        for (const auto& row : data_.table("apprequest_recipient")) {
            if (StandinActions::text(row["uid"]) == id)
                data.push_back(Json{{"recipient_id", StandinActions::text(row["recipient_id"])}});
        }
        return StandinReply::json(Json{{"data", data}}.dump());
    }
    if (edge == "accounts" && method == "GET") return accounts(id);
    if (edge == "photos" && (method == "GET" || method == "POST")) return photos(request, actor, id);
    if (edge == "albums" && method == "POST") return albums(request, actor, id);
    if (edge == "likes" && (method == "POST" || method == "DELETE")) return likes(request, actor, id);
    if (edge == "comments" && (method == "POST" || method == "DELETE")) return comments(request, actor, id);
    if (edge == "videos" && method == "POST") {
        return error(400, 352, "OAuthException", "(#352) Video uploads go to the video-upload host.");
    }
    return error(400, 2500, "OAuthException", "Unknown path components: " + request.path);
}

StandinReply StandinGraph::file(const StandinRequest& request) {
    if (request.method != "GET" && request.method != "HEAD")
        return StandinReply::errorPage(405, "Files are read only.");
    const std::string& path = request.path;
    std::string name = path.substr(path.rfind('/') + 1);
    auto reply = [](std::string type, std::string body) {
        StandinReply r;
        r.contentType = std::move(type);
        r.body = std::move(body);
        return r;
    };
    if (platform::Text::hasPrefix(path, "/files/uploads/")) {
        auto stored = data_.file(name);
        if (!stored) return StandinReply::errorPage(404, "No such file.");
        return reply(stored->contentType, stored->data);
    }
    {
        std::lock_guard lock(cacheMutex_);
        auto it = cache_.find(path);
        if (it != cache_.end()) return reply(endsWith(path, ".mp4") ? "video/mp4" : "image/png", it->second);
    }
    std::string body;
    if (platform::Text::hasPrefix(path, "/files/videos/") && endsWith(name, ".mp4")) {
        std::string stem = name.substr(0, name.size() - 4);
        bool hd = endsWith(stem, "_hd");
        std::string vid = hd ? stem.substr(0, stem.size() - 3) : stem;
        if (!data_.findRow("video", "vid", vid)) return StandinReply::errorPage(404, "No such video.");
        body = hd ? StandinMedia::mp4(stem, 24 * 1024, 1280, 720) : StandinMedia::mp4(stem, 6 * 1024, 480, 360);
    } else if ((platform::Text::hasPrefix(path, "/files/thumbs/") ||
                platform::Text::hasPrefix(path, "/files/photos/") || platform::Text::hasPrefix(path, "/files/pics/")) &&
               endsWith(name, ".png") && name.size() > 4) {
        std::uint32_t width = 64, height = 48;
        if (platform::Text::hasPrefix(path, "/files/pics/")) width = height = 50;
        if (endsWith(name, "_s.png")) width = 100, height = 75;
        if (endsWith(name, "_n.png") || endsWith(name, "_a.png")) width = 240, height = 180;
        body = StandinMedia::png(name, width, height);
    } else {
        return StandinReply::errorPage(404, "No such file.");
    }
    std::lock_guard lock(cacheMutex_);
    cache_[path] = body;
    return reply(endsWith(path, ".mp4") ? "video/mp4" : "image/png", body);
}

StandinReply StandinGraph::photos(const StandinRequest& request, const std::string& actor, const std::string& id) {
    auto album = data_.findRow("album", "object_id", id);
    if (!album) album = data_.findRow("album", "aid", id);
    if (!album) {
        return error(404, 803, "OAuthException", "(#803) Some of the aliases you requested do not exist: " + id);
    }
    if (request.method == "POST") {
        if (StandinActions::text((*album)["owner"]) != actor) {
            return error(400, 120, "OAuthException", "(#120) Invalid album id");
        }
        std::string caption = request.hasParam("message") ? request.param("message") : request.param("caption");
        std::string problem;
        auto photo =
            StandinActions::addPhoto(data_, request, actor, StandinActions::text((*album)["aid"]), caption, problem);
        if (!photo) return error(400, 324, "OAuthException", problem);
        return StandinReply::json(Json{{"id", StandinActions::text((*photo)["object_id"])}}.dump());
    }
    std::size_t limit = 25;
    if (request.hasParam("limit")) {
        const std::string& text = request.param("limit");
        if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
            return error(400, 100, "OAuthException", "(#100) limit must be a number");
        }
        limit = std::stoul(text);
    }
    std::string aid = StandinActions::text((*album)["aid"]);
    Json data = Json::array();
    for (const auto& photo : data_.table("photo")) {
        if (data.size() >= limit) break;
        if (StandinActions::text(photo["aid"]) != aid) continue;
        Json entry = Json::object();
        entry["id"] = StandinActions::text(photo["object_id"]);
        Json from = Json::object();
        from["id"] = StandinActions::text(photo["owner"]);
        if (auto user = data_.findRow("user", "uid", from["id"])) from["name"] = (*user)["name"];
        entry["from"] = from;
        if (!photo.value("caption", Json()).is_null()) entry["name"] = photo["caption"];
        entry["picture"] = photo.value("src_small", Json());
        entry["source"] = photo.value("src_big", Json());
        entry["height"] = photo.value("src_big_height", Json());
        entry["width"] = photo.value("src_big_width", Json());
        entry["link"] = photo.value("link", Json());
        entry["created_time"] = isoTime(photo.value("created", Json()));
        data.push_back(std::move(entry));
    }
    return StandinReply::json(Json{{"data", data}}.dump());
}

StandinReply StandinGraph::accounts(const std::string& actor) {
    Json data = Json::array();
    for (const auto& admin : data_.table("page_admin")) {
        if (StandinActions::text(admin["uid"]) != actor) continue;
        std::string pageId = StandinActions::text(admin["page_id"]);
        auto page = data_.findRow("page", "page_id", pageId);
        if (!page) continue;
        std::string token = data_.pageToken(pageId);
        if (token.empty()) token = data_.issueToken({}, 0, pageId);
        Json entry = Json::object();
        entry["name"] = (*page)["name"];
        entry["access_token"] = token;
        entry["category"] = page->value("category", Json());
        entry["id"] = pageId;
        data.push_back(std::move(entry));
    }
    return StandinReply::json(Json{{"data", data}}.dump());
}

StandinReply StandinGraph::fql(const StandinRequest& request, const std::string& actor) {
    std::string q = request.param("q");
    if (q.empty()) return error(400, 601, "OAuthException", "(#601) Parser error: the parameter q is required.");
    Json tables = data_.tables();
    FQLEvaluator evaluator(tables, actor, StandinData::now());
    std::size_t first = q.find_first_not_of(" \t\r\n");
    auto result =
        first != std::string::npos && q[first] == '{' ? evaluator.multiquery(std::string_view(q)) : evaluator.query(q);
    if (auto* failure = std::get_if<FQLEvaluator::Error>(&result)) {
        return error(400, failure->code, "OAuthException",
                     "(#" + std::to_string(failure->code) + ") " + failure->message);
    }
    return StandinReply::json(Json{{"data", std::get<Json>(result)}}.dump());
}

StandinReply StandinGraph::likes(const StandinRequest& request, const std::string& actor, const std::string& id) {
    if (!StandinActions::isKnownObject(data_, id)) {
        return error(404, 803, "OAuthException", "(#803) Some of the aliases you requested do not exist: " + id);
    }
    auto matches = [&](const Json& row) {
        return StandinActions::text(row["object_id"]) == id && StandinActions::text(row["user_id"]) == actor;
    };
    data_.removeRows("like", matches);
    if (request.method == "POST") {
        Json row = Json::object();
        row["object_id"] = id;
        row["user_id"] = std::stoll(actor);
        data_.insertRow("like", row);
    }
    return StandinReply::json("true");
}

StandinReply StandinGraph::comments(const StandinRequest& request, const std::string& actor, const std::string& id) {
    if (!StandinActions::isKnownObject(data_, id)) {
        return error(404, 803, "OAuthException", "(#803) Some of the aliases you requested do not exist: " + id);
    }
    if (request.method == "DELETE") {
        data_.removeRows("comment", [&](const Json& row) {
            return StandinActions::text(row["object_id"]) == id && StandinActions::text(row["fromid"]) == actor;
        });
        return StandinReply::json("true");
    }
    std::string message = request.param("message");
    if (message.empty()) return error(400, 100, "OAuthException", "(#100) A comment may not be empty");
    Json row = Json::object();
    row["id"] = id + "_" + data_.newId();
    row["object_id"] = id;
    row["fromid"] = std::stoll(actor);
    row["time"] = static_cast<std::int64_t>(std::floor(StandinData::now()));
    row["text"] = message;
    data_.insertRow("comment", row);
    return StandinReply::json(Json{{"id", row["id"]}}.dump());
}

StandinReply StandinGraph::albums(const StandinRequest& request, const std::string& actor, const std::string& id) {
    if (id != actor) return error(400, 200, "OAuthException", "(#200) Permissions error");
    std::string name = request.param("name");
    if (name.empty()) return error(400, 100, "OAuthException", "(#100) Invalid album name");
    std::string privacy = "EVERYONE";
    if (request.hasParam("privacy")) {
        if (!StandinActions::validPrivacy(request.param("privacy"))) {
            return error(400, 100, "OAuthException", "(#100) Invalid privacy setting");
        }
        privacy = Json::parse(request.param("privacy"))["value"].get<std::string>();
    }
    Json album =
        StandinActions::createAlbum(data_, actor, name, request.param("message"), request.param("location"), privacy);
    return StandinReply::json(Json{{"id", StandinActions::text(album["object_id"])}}.dump());
}

StandinReply StandinGraph::videos(const StandinRequest& request, const StandinData::Token& token,
                                  const std::string& id) {
    std::string actor = StandinActions::actorOf(token);
    std::string owner = id == "me" ? actor : id;
    // A user posts to their own list; a page's token to the page's.
    if (owner != actor) return error(400, 200, "OAuthException", "(#200) Permissions error");
    std::string problem;
    auto video = StandinActions::addVideo(data_, request, owner, problem);
    if (!video) return error(400, problem.find("#100") != std::string::npos ? 100 : 352, "OAuthException", problem);
    return StandinReply::json(Json{{"id", (*video)["vid"]}}.dump());
}

}  // namespace clipora::standin
