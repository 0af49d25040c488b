#include "tools/standin/StandinRest.h"

#include <cmath>
#include <set>

#include "platform/foundation/Text.h"
#include "tools/standin/FQLEvaluator.h"
#include "tools/standin/StandinActions.h"
#include "tools/standin/StandinJson.h"

namespace clipora::standin {

namespace {

bool isWebAddress(const std::string& url) {
    std::string lower = platform::Text::lowercase(url);
    return (platform::Text::hasPrefix(lower, "http://") && lower.size() > 7) ||
           (platform::Text::hasPrefix(lower, "https://") && lower.size() > 8);
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find(',', pos);
        if (end == std::string::npos) end = text.size();
        std::string piece = text.substr(pos, end - pos);
        std::size_t a = piece.find_first_not_of(" \t");
        std::size_t b = piece.find_last_not_of(" \t");
        if (a != std::string::npos) out.push_back(piece.substr(a, b - a + 1));
        pos = end + 1;
    }
    return out;
}

}  // namespace

StandinReply StandinRest::error(const StandinRequest& request, int code, const std::string& message, int status) {
    Json args = Json::array();
    for (const auto& [key, value] : request.params) {
        if (key == "access_token") continue;
        args.push_back(Json{{"key", key}, {"value", value}});
    }
    Json body = Json::object();
    body["error_code"] = code;
    body["error_msg"] = message;
    body["request_args"] = std::move(args);
    return StandinReply::json(body.dump(), status);
}

StandinReply StandinRest::handle(const StandinRequest& request) {
    static const std::string prefix = "/method/";
    if (!platform::Text::hasPrefix(request.path, prefix)) {
        return error(request, 3, "Unknown method", 404);
    }
    if (!request.bodyError.empty()) return error(request, 100, "Malformed request body: " + request.bodyError, 400);
    std::string method = platform::Text::lowercase(request.path.substr(prefix.size()));

    static const std::set<std::string> known = {
        "fql.query",          "fql.multiquery",        "links.post",
        "stream.publish",     "stream.remove",         "auth.extendssoaccesstoken",
        "pages.getinfo",      "video.getuploadlimits", "photos.upload",
        "photos.createalbum", "photos.addtag"};
    if (!known.count(method)) return error(request, 3, "Unknown method");

    StandinData::Token token;
    switch (data_.checkToken(request.param("access_token"), &token)) {
    case StandinData::TokenCheck::Valid: break;
    case StandinData::TokenCheck::Missing: return error(request, 102, "Requires user session");
    case StandinData::TokenCheck::Unknown: return error(request, 190, "Invalid OAuth 2.0 Access Token");
    case StandinData::TokenCheck::Expired:
        return error(request, 190, "Error validating access token: Session has expired");
    }

    if (method == "fql.query") return fqlQuery(request, token);
    if (method == "fql.multiquery") return fqlMultiquery(request, token);
    if (method == "links.post") return linksPost(request, token);
    if (method == "stream.publish") return streamPublish(request, token);
    if (method == "stream.remove") return streamRemove(request, token);
    if (method == "auth.extendssoaccesstoken") return extendToken(request, token);
    if (method == "pages.getinfo") return pagesGetInfo(request, token);
    if (method == "video.getuploadlimits") return StandinReply::json(R"({"length":1200,"size":1073741824})");
    if (method == "photos.upload") return photosUpload(request, token);
    if (method == "photos.createalbum") return photosCreateAlbum(request, token);
    return photosAddTag(request, token);
}

StandinReply StandinRest::fqlQuery(const StandinRequest& request, const StandinData::Token& token) {
    if (!request.hasParam("query")) return error(request, 100, "The parameter query is required");
    Json tables = data_.tables();
    FQLEvaluator fql(tables, StandinActions::actorOf(token), StandinData::now());
    auto result = fql.query(request.param("query"));
    if (auto* failure = std::get_if<FQLEvaluator::Error>(&result))
        return error(request, failure->code, failure->message);
    return StandinReply::json(std::get<Json>(result).dump());
}

StandinReply StandinRest::fqlMultiquery(const StandinRequest& request, const StandinData::Token& token) {
    if (!request.hasParam("queries")) return error(request, 100, "The parameter queries is required");
    Json tables = data_.tables();
    FQLEvaluator fql(tables, StandinActions::actorOf(token), StandinData::now());
    auto result = fql.multiquery(std::string_view(request.param("queries")));
    if (auto* failure = std::get_if<FQLEvaluator::Error>(&result))
        return error(request, failure->code, failure->message);
    return StandinReply::json(std::get<Json>(result).dump());
}

StandinReply StandinRest::linksPost(const StandinRequest& request, const StandinData::Token& token) {
    std::string url = request.param("url");
    if (!isWebAddress(url)) return error(request, 100, "param url must be a valid URL");
    Json fields = Json::object();
    fields["type"] = "link";
    fields["url"] = url;
    fields["comment"] = request.param("comment");
    Json post = StandinActions::addPost(data_, StandinActions::actorOf(token), {}, fields);
    std::string id = post["post_id"];
    // The network answers the new link's id as a bare number.
    return StandinReply::json(id.substr(id.find('_') + 1));
}

StandinReply StandinRest::streamPublish(const StandinRequest& request, const StandinData::Token& token) {
    Json fields = Json::object();
    fields["type"] = "status";
    fields["message"] = request.param("message");
    if (request.hasParam("attachment")) {
        Json attachment = StandinJson::parse(request.param("attachment"));
        if (attachment.is_discarded() || !attachment.is_object()) {
            return error(request, 100, "param attachment must be a JSON-encoded object");
        }
        fields["attachment"] = attachment;
    }
    if (request.hasParam("action_links")) {
        Json links = StandinJson::parse(request.param("action_links"));
        if (links.is_discarded() || !links.is_array()) {
            return error(request, 100, "param action_links must be a JSON-encoded array");
        }
        fields["action_links"] = links;
    }
    std::string target = request.param("target_id");
    if (!target.empty() && !data_.findRow("user", "uid", target) && !data_.findRow("page", "page_id", target) &&
        !data_.findRow("group", "gid", target)) {
        return error(request, 100, "Invalid target_id");
    }
    if (fields["message"].get<std::string>().empty() && !fields.contains("attachment")) {
        return error(request, 100, "One of the parameters message or attachment is required");
    }
    Json post = StandinActions::addPost(data_, StandinActions::actorOf(token), target, fields);
    // The network answers the post id as a JSON string.
    return StandinReply::json(Json(post["post_id"]).dump());
}

StandinReply StandinRest::streamRemove(const StandinRequest& request, const StandinData::Token& token) {
    std::string id = request.param("post_id");
    std::string actor = StandinActions::actorOf(token);
    std::size_t removed = data_.removeRows("stream", [&](const Json& row) {
        return StandinActions::text(row["post_id"]) == id && StandinActions::text(row["actor_id"]) == actor;
    });
    if (removed == 0) return error(request, 100, "Invalid post_id");
    return StandinReply::json("true");
}

StandinReply StandinRest::extendToken(const StandinRequest&, const StandinData::Token& token) {
    double lifetime = data_.tokenLifetime();
    std::string fresh = data_.issueToken(token.uid, lifetime, token.pageId);
    Json body = Json::object();
    body["access_token"] = fresh;
    // An absolute time, unlike the "expires_in" of the login.
    body["expires_at"] = lifetime == 0 ? 0 : static_cast<std::int64_t>(std::floor(StandinData::now() + lifetime));
    return StandinReply::json(body.dump());
}

StandinReply StandinRest::pagesGetInfo(const StandinRequest& request, const StandinData::Token& token) {
    std::vector<std::string> fields = splitList(request.param("fields"));
    if (fields.empty()) return error(request, 100, "The parameter fields is required");
    std::vector<std::string> ids = splitList(request.param("page_ids"));
    if (ids.empty()) {
        std::string uid = request.hasParam("uid") ? request.param("uid") : StandinActions::actorOf(token);
        for (const auto& fan : data_.table("page_fan")) {
            if (StandinActions::text(fan["uid"]) == uid) ids.push_back(StandinActions::text(fan["page_id"]));
        }
    }
    Json out = Json::array();
    for (const auto& id : ids) {
        auto page = data_.findRow("page", "page_id", id);
        if (!page) continue;
        Json row = Json::object();
        row["page_id"] = (*page)["page_id"];
        for (const auto& field : fields) {
            if (field != "page_id" && page->contains(field)) row[field] = (*page)[field];
        }
        out.push_back(std::move(row));
    }
    return StandinReply::json(out.dump());
}

StandinReply StandinRest::photosUpload(const StandinRequest& request, const StandinData::Token& token) {
    std::string problem;
    auto photo = StandinActions::addPhoto(data_, request, StandinActions::actorOf(token), request.param("aid"),
                                          request.param("caption"), problem);
    if (!photo) return error(request, problem.find("#120") != std::string::npos ? 120 : 324, problem);
    Json body = Json::object();
    for (const char* key : {"pid", "aid", "owner", "src", "src_big", "src_small", "link", "caption", "created"}) {
        body[key] = (*photo)[key];
    }
    body["object_id"] = (*photo)["object_id"];
    return StandinReply::json(body.dump());
}

StandinReply StandinRest::photosCreateAlbum(const StandinRequest& request, const StandinData::Token& token) {
    std::string name = request.param("name");
    if (name.empty()) return error(request, 100, "The parameter name is required");
    std::string privacy = "EVERYONE";
    if (request.hasParam("privacy")) {
        if (!StandinActions::validPrivacy(request.param("privacy")))
            return error(request, 100, "Invalid privacy setting");
        privacy = Json::parse(request.param("privacy"))["value"].get<std::string>();
    }
    Json album = StandinActions::createAlbum(data_, StandinActions::actorOf(token), name, request.param("description"),
                                             request.param("location"), privacy);
    return StandinReply::json(album.dump());
}

StandinReply StandinRest::photosAddTag(const StandinRequest& request, const StandinData::Token& token) {
    std::string pid = request.param("pid");
    auto photo = data_.findRow("photo", "pid", pid);
    if (!photo) return error(request, 100, "Invalid photo id");
    if (StandinActions::text((*photo)["owner"]) != StandinActions::actorOf(token)) {
        return error(request, 200, "Permissions error");
    }
    Json tags = StandinJson::parse(request.param("tags"));
    if (tags.is_discarded() || !tags.is_array() || tags.empty()) {
        return error(request, 100, "param tags must be a JSON-encoded array of tags");
    }
    auto coordinate = [](const Json& value) -> std::optional<double> {
        if (value.is_number()) return value.get<double>();
        if (value.is_string()) {
            const std::string& text = value.get_ref<const std::string&>();
            if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return std::nullopt;
            try {
                return std::stod(text);
            } catch (const std::exception&) {
                return std::nullopt;
            }
        }
        return std::nullopt;
    };
    std::vector<Json> rows;
    for (const auto& tag : tags) {
        if (!tag.is_object()) return error(request, 100, "param tags must be a JSON-encoded array of tags");
        auto x = coordinate(tag.value("x", Json()));
        auto y = coordinate(tag.value("y", Json()));
        if (!x || !y || *x < 0 || *x > 100 || *y < 0 || *y > 100) {
            return error(request, 100, "Tag coordinates must be percentages between 0 and 100");
        }
        Json row = Json::object();
        row["pid"] = pid;
        if (tag.contains("tag_uid")) {
            std::string uid = StandinActions::text(tag["tag_uid"]);
            if (!data_.findRow("user", "uid", uid)) return error(request, 100, "Invalid tag_uid");
            row["subject"] = std::stoll(uid);
            row["text"] = (*data_.findRow("user", "uid", uid))["name"];
        } else if (tag.contains("tag_text") && tag["tag_text"].is_string()) {
            row["subject"] = Json();
            row["text"] = tag["tag_text"];
        } else {
            return error(request, 100, "A tag needs tag_uid or tag_text");
        }
        row["xcoord"] = *x;
        row["ycoord"] = *y;
        row["created"] = static_cast<std::int64_t>(std::floor(StandinData::now()));
        rows.push_back(std::move(row));
    }
    for (auto& row : rows) data_.insertRow("photo_tag", std::move(row));
    return StandinReply::json("true");
}

}  // namespace clipora::standin
