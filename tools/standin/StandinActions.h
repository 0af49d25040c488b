#pragma once

#include <optional>
#include <string>

#include "tools/standin/StandinData.h"
#include "tools/standin/StandinRequest.h"

namespace clipora::standin {

// What the REST and graph hosts both do to the data set: posts, photo and
// video uploads, albums, likes and comments. Each answers the new object, or
// an error text (in `error`) for input the network would refuse.
class StandinActions {
public:
    StandinActions() = delete;

    // The uid (or page id) a token speaks for.
    static std::string actorOf(const StandinData::Token& token);
    // Whether an id names a video, photo, album, post or comment.
    static bool isKnownObject(const StandinData& data, const std::string& id);
    // The text form of a JSON scalar ("" for null).
    static std::string text(const Json& value);

    static Json addPost(StandinData& data, const std::string& actor, const std::string& target, Json fields);
    // The album by aid or object id, if the actor owns it.
    static std::optional<Json> ownAlbum(const StandinData& data, const std::string& actor, const std::string& id);
    static Json createAlbum(StandinData& data, const std::string& owner, const std::string& name,
                            const std::string& description, const std::string& location, const std::string& privacy);
    // The photo in the request's file part, into the album (the actor's
    // default album when `aid` is empty).
    static std::optional<Json> addPhoto(StandinData& data, const StandinRequest& request, const std::string& actor,
                                        const std::string& aid, const std::string& caption, std::string& error);
    static std::optional<Json> addVideo(StandinData& data, const StandinRequest& request, const std::string& owner,
                                        std::string& error);
    // The privacy value object {"value": "EVERYONE"}: a JSON object whose
    // "value" is an upper-case setting name.
    static bool validPrivacy(const std::string& privacy);
    // The file part of a request: the one named "file", else the first.
    static const StandinUploadedFile* filePart(const StandinRequest& request);
};

}  // namespace clipora::standin
