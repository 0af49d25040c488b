#include "social/sdk/FBFormUploadRoute.h"

#include <limits>

#include "net/request/RQError.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "social/sdk/FBRequest.h"

namespace clipora {

std::shared_ptr<FBUploadRoute> FBFormUploadRoute::make(const platform::URL& url) {
    auto route = std::make_shared<FBFormUploadRoute>(url);
    route->attach();
    return route;
}

void FBFormUploadRoute::install() { FBRequest::setUploadRouteFactory(&FBFormUploadRoute::make); }

FBFormUploadRoute::FBFormUploadRoute(const platform::URL& url) : request_(RQFormDataRequest::requestWithURL(url)) {
    request_->setRequestMethod("POST");
}

FBFormUploadRoute::~FBFormUploadRoute() { request_->clearDelegatesAndCancel(); }

void FBFormUploadRoute::attach() {
    request_->setDelegate(weak_from_this());
    request_->setUploadProgressDelegate(weak_from_this());
}

void FBFormUploadRoute::setUserAgent(const std::string& userAgent) { request_->setUserAgent(userAgent); }

void FBFormUploadRoute::setFileWithFileNameAndContentTypeForKey(const std::string& path, const std::string& fileName,
                                                                const std::string& contentType,
                                                                const std::string& key) {
    // The engine would report a missing file at once, on this thread, before
    // the route knows whom to tell; the route reports it itself once started.
    if (!platform::FileManager::fileExists(path) || platform::FileManager::isDirectory(path)) {
        setupError_ = RQError::make(RQError::kInternalError, platform::Text::format("No file exists at %@", path));
        return;
    }
    request_->setFileWithFileNameAndContentTypeForKey(
        path, fileName.empty() ? std::nullopt : std::optional<std::string>(fileName),
        contentType.empty() ? std::nullopt : std::optional<std::string>(contentType), key);
}

void FBFormUploadRoute::setPostValueForKey(const std::string& value, const std::string& key) {
    request_->setPostValueForKey(platform::Value(value), key);
}

void FBFormUploadRoute::setTimeOutSeconds(double seconds) { request_->setTimeOutSeconds(seconds); }

void FBFormUploadRoute::startAsynchronous(std::weak_ptr<FBRequest> request) {
    owner_ = std::move(request);
    if (started_) return;
    started_ = true;
    if (setupError_) {
        // Nothing goes out; the failure is told on the next turn, like any
        // other.
        platform::RunLoop::main()->perform([weak = weak_from_this()] {
            auto self = weak.lock();
            if (!self) return;
            if (auto owner = self->owner_.lock()) owner->fail();
        });
        return;
    }
    request_->startAsynchronous();
}

void FBFormUploadRoute::clearDelegatesAndCancel() {
    owner_.reset();
    request_->clearDelegatesAndCancel();
}

platform::Data FBFormUploadRoute::responseData() const { return request_->responseData().value_or(platform::Data()); }

int FBFormUploadRoute::responseStatusCode() const { return request_->responseStatusCode(); }

std::optional<platform::Error> FBFormUploadRoute::error() const {
    if (setupError_) return setupError_;
    return request_->error();
}

std::int64_t FBFormUploadRoute::postLength() const {
    std::uint64_t length = request_->postLength();
    if (length > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(length);
}

void FBFormUploadRoute::requestFinished(RQHTTPRequest&) {
    auto keep = shared_from_this();
    if (auto owner = owner_.lock()) owner->finishUpload();
}

void FBFormUploadRoute::requestFailed(RQHTTPRequest&) {
    auto keep = shared_from_this();
    if (auto owner = owner_.lock()) owner->fail();
}

void FBFormUploadRoute::requestDidSendBytes(RQHTTPRequest&, std::int64_t bytes) {
    auto keep = shared_from_this();
    if (auto owner = owner_.lock()) owner->requestDidSendBytes(bytes);
}

}  // namespace clipora
