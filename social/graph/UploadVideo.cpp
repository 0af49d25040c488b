#include "social/graph/UploadVideo.h"

#include <algorithm>
#include <vector>

#include "platform/foundation/Digest.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/XMLParser.h"
#include "social/graph/GraphReply.h"
#include "social/graph/PhotoRows.h"
#include "social/graph/RESTAppCredentials.h"
#include "social/json/SNJsonWriter.h"
#include "social/sdk/FBHosts.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/FBXMLHandler.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

namespace {

std::optional<std::string>& endpointSetting() {
    static std::optional<std::string> endpoint;
    return endpoint;
}

}  // namespace

std::shared_ptr<UploadVideo> UploadVideo::initWithDelegate(std::shared_ptr<Facebook> session,
                                                           std::weak_ptr<UploadVideoDelegate> delegate) {
    auto operation = std::make_shared<UploadVideo>();
    if (session) operation->accessToken_ = session->accessToken();
    if (std::optional<RESTAppCredentials> credentials = RESTAppCredentials::load()) {
        operation->apiKey_ = credentials->apiKey;
        operation->appSecret_ = credentials->appSecret;
    }
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

platform::Error UploadVideo::noVideoFileError() {
    return FBRequest::formErrorUserInfo(
        FBRequest::kErrorCodeGeneric,
        {{std::string(FBRequest::kErrorMessageKey), Value("The video has no local file to upload")}});
}

platform::Error UploadVideo::noCredentialsError() {
    return FBRequest::formErrorUserInfo(FBRequest::kErrorCodeGeneric,
                                        {{std::string(FBRequest::kErrorMessageKey),
                                          Value("The application's REST key and secret are not configured")}});
}

void UploadVideo::executeUidInContext(std::shared_ptr<Video> video, const std::string& uid, std::int32_t) {
    auto self = std::static_pointer_cast<UploadVideo>(shared_from_this());
    cancelRequest();
    setTimeToWaitBeforeTimeout(kNoTimeout);
    video_ = std::move(video);
    setTotalBytesExpectedToWrite(0);
    signedRoute_ = false;
    // Without a file the request would go out as an ordinary graph post.
    if (!video_ || !video_->videoPath() || !video_->videoPath()->isFileURL() || video_->videoPath()->path().empty())
        return failAtOnce(noVideoFileError());

    Value::Dictionary params;
    params["title"] = Value(video_->title().value_or(""));
    params["description"] = Value(video_->descriptionText().value_or(""));
    if (video_->privacy()) {
        SNJsonWriter writer;
        params["privacy"] = Value(writer
                                      .stringWithObject(Value::makeDictionary(
                                          {{"value", Value(platform::Text::uppercase(*video_->privacy()))}}))
                                      .value_or("{}"));
    }
    params["video"] = Value(video_->videoPath()->path());
    params["ShouldUseGraph"] = Value(true);
    const std::string path = platform::Text::format("%@/videos", uid);
    startRequest([&](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithGraphPathAndParamsAndHttpMethodAndDelegate(path, params, "POST", std::move(delegate));
    });
}

void UploadVideo::startUploadWithVideoParamsDelegate(std::shared_ptr<Video>, Value::Dictionary params,
                                                     std::weak_ptr<UploadVideoDelegate>) {
    auto self = std::static_pointer_cast<UploadVideo>(shared_from_this());
    cancelRequest();
    // A form upload gives no response head to disarm a watchdog.
    setTimeToWaitBeforeTimeout(kNoTimeout);
    signedRoute_ = true;
    std::optional<std::string> session = sessionID();
    if (!session) {
        // Nothing can be signed: tell the caller rather than leave it waiting.
        signedRoute_ = false;
        return failedWithJunkData(nullptr);
    }
    if (!apiKey_ || !appSecret_) {
        signedRoute_ = false;
        return failAtOnce(noCredentialsError());
    }
    params["v"] = Value("1.0");
    params["method"] = Value(kSignedUploadMethod);
    params["session_key"] = Value(*session);
    params["api_key"] = Value(*apiKey_);
    params["sig"] = Value(signatureForParams(params));
    const std::string endpoint = videoRestEndpoint();
    startRequest([&](Facebook&, std::weak_ptr<FBRequestDelegate> delegate) {
        auto request =
            FBRequest::getRequestWithParamsHttpMethodDelegateRequestURL(params, "POST", std::move(delegate), endpoint);
        request->connect();
        return request;
    });
}

std::string UploadVideo::signatureForParams(const Value::Dictionary& params) const {
    std::vector<std::string> keys;
    for (const auto& [key, value] : params) keys.push_back(key);
    std::stable_sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
        return platform::Text::lowercase(a) < platform::Text::lowercase(b);
    });
    std::string base;
    for (const std::string& key : keys) {
        const std::string* text = params.at(key).string();
        if (!text) continue;
        base += key + "=" + *text;
    }
    base += appSecret_.value_or("");
    return md5HexDigest(base);
}

std::string UploadVideo::md5HexDigest(std::string_view text) {
    platform::Data digest = platform::Digest::md5(text);
    return platform::Digest::hex(digest);
}

std::optional<std::string> UploadVideo::sessionID() const {
    if (!accessToken_) return std::nullopt;
    std::size_t bar = accessToken_->find('|');
    if (bar == std::string::npos) return std::nullopt;
    std::size_t next = accessToken_->find('|', bar + 1);
    return accessToken_->substr(bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1);
}

std::optional<Value> UploadVideo::parseXMLResponseError(const platform::Data& data,
                                                        std::optional<platform::Error>* error) {
    auto handler = std::make_shared<FBXMLHandler>();
    auto parser = std::make_shared<platform::XMLParser>(data);
    parser->setDelegate(handler);
    parser->parse();
    std::optional<platform::Error> problem = handler->parseError();
    if (!problem) problem = parser->parserError();
    if (!problem && !handler->rootObject())
        problem = platform::Error(std::string(platform::XMLParser::kErrorDomain), 0);
    if (problem) {
        if (error) *error = *problem;
        return std::nullopt;
    }
    const Value& root = *handler->rootObject();
    if (handler->rootName() == "error_response") {
        std::string host = FBHosts::current().rest;
        host = host.substr(0, host.find(':'));
        Value::Dictionary info;
        info[std::string(platform::Error::kLocalizedDescriptionKey)] =
            Value(GraphReply::text(root, "error_msg").value_or(""));
        const Value* arguments = root.find("request_args");
        info["request_args"] = arguments ? *arguments : Value();
        if (error) *error = platform::Error(host, PhotoRows::integer(root, "error_code").value_or(0), std::move(info));
        return std::nullopt;
    }
    return root;
}

std::string UploadVideo::videoRestEndpoint() {
    if (endpointSetting()) return *endpointSetting();
    return "https://" + FBHosts::current().videoGraph + kSignedUploadPath;
}

void UploadVideo::setVideoRestEndpoint(std::optional<std::string> url) { endpointSetting() = std::move(url); }

void UploadVideo::didLoadResult(const std::shared_ptr<FBRequest>& request, const Value& result) {
    auto self = std::static_pointer_cast<UploadVideo>(shared_from_this());
    Value reply = result;
    if (signedRoute_ && result.string()) {
        // The REST interface answers in XML, which reaches us as text.
        std::optional<platform::Error> error;
        std::optional<Value> parsed = parseXMLResponseError(platform::Text::toData(*result.string()), &error);
        if (!parsed) {
            platform::Error failure = error ? *error : junkDataError();
            setSuccess(false);
            setError(failure);
            return didFailWithError(request, failure);
        }
        reply = std::move(*parsed);
    }
    if (!reply.isDictionary()) return failedWithJunkData(request);
    if (!video_) video_ = std::make_shared<Video>();
    video_->setVideoID(GraphReply::text(reply, "id"));
    setSuccess(true);
    report();
}

void UploadVideo::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] UploadVideo Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    report();
}

void UploadVideo::failAtOnce(const platform::Error& error) {
    setSuccess(false);
    setError(error);
    didFailWithError(nullptr, error);
}

void UploadVideo::report() {
    auto self = std::static_pointer_cast<UploadVideo>(shared_from_this());
    if (auto d = delegate()) d->finishVideoUploadResult(self, video_);
}

}  // namespace clipora
