#include "share/Sharers/photo/PSFlickrAPIRequest.h"

#include <filesystem>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UUID.h"
#include "share/Core/SXMultipartForm.h"
#include "share/Sharers/photo/PHHTTPRequest.h"
#include "share/Sharers/photo/PSXMLMapper.h"

namespace clipora {

using platform::Error;
using platform::FileManager;
using platform::Text;
using platform::Value;

PSFlickrAPIRequest::PSFlickrAPIRequest(std::shared_ptr<PSFlickrAPIContext> context)
    : context_(std::move(context)), HTTPRequest_(std::make_shared<PHHTTPRequest>()) {}

PSFlickrAPIRequest::~PSFlickrAPIRequest() {
    HTTPRequest_->setDelegate({});
    HTTPRequest_->cancelWithoutDelegateMessage();
    removeUploadFile();
}

std::shared_ptr<PSFlickrAPIRequest> PSFlickrAPIRequest::initWithAPIContext(
    std::shared_ptr<PSFlickrAPIContext> context) {
    auto request = std::make_shared<PSFlickrAPIRequest>(std::move(context));
    request->HTTPRequest_->setDelegate(std::static_pointer_cast<PHHTTPRequestDelegate>(request));
    return request;
}

double PSFlickrAPIRequest::requestTimeoutInterval() const { return HTTPRequest_->timeoutInterval(); }
void PSFlickrAPIRequest::setRequestTimeoutInterval(double seconds) { HTTPRequest_->setTimeoutInterval(seconds); }
bool PSFlickrAPIRequest::isRunning() const { return HTTPRequest_->isRunning(); }

Error PSFlickrAPIRequest::clientError(std::int64_t code, const std::optional<std::string>& reason) {
    Value::Dictionary info;
    if (reason) info[std::string(Error::kLocalizedFailureReasonKey)] = Value(*reason);
    return Error(kErrorDomain, code, std::move(info));
}

bool PSFlickrAPIRequest::callAPIMethodWithGETArguments(const std::string& method,
                                                       const std::optional<PSFlickrAPIContext::Arguments>& arguments) {
    if (isRunning()) return false;
    auto all = arguments.value_or(PSFlickrAPIContext::Arguments{});
    all["method"] = method;
    auto url = platform::URL::fromString(context_->RESTAPIEndpoint() + "?" + context_->signedQueryFromArguments(all));
    HTTPRequest_->setContentType(std::nullopt);
    return HTTPRequest_->performMethodOnURLWithData(PHHTTPRequest::kMethodGET, url, std::nullopt);
}

bool PSFlickrAPIRequest::callAPIMethodWithPOSTArguments(const std::string& method,
                                                        const std::optional<PSFlickrAPIContext::Arguments>& arguments) {
    if (isRunning()) return false;
    auto all = arguments.value_or(PSFlickrAPIContext::Arguments{});
    all["method"] = method;
    auto url = platform::URL::fromString(context_->RESTAPIEndpoint());
    HTTPRequest_->setContentType(std::string("application/x-www-form-urlencoded"));
    return HTTPRequest_->performMethodOnURLWithData(PHHTTPRequest::kMethodPOST, url,
                                                    Text::toData(context_->signedQueryFromArguments(all)));
}

bool PSFlickrAPIRequest::uploadImageStreamSuggestedFilenameMIMETypeArguments(
    const std::shared_ptr<platform::InputStream>& imageStream, const std::optional<std::string>& filename,
    const std::string& mimeType, const std::optional<PSFlickrAPIContext::Arguments>& arguments) {
    if (isRunning() || context_->authToken().empty() || !imageStream) return false;

    SXMultipartForm form(platform::UUID::newUUIDString(), {.leadingLineEnd = false, .closingLineEnd = false});
    for (const auto& [name, value] : context_->signedArgumentComponentsFromArgumentsUseURIEscape(
             arguments.value_or(PSFlickrAPIContext::Arguments{}), false)) {
        form.addField(name, value);
    }
    const std::string name = filename && !filename->empty() ? *filename : platform::UUID::newUUIDString();

    removeUploadFile();
    const auto path = std::filesystem::path(FileManager::temporaryDirectory()) /
                      (std::string(kUploadFilePrefix) + "." + platform::UUID::newUUIDString());
    uploadTempFilename_ = path.string();
    if (!form.writeFileWithStreamedFile(path, "photo", name, {"Content-Type: " + mimeType}, *imageStream,
                                        kUploadChunkSize)) {
        removeUploadFile();
        return false;
    }
    const auto size = FileManager::fileSize(path.string()).value_or(0);
    HTTPRequest_->setContentType("multipart/form-data; boundary=" + form.boundary());
    const bool started = HTTPRequest_->performMethodOnURLWithInputStreamKnownContentSize(
        PHHTTPRequest::kMethodPOST, platform::URL::fromString(context_->uploadEndpoint()),
        platform::InputStream::withFile(path),
        size >= PHHTTPRequest::kUnknownSize ? PHHTTPRequest::kUnknownSize : static_cast<std::uint32_t>(size));
    if (!started) removeUploadFile();
    return started;
}

void PSFlickrAPIRequest::cancel() {
    HTTPRequest_->cancelWithoutDelegateMessage();
    removeUploadFile();
}

void PSFlickrAPIRequest::removeUploadFile() {
    if (!uploadTempFilename_) return;
    FileManager::removeItem(*uploadTempFilename_);
    uploadTempFilename_.reset();
}

void PSFlickrAPIRequest::httpRequestSentBytesTotal(PHHTTPRequest&, std::uint32_t sent, std::uint32_t total) {
    if (!uploadTempFilename_) return;
    if (auto delegate = delegate_.lock()) delegate->flickrAPIRequestImageUploadSentBytesTotalBytes(*this, sent, total);
}

void PSFlickrAPIRequest::httpRequestDidComplete(PHHTTPRequest& request) {
    auto keep = shared_from_this();
    auto mapped = PSXMLMapper::dictionaryMappedFromXMLData(request.getReceivedDataAndDetachFromRequest());
    const Value* rsp = mapped ? mapped->find("rsp") : nullptr;
    const Value* stat = rsp ? rsp->find("stat") : nullptr;
    auto delegate = delegate_.lock();
    if (stat && stat->string() && *stat->string() == "ok") {
        removeUploadFile();
        if (delegate) delegate->flickrAPIRequestDidCompleteWithResponse(*this, *rsp);
        return;
    }
    // A service refusal, or a reply that did not map at all.
    const Value* err = rsp ? rsp->find("err") : nullptr;
    const Value* code = err ? err->find("code") : nullptr;
    const Value* message = err ? err->find("msg") : nullptr;
    std::optional<Error> error;
    if (code && code->string() && !code->string()->empty()) {
        Value::Dictionary info;
        if (message && message->string() && !message->string()->empty()) {
            info[std::string(Error::kLocalizedFailureReasonKey)] = Value(*message->string());
        }
        error = Error(kServiceErrorDomain, Text::longLongValue(*code->string()), std::move(info));
    } else {
        error = clientError(kFaultyReplyErrorCode, std::nullopt);
    }
    if (delegate) delegate->flickrAPIRequestDidFailWithError(*this, *error);
}

void PSFlickrAPIRequest::httpRequestDidFailWithError(PHHTTPRequest&, const std::string& error) {
    auto keep = shared_from_this();
    Error failure = error == PHHTTPRequest::kConnectionLostError
                        ? clientError(kConnectionErrorCode, "Network connection error")
                    : error == PHHTTPRequest::kTimeoutError ? clientError(kTimeoutErrorCode, "Request timeout")
                                                            : clientError(kUnknownErrorCode, "Unknown error");
    removeUploadFile();
    if (auto delegate = delegate_.lock()) delegate->flickrAPIRequestDidFailWithError(*this, failure);
}

}  // namespace clipora
