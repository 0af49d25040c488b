#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/request/RQFormDataRequest.h"
#include "net/request/RQHTTPRequestDelegate.h"
#include "net/request/RQProgressDelegate.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "social/sdk/FBUploadRoute.h"

namespace clipora {

class FBRequest;

// The file route of FBRequest on the request engine: one multipart POST by
// an RQFormDataRequest, whose reports (all on the main thread) go on to the
// request that started it (FBRequest::finishUpload, FBRequest::fail,
// FBRequest::requestDidSendBytes). The time-out is this upload's own; the
// engine's class-wide default stays as it is.
//
// A file path that names no file fails the upload (the engine's code 6, "No
// file exists at <path>") without sending anything.
class FBFormUploadRoute : public FBUploadRoute,
                          public RQHTTPRequestDelegate,
                          public RQProgressDelegate,
                          public std::enable_shared_from_this<FBFormUploadRoute> {
public:
    // A route for `url`; the factory FBRequest::setUploadRouteFactory takes.
    static std::shared_ptr<FBUploadRoute> make(const platform::URL& url);
    // Makes this the route of every FBRequest that carries a file.
    static void install();

    explicit FBFormUploadRoute(const platform::URL& url);
    ~FBFormUploadRoute() override;

    // --- FBUploadRoute ---
    void setUserAgent(const std::string& userAgent) override;
    void setFileWithFileNameAndContentTypeForKey(const std::string& path, const std::string& fileName,
                                                 const std::string& contentType, const std::string& key) override;
    void setPostValueForKey(const std::string& value, const std::string& key) override;
    void setTimeOutSeconds(double seconds) override;
    void startAsynchronous(std::weak_ptr<FBRequest> request) override;
    void clearDelegatesAndCancel() override;
    platform::Data responseData() const override;
    int responseStatusCode() const override;
    std::optional<platform::Error> error() const override;
    std::int64_t postLength() const override;

    // --- The form request's reports ---
    void requestFinished(RQHTTPRequest& request) override;
    void requestFailed(RQHTTPRequest& request) override;
    void requestDidSendBytes(RQHTTPRequest& request, std::int64_t bytes) override;

    const std::shared_ptr<RQFormDataRequest>& formRequest() const { return request_; }

private:
    void attach();

    std::shared_ptr<RQFormDataRequest> request_;
    std::weak_ptr<FBRequest> owner_;
    bool started_ = false;
    // Why the upload cannot go out (a file that is not there).
    std::optional<platform::Error> setupError_;
};

}  // namespace clipora
