#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Size.h"
#include "platform/foundation/Value.h"
#include "social/graph/FBUploadOperation.h"
#include "social/graph/UploadVideoDelegate.h"
#include "social/graph/Video.h"

namespace clipora {

class Facebook;

// Uploads a local video file (a Video's videoPath) to a user's or page's
// videos.
//
// The graph route (executeUidInContext) sends "<uid>/videos" as a file upload
// of the request, which takes it to the network's video-upload graph host,
// with the title, description and privacy ({"value":"<PRIVACY>"}, upper-cased,
// written by the JSON writer; left out when the video has none). The reply
// must be an object; its "id" becomes the video's videoID. A video without a
// file path fails at once, nothing sent.
//
// The older signed REST route (startUploadWithVideoParamsDelegate) signs
// its parameters with the application's REST secret (RESTAppCredentials,
// configured outside the sources) and posts them to videoRestEndpoint()
// (HTTPS unless configured otherwise). Without a session id in the access
// token, or without configured credentials, it fails at once, nothing sent.
// Its XML replies are read with parseXMLResponseError.
//
// No watchdog on either route. The delegate hears once per run, with the
// video, also after a failure.
class UploadVideo : public FBUploadOperation {
public:
    static constexpr const char* kSignedUploadMethod = "facebook.video.upload";
    static constexpr const char* kSignedUploadPath = "/restserver.php";

    UploadVideo() = default;
    // Copies the session's access token and reads the REST key and secret.
    static std::shared_ptr<UploadVideo> initWithDelegate(std::shared_ptr<Facebook> session,
                                                         std::weak_ptr<UploadVideoDelegate> delegate);

    // The graph route; `context` is not used.
    void executeUidInContext(std::shared_ptr<Video> video, const std::string& uid, std::int32_t context);

    // --- The signed REST route ---
    // `video` and `delegate` are not used: the reply goes to this operation's
    // delegate.
    void startUploadWithVideoParamsDelegate(std::shared_ptr<Video> video, platform::Value::Dictionary params,
                                            std::weak_ptr<UploadVideoDelegate> delegate);
    // MD5 (lower-case hex) of the text parameters as "key=value" pairs in
    // keys' case-insensitive order, followed by the REST secret.
    std::string signatureForParams(const platform::Value::Dictionary& params) const;
    static std::string md5HexDigest(std::string_view text);
    // The second "|"-separated piece of the access token, if it has one.
    std::optional<std::string> sessionID() const;
    // A REST XML reply: the root element's value, or absent with `error` set
    // to the parse error or, for a root "error_response", to an error in the
    // REST host's domain with the reply's "error_code", "error_msg" (as the
    // description) and "request_args".
    static std::optional<platform::Value> parseXMLResponseError(const platform::Data& data,
                                                                std::optional<platform::Error>* error);
    // "https://<video-upload graph host>/restserver.php" unless set.
    static std::string videoRestEndpoint();
    static void setVideoRestEndpoint(std::optional<std::string> url);

    // The error of a video without a file to upload.
    static platform::Error noVideoFileError();
    // The error of a signed upload without configured credentials.
    static platform::Error noCredentialsError();

    std::shared_ptr<UploadVideoDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UploadVideoDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::shared_ptr<Video>& video() const { return video_; }
    void setVideo(std::shared_ptr<Video> video) { video_ = std::move(video); }
    // Kept for the caller.
    platform::Size imageSize() const { return imageSize_; }
    void setImageSize(platform::Size size) { imageSize_ = size; }
    const std::optional<std::string>& accessToken() const { return accessToken_; }
    void setAccessToken(std::optional<std::string> token) { accessToken_ = std::move(token); }
    const std::optional<std::string>& apiKey() const { return apiKey_; }
    void setApiKey(std::optional<std::string> key) { apiKey_ = std::move(key); }
    const std::optional<std::string>& appSecret() const { return appSecret_; }
    void setAppSecret(std::optional<std::string> secret) { appSecret_ = std::move(secret); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    // Ends a run that could not send anything with `error`.
    void failAtOnce(const platform::Error& error);
    void report();

    std::weak_ptr<UploadVideoDelegate> delegate_;
    std::shared_ptr<Video> video_;
    platform::Size imageSize_;
    std::optional<std::string> accessToken_;
    std::optional<std::string> apiKey_;
    std::optional<std::string> appSecret_;
    // The run under way is the signed route's (its replies are XML).
    bool signedRoute_ = false;
};

}  // namespace clipora
