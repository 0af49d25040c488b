#include "tools/standin/StandinActions.h"
#include "tools/standin/StandinJson.h"

#include <cmath>

namespace clipora::standin {

namespace {

std::uint32_t bigEndian32(const std::string& data, std::size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(data[at])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + 1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + 2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + 3]));
}

// The kind ("png", "jpg", "gif") and size of an image file, if it is one.
std::optional<std::string> imageKind(const std::string& data, std::uint32_t& width, std::uint32_t& height) {
    width = height = 0;
    if (data.size() >= 24 && data.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 && data.compare(12, 4, "IHDR") == 0) {
        width = bigEndian32(data, 16);
        height = bigEndian32(data, 20);
        return "png";
    }
    if (data.size() >= 4 && static_cast<unsigned char>(data[0]) == 0xFF &&
        static_cast<unsigned char>(data[1]) == 0xD8) {
        // Walk the segments to a start-of-frame for the size.
        std::size_t at = 2;
        while (at + 9 < data.size()) {
            if (static_cast<unsigned char>(data[at]) != 0xFF) break;
            auto marker = static_cast<unsigned char>(data[at + 1]);
            std::size_t length =
                (static_cast<unsigned char>(data[at + 2]) << 8) | static_cast<unsigned char>(data[at + 3]);
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
                height = (static_cast<unsigned char>(data[at + 5]) << 8) | static_cast<unsigned char>(data[at + 6]);
                width = (static_cast<unsigned char>(data[at + 7]) << 8) | static_cast<unsigned char>(data[at + 8]);
                break;
            }
            at += 2 + length;
        }
        return "jpg";
    }
    if (data.size() >= 10 && (data.compare(0, 6, "GIF87a") == 0 || data.compare(0, 6, "GIF89a") == 0)) {
        width = static_cast<unsigned char>(data[6]) | (static_cast<unsigned char>(data[7]) << 8);
        height = static_cast<unsigned char>(data[8]) | (static_cast<unsigned char>(data[9]) << 8);
        return "gif";
    }
    return std::nullopt;
}

bool isVideoFile(const std::string& data) {
    if (data.size() < 12) return false;
    std::string type = data.substr(4, 4);
    return type == "ftyp" || type == "moov" || type == "mdat" || type == "wide" || type == "free" || type == "skip";
}

std::int64_t nowSeconds() { return static_cast<std::int64_t>(std::floor(StandinData::now())); }

std::string baseOf(const StandinData& data, StandinHost role) {
    std::string base = data.hosts().baseURL(role);
    base.pop_back();
    return base;
}

}  // namespace

std::string StandinActions::actorOf(const StandinData::Token& token) {
    return token.pageId.empty() ? token.uid : token.pageId;
}

std::string StandinActions::text(const Json& value) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number()) return value.dump();
    if (value.is_boolean()) return value.get<bool>() ? "1" : "0";
    return {};
}

bool StandinActions::isKnownObject(const StandinData& data, const std::string& id) {
    return data.findRow("video", "vid", id) || data.findRow("photo", "object_id", id) ||
           data.findRow("photo", "pid", id) || data.findRow("album", "object_id", id) ||
           data.findRow("stream", "post_id", id) || data.findRow("comment", "id", id);
}

Json StandinActions::addPost(StandinData& data, const std::string& actor, const std::string& target, Json fields) {
    Json row = Json::object();
    row["post_id"] = actor + "_" + data.newId();
    row["actor_id"] = actor;
    row["source_id"] = target.empty() ? actor : target;
    row["target_id"] = target.empty() ? Json() : Json(target);
    row["created_time"] = nowSeconds();
    for (auto it = fields.begin(); it != fields.end(); ++it) row[it.key()] = it.value();
    data.insertRow("stream", row);
    return row;
}

std::optional<Json> StandinActions::ownAlbum(const StandinData& data, const std::string& actor, const std::string& id) {
    auto album = data.findRow("album", "object_id", id);
    if (!album) album = data.findRow("album", "aid", id);
    if (!album || text((*album)["owner"]) != actor) return std::nullopt;
    return album;
}

Json StandinActions::createAlbum(StandinData& data, const std::string& owner, const std::string& name,
                                 const std::string& description, const std::string& location,
                                 const std::string& privacy) {
    std::string objectId = data.newId();
    Json row = Json::object();
    row["aid"] = owner + "_" + objectId;
    row["object_id"] = std::stoll(objectId);
    row["owner"] = std::stoll(owner);
    row["name"] = name;
    row["description"] = description;
    row["location"] = location;
    row["visible"] = privacy;
    row["cover_pid"] = "0";
    row["size"] = 0;
    row["link"] = baseOf(data, StandinHost::Www) + "/album.php?aid=" + owner + "_" + objectId;
    row["created"] = nowSeconds();
    row["modified"] = nowSeconds();
    row["modified_major"] = nowSeconds();
    data.insertRow("album", row);
    return row;
}

const StandinUploadedFile* StandinActions::filePart(const StandinRequest& request) {
    for (const auto& file : request.files) {
        if (file.name == "file") return &file;
    }
    return request.files.empty() ? nullptr : &request.files.front();
}

std::optional<Json> StandinActions::addPhoto(StandinData& data, const StandinRequest& request, const std::string& actor,
                                             const std::string& aid, const std::string& caption, std::string& error) {
    const StandinUploadedFile* file = filePart(request);
    if (!file || file->data.empty()) {
        error = "(#324) Requires upload file";
        return std::nullopt;
    }
    std::uint32_t width = 0, height = 0;
    auto kind = imageKind(file->data, width, height);
    if (!kind) {
        error = "(#324) Missing or invalid image file";
        return std::nullopt;
    }
    std::optional<Json> album;
    if (aid.empty()) {
        album = data.findRow("album", "aid", actor + "_app");
        if (!album) {
            Json made = createAlbum(data, actor, "Standin Photos", "", "", "EVERYONE");
            std::string madeAid = made["aid"];
            data.updateRows(
                "album", [&](const Json& row) { return row.value("aid", "") == madeAid; },
                [&](Json& row) { row["aid"] = actor + "_app"; });
            album = data.findRow("album", "aid", actor + "_app");
        }
    } else {
        album = ownAlbum(data, actor, aid);
        if (!album) {
            error = "(#120) Invalid album id";
            return std::nullopt;
        }
    }
    std::string albumAid = text((*album)["aid"]);
    std::string objectId = data.newId();
    std::string fileName = objectId + "." + *kind;
    std::string contentType = *kind == "png" ? "image/png" : *kind == "gif" ? "image/gif" : "image/jpeg";
    data.storeFile(fileName, {contentType, file->data});
    std::string url = baseOf(data, StandinHost::Graph) + "/files/uploads/" + fileName;

    Json row = Json::object();
    row["pid"] = actor + "_" + objectId;
    row["aid"] = albumAid;
    row["object_id"] = std::stoll(objectId);
    row["owner"] = std::stoll(actor);
    row["caption"] = caption;
    row["src_small"] = url;
    row["src_small_width"] = width;
    row["src_small_height"] = height;
    row["src_big"] = url;
    row["src_big_width"] = width;
    row["src_big_height"] = height;
    row["src"] = url;
    row["link"] = baseOf(data, StandinHost::Www) + "/photo.php?pid=" + actor + "_" + objectId;
    row["created"] = nowSeconds();
    row["modified"] = nowSeconds();
    data.insertRow("photo", row);
    data.updateRows(
        "album", [&](const Json& a) { return text(a["aid"]) == albumAid; },
        [&](Json& a) {
            a["size"] = a.value("size", 0) + 1;
            if (text(a["cover_pid"]) == "0") a["cover_pid"] = row["pid"];
            a["modified"] = nowSeconds();
        });
    return row;
}

std::optional<Json> StandinActions::addVideo(StandinData& data, const StandinRequest& request, const std::string& owner,
                                             std::string& error) {
    const StandinUploadedFile* file = filePart(request);
    if (!file || file->data.empty()) {
        error = "(#353) You must select a video file to upload.";
        return std::nullopt;
    }
    if (!isVideoFile(file->data)) {
        error = "(#352) Sorry, the video file you selected is in a format that we don't support.";
        return std::nullopt;
    }
    std::string privacy = request.param("privacy");
    if (!privacy.empty() && !validPrivacy(privacy)) {
        error = "(#100) Invalid privacy setting";
        return std::nullopt;
    }
    std::string vid = data.newId();
    data.storeFile(vid + ".mp4", {"video/mp4", file->data});
    std::string graph = baseOf(data, StandinHost::Graph);
    Json row = Json::object();
    row["vid"] = vid;
    row["owner"] = std::stoll(owner);
    row["title"] = request.param("title");
    row["description"] = request.param("description");
    row["thumbnail_link"] = graph + "/files/thumbs/" + vid + ".png";
    row["updated_time"] = nowSeconds();
    row["created_time"] = nowSeconds();
    row["length"] = 2;
    row["src"] = graph + "/files/uploads/" + vid + ".mp4";
    row["src_hq"] = graph + "/files/uploads/" + vid + ".mp4";
    row["link"] = baseOf(data, StandinHost::Www) + "/video/video.php?v=" + vid;
    data.insertRow("video", row);
    return row;
}

bool StandinActions::validPrivacy(const std::string& privacy) {
    Json parsed = StandinJson::parse(privacy);
    if (parsed.is_discarded() || !parsed.is_object() || !parsed.contains("value") || !parsed["value"].is_string()) {
        return false;
    }
    const std::string& value = parsed["value"].get_ref<const std::string&>();
    if (value.empty()) return false;
    for (char c : value) {
        if (!((c >= 'A' && c <= 'Z') || c == '_')) return false;
    }
    return true;
}

}  // namespace clipora::standin
