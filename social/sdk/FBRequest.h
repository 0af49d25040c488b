#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLConnectionDelegate.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "social/sdk/FBRequestDelegate.h"
#include "social/sdk/FBRequestStateObserver.h"
#include "social/sdk/FBUploadRoute.h"

namespace clipora {

// One call to the social network: a REST method, an FQL query or a graph
// path with its parameters, HTTP method and delegate. It builds the URL (and
// for POST a multipart body), sends it over the platform's URL connection,
// collects the reply, classifies it and reports to its delegate. A request
// that carries a photo or video file goes through the file route instead
// (FBUploadRoute). Main thread only.
//
// Parameter values are texts; an image (platform::Image in a Value) or data
// becomes a file part of a POST body. Numbers and flags travel as their text
// form. Three names are special: "photo" and "video" (the path of a file to
// upload) and "ShouldUseGraph" (send a video to the video-upload host).
//
// While its connection runs, the connection keeps the request alive.
class FBRequest : public platform::URLConnectionDelegate, public std::enable_shared_from_this<FBRequest> {
public:
    enum State : unsigned { StateReady = 0, StateLoading = 1, StateComplete = 2 };

    static constexpr std::string_view kErrorDomain = "facebookErrDomain";
    static constexpr std::int64_t kErrorCodeGeneric = 10000;
    // The network's code for a token it no longer accepts.
    static constexpr std::int64_t kErrorCodeSessionExpired = 190;
    static constexpr std::string_view kUserAgent = "FacebookConnect";
    static constexpr std::string_view kDefaultBoundary = "3i2ndDfv2rTHiSisAbouNdArYfORhtTPEefj3q2f";
    static constexpr double kTimeoutInterval = 180;
    static constexpr double kUploadTimeoutInterval = 120;
    static constexpr std::size_t kDefaultMaxResponseLength = 16 * 1024 * 1024;
    // User-info keys of the errors this class makes beyond the network's own.
    static constexpr std::string_view kHTTPStatusCodeKey = "HTTPStatusCode";
    static constexpr std::string_view kErrorMessageKey = "error_msg";

    // Made through getRequestWithParamsHttpMethodDelegateRequestURL.
    FBRequest() = default;
    ~FBRequest() override;
    FBRequest(const FBRequest&) = delete;
    FBRequest& operator=(const FBRequest&) = delete;

    // A new request in state ready, not yet connecting.
    static std::shared_ptr<FBRequest> getRequestWithParamsHttpMethodDelegateRequestURL(
        platform::Value::Dictionary params, std::string httpMethod, std::weak_ptr<FBRequestDelegate> delegate,
        std::string url);

    // The URL with the text parameters in its query (after "?", or "&" when
    // the URL has a query already); image and data values are left out.
    static std::string serializeURLParams(const std::string& baseUrl, const platform::Value::Dictionary& params);
    static std::string serializeURLParamsHttpMethod(const std::string& baseUrl,
                                                    const platform::Value::Dictionary& params,
                                                    const std::string& httpMethod);
    static void utfAppendBodyData(platform::Data& body, std::string_view text);

    // The multipart body of a POST, with boundary().
    platform::Data generatePostBody();
    // The boundary of this request's body: the default one, or a random one
    // when some part holds the default.
    const std::string& boundary() const { return boundary_; }

    static platform::Error formErrorUserInfo(std::int64_t code, platform::Value::Dictionary userInfo);
    // Classifies a reply (see the docs); the error, when there is one, goes
    // to `error`. Without `error`, every case that has an error answers
    // std::nullopt.
    std::optional<platform::Value> parseJsonResponseError(const platform::Data& data,
                                                          std::optional<platform::Error>* error);
    void failWithError(const platform::Error& error);
    void handleResponseData(const platform::Data& data);

    // Whether a connection is under way.
    bool loading() const { return connection_ != nullptr; }
    // Starts the request (once).
    void connect();
    // Stops the request without a word to the delegate and marks it
    // complete, so the session lets it go.
    void cancel();

    // --- The connection's delegate ---
    void connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(
        const std::shared_ptr<platform::URLConnection>& connection, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override;
    void connectionDidReceiveResponse(const std::shared_ptr<platform::URLConnection>& connection,
                                      const std::shared_ptr<platform::HTTPURLResponse>& response) override;
    void connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection,
                                  const platform::Data& data) override;
    // Nothing is cached.
    std::shared_ptr<platform::CachedURLResponse> connectionWillCacheResponse(
        const std::shared_ptr<platform::URLConnection>& connection,
        const std::shared_ptr<platform::CachedURLResponse>& cachedResponse) override;
    void connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>& connection) override;
    void connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>& connection,
                                    const platform::Error& error) override;

    // --- The file route's callbacks (main thread) ---
    void finishUpload();
    void fail();
    void requestDidSendBytes(std::int64_t bytes);

    // The route that runs uploads: the form-request route unless replaced.
    static void setUploadRouteFactory(FBUploadRoute::Factory factory);
    static const FBUploadRoute::Factory& uploadRouteFactory();
    static constexpr std::int64_t kErrorCodeUploadUnavailable = 10001;

    // The largest reply collected; a longer one fails the request.
    static std::size_t maxResponseLength();
    static void setMaxResponseLength(std::size_t bytes);

    // --- Fields ---
    std::shared_ptr<FBRequestDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<FBRequestDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::string& url() const { return url_; }
    void setUrl(std::string url) { url_ = std::move(url); }
    const std::string& httpMethod() const { return httpMethod_; }
    void setHttpMethod(std::string method) { httpMethod_ = std::move(method); }
    const platform::Value::Dictionary& params() const { return params_; }
    platform::Value::Dictionary& params() { return params_; }
    void setParams(platform::Value::Dictionary params) { params_ = std::move(params); }
    const std::shared_ptr<platform::URLConnection>& connection() const { return connection_; }
    const std::optional<platform::Data>& responseText() const { return responseText_; }
    unsigned state() const { return state_; }
    void setState(unsigned state);
    const std::optional<platform::Error>& error() const { return error_; }
    void setError(std::optional<platform::Error> error) { error_ = std::move(error); }
    bool sessionDidExpire() const { return sessionDidExpire_; }
    void setSessionDidExpire(bool expired) { sessionDidExpire_ = expired; }
    const std::shared_ptr<FBUploadRoute>& rqRequest() const { return rqRequest_; }
    // The HTTP status of the reply being read (0 before a response head).
    int responseStatusCode() const { return statusCode_; }

    // --- Observation of "state" ---
    void addStateObserver(std::weak_ptr<FBRequestStateObserver> observer, const void* context);
    void removeStateObserver(const FBRequestStateObserver* observer);

private:
    struct Observer {
        std::weak_ptr<FBRequestStateObserver> observer;
        const FBRequestStateObserver* address;
        const void* context;
    };

    void connectFileRoute(const std::string& file, const std::string& url);
    void finishLoading(const std::optional<platform::Error>& error);

    std::weak_ptr<FBRequestDelegate> delegate_;
    std::string url_;
    std::string httpMethod_;
    platform::Value::Dictionary params_;
    std::shared_ptr<platform::URLConnection> connection_;
    std::optional<platform::Data> responseText_;
    unsigned state_ = StateReady;
    std::optional<platform::Error> error_;
    bool sessionDidExpire_ = false;
    std::shared_ptr<FBUploadRoute> rqRequest_;
    int statusCode_ = 0;
    std::string boundary_ = std::string(kDefaultBoundary);
    std::vector<Observer> observers_;
};

}  // namespace clipora
