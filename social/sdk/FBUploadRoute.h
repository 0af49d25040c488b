#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

class FBRequest;

// The file route of FBRequest: one multipart POST that carries a photo or
// video file from disk. The request engine's form request does this work;
// it plugs in through FBRequest::setUploadRouteFactory, which makes one
// route per upload. Until a factory is installed, a request that carries a
// file fails at once with FBRequest::kErrorCodeUploadUnavailable.
//
// A route reports on the main thread to the request that started it, through
// FBRequest::finishUpload, FBRequest::fail and FBRequest::requestDidSendBytes,
// and keeps only a weak reference to that request.
class FBUploadRoute {
public:
    using Factory = std::function<std::shared_ptr<FBUploadRoute>(const platform::URL& url)>;

    virtual ~FBUploadRoute() = default;

    virtual void setUserAgent(const std::string& userAgent) = 0;
    // The file under `key`; an empty file name lets the route choose one.
    // Replaces an earlier entry under the key.
    virtual void setFileWithFileNameAndContentTypeForKey(const std::string& path, const std::string& fileName,
                                                         const std::string& contentType, const std::string& key) = 0;
    // A text field; replaces an earlier entry under the key.
    virtual void setPostValueForKey(const std::string& value, const std::string& key) = 0;
    // The time-out of this upload only.
    virtual void setTimeOutSeconds(double seconds) = 0;
    virtual void startAsynchronous(std::weak_ptr<FBRequest> request) = 0;
    // Stops the upload; the request hears nothing more.
    virtual void clearDelegatesAndCancel() = 0;

    // Read in the callbacks.
    virtual platform::Data responseData() const = 0;
    // The HTTP status of the reply; 0 when none arrived.
    virtual int responseStatusCode() const = 0;
    virtual std::optional<platform::Error> error() const = 0;
    // The length of the whole body being sent.
    virtual std::int64_t postLength() const = 0;
};

}  // namespace clipora
