#include "social/sdk/FBRequest.h"

#include <algorithm>
#include <random>
#include <utility>

#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MimeType.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Image.h"
#include "social/json/SNJSON.h"
#include "social/sdk/FBHosts.h"
#include "social/sdk/FBRedaction.h"

namespace clipora {

using platform::Data;
using platform::Error;
using platform::Text;
using platform::Value;

namespace {

// Characters escaped in parameter values beyond those never legal in a URL.
constexpr std::string_view kValueEscapes = "!*'();:@&=+$,/?%#[]";

// None until the application installs one at launch (the request
// engine's form request, FBFormUploadRoute) or a test installs its own.
FBUploadRoute::Factory& uploadFactory() {
    static FBUploadRoute::Factory factory;
    return factory;
}

std::size_t& maxLength() {
    static std::size_t length = FBRequest::kDefaultMaxResponseLength;
    return length;
}

bool isFileValue(const Value& value) { return value.isData() || value.objectAs<platform::Image>() != nullptr; }

// The text a parameter travels as: a text as it is, anything else (numbers,
// flags) in its text form.
std::string textOf(const Value& value) {
    if (const std::string* text = value.string()) return *text;
    return value.description();
}

// A part header's name: quotes and line breaks would end the header early.
std::string headerSafe(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c == '"') {
            out += "%22";
        } else if (c == '\r') {
            out += "%0D";
        } else if (c == '\n') {
            out += "%0A";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

bool dataContains(const Data& data, std::string_view needle) {
    return std::search(data.begin(), data.end(), needle.begin(), needle.end()) != data.end();
}

}  // namespace

FBRequest::~FBRequest() {
    if (rqRequest_) rqRequest_->clearDelegatesAndCancel();
    if (connection_) connection_->cancel();
}

std::shared_ptr<FBRequest> FBRequest::getRequestWithParamsHttpMethodDelegateRequestURL(
    Value::Dictionary params, std::string httpMethod, std::weak_ptr<FBRequestDelegate> delegate, std::string url) {
    auto request = std::make_shared<FBRequest>();
    request->params_ = std::move(params);
    request->httpMethod_ = std::move(httpMethod);
    request->delegate_ = std::move(delegate);
    request->url_ = std::move(url);
    return request;
}

std::string FBRequest::serializeURLParams(const std::string& baseUrl, const Value::Dictionary& params) {
    return serializeURLParamsHttpMethod(baseUrl, params, "GET");
}

std::string FBRequest::serializeURLParamsHttpMethod(const std::string& baseUrl, const Value::Dictionary& params,
                                                    const std::string& httpMethod) {
    std::string_view beforeFragment = std::string_view(baseUrl).substr(0, baseUrl.find('#'));
    const char* separator = beforeFragment.find('?') != std::string_view::npos ? "&" : "?";
    std::vector<std::string> pairs;
    for (const auto& [name, value] : params) {
        if (isFileValue(value)) {
            if (httpMethod == "GET") platform::Log::write("can not use GET to upload a file");
            continue;
        }
        pairs.push_back(name + "=" + Text::percentEscapeLegalURL(textOf(value), kValueEscapes));
    }
    return baseUrl + separator + Text::join(pairs, "&");
}

void FBRequest::utfAppendBodyData(Data& body, std::string_view text) {
    body.insert(body.end(), text.begin(), text.end());
}

Data FBRequest::generatePostBody() {
    // Encode images first: the boundary must not occur in any part.
    struct Part {
        std::string head;
        Data bytes;
    };
    std::vector<Part> parts;
    std::vector<Part> fileParts;
    for (const auto& [name, value] : params_) {
        std::string safeName = headerSafe(name);
        if (auto image = value.objectAs<platform::Image>()) {
            fileParts.push_back({"Content-Disposition: form-data; name=\"" + safeName + "\"; filename=\"" + safeName +
                                     "\"\r\nContent-Type: image/jpeg\r\n\r\n",
                                 image->jpegRepresentation(1.0f)});
        } else if (const Data* data = value.data()) {
            fileParts.push_back({"Content-Disposition: form-data; name=\"" + safeName + "\"; filename=\"" + safeName +
                                     "\"\r\nContent-Type: content/unknown\r\n\r\n",
                                 *data});
        } else {
            parts.push_back(
                {"Content-Disposition: form-data; name=\"" + safeName + "\"\r\n\r\n", Text::toData(textOf(value))});
        }
    }
    parts.insert(parts.end(), std::make_move_iterator(fileParts.begin()), std::make_move_iterator(fileParts.end()));

    boundary_ = std::string(kDefaultBoundary);
    auto clashes = [&parts](const std::string& boundary) {
        for (const auto& part : parts)
            if (Text::contains(part.head, boundary) || dataContains(part.bytes, boundary)) return true;
        return false;
    };
    if (clashes(boundary_)) {
        std::random_device seed;
        std::mt19937_64 random(seed());
        do {
            boundary_ = Text::format("clipora%016llx%016llx", static_cast<unsigned long long>(random()),
                                     static_cast<unsigned long long>(random()));
        } while (clashes(boundary_));
    }

    Data body;
    if (parts.empty()) {
        utfAppendBodyData(body, "--" + boundary_ + "--\r\n");
        return body;
    }
    utfAppendBodyData(body, "--" + boundary_ + "\r\n");
    for (std::size_t i = 0; i < parts.size(); ++i) {
        utfAppendBodyData(body, parts[i].head);
        body.insert(body.end(), parts[i].bytes.begin(), parts[i].bytes.end());
        bool last = i + 1 == parts.size();
        utfAppendBodyData(body, "\r\n--" + boundary_ + (last ? "--\r\n" : "\r\n"));
    }
    return body;
}

Error FBRequest::formErrorUserInfo(std::int64_t code, Value::Dictionary userInfo) {
    return Error(std::string(kErrorDomain), code, std::move(userInfo));
}

std::optional<Value> FBRequest::parseJsonResponseError(const Data& data, std::optional<Error>* error) {
    auto fail = [error](Error e, std::optional<Value> result = std::nullopt) -> std::optional<Value> {
        if (!error) return std::nullopt;
        *error = std::move(e);
        return result;
    };
    std::optional<std::string> text = Text::fromUTF8(data);
    if (!text) {
        Value::Dictionary info{{std::string(kErrorMessageKey), Value("The reply is not UTF-8 text")}};
        if (statusCode_ != 0) info[std::string(kHTTPStatusCodeKey)] = Value(statusCode_);
        return fail(formErrorUserInfo(kErrorCodeGeneric, std::move(info)));
    }
    if (*text == "true") return Value::makeDictionary({{"result", Value("true")}});
    if (*text == "false") {
        return fail(formErrorUserInfo(kErrorCodeGeneric,
                                      {{std::string(kErrorMessageKey), Value("This operation can not be completed")}}));
    }
    SNJSON parser;
    std::optional<Value> parsed = parser.objectWithString(*text);
    if (!parsed) {
        // A page that is not JSON is the reply text when the server said
        // all is well, and an error when it did not (error pages of the
        // server, a proxy or a captive portal).
        if (statusCode_ >= 400) {
            return fail(formErrorUserInfo(
                kErrorCodeGeneric, {{std::string(kErrorMessageKey),
                                     Value(Text::format("The server answered with HTTP status %d", statusCode_))},
                                    {std::string(kHTTPStatusCodeKey), Value(statusCode_)}}));
        }
        return Value(std::move(*text));
    }
    const Value::Dictionary* reply = parsed->dictionary();
    if (!reply) return parsed;
    if (reply->count("error")) return fail(formErrorUserInfo(kErrorCodeGeneric, *reply));
    if (auto code = reply->find("error_code"); code != reply->end())
        return fail(formErrorUserInfo(code->second.integerValue(), *reply));
    if (reply->count("error_msg") || reply->count("error_reason"))
        return fail(formErrorUserInfo(kErrorCodeGeneric, *reply), parsed);
    return parsed;
}

void FBRequest::failWithError(const Error& error) {
    auto self = shared_from_this();
    if (error.domain() == kErrorDomain && error.code() == kErrorCodeSessionExpired) sessionDidExpire_ = true;
    if (auto d = delegate()) d->requestDidFailWithError(self, FBRedaction::redactError(error));
}

void FBRequest::handleResponseData(const Data& data) {
    auto self = shared_from_this();
    if (auto d = delegate()) d->requestDidLoadRawResponse(self, data);
    std::optional<Error> error;
    std::optional<Value> result = parseJsonResponseError(data, &error);
    error_ = error;
    if (error) {
        failWithError(*error);
    } else if (auto d = delegate()) {
        d->requestDidLoad(self, result ? *result : Value());
    }
}

void FBRequest::connect() {
    if (state_ != StateReady) return;
    auto self = shared_from_this();
    if (auto d = delegate()) d->requestLoading(self);

    std::optional<std::string> file;
    if (auto photo = params_.find("photo"); photo != params_.end()) {
        file = textOf(photo->second);
        params_.erase(photo);
    }
    if (auto video = params_.find("video"); video != params_.end()) {
        file = textOf(video->second);
        params_.erase(video);
        if (auto graph = params_.find("ShouldUseGraph"); graph != params_.end()) {
            bool useGraph = graph->second.boolValue();
            params_.erase(graph);
            const FBHosts& hosts = FBHosts::current();
            if (useGraph && Text::hasPrefix(url_, hosts.graphBaseURL()))
                url_ = hosts.videoGraphBaseURL() + url_.substr(hosts.graphBaseURL().size());
        }
    }

    // A POST (and every upload, which is one) carries its parameters in the
    // body only, so that the token stays out of URLs and so out of server,
    // proxy and log records.
    std::string url = httpMethod_ == "POST" ? url_ : serializeURLParamsHttpMethod(url_, params_, httpMethod_);
    sessionDidExpire_ = false;
    if (file) {
        connectFileRoute(*file, url_);
    } else if (auto target = platform::URL::fromString(url); !target) {
        // Reported on the next turn, like any other failure, so that the
        // caller holds the request before it hears of it.
        Error error = platform::URLConnection::urlError(Error::kURLErrorBadURL, std::nullopt);
        platform::RunLoop::main()->perform([self, error] { self->finishLoading(error); });
    } else {
        platform::URLRequest request(*target, platform::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData,
                                     kTimeoutInterval);
        request.setValueForHTTPHeaderField(std::string(kUserAgent), "User-Agent");
        request.setHTTPMethod(httpMethod_);
        if (httpMethod_ == "POST") {
            Data body = generatePostBody();
            request.setValueForHTTPHeaderField("multipart/form-data; boundary=" + boundary_, "Content-Type");
            request.setHTTPBody(std::move(body));
        }
        connection_ = platform::URLConnection::create(request, self, true);
    }
    setState(StateLoading);
}

void FBRequest::connectFileRoute(const std::string& file, const std::string& url) {
    auto self = shared_from_this();
    const FBUploadRoute::Factory& factory = uploadFactory();
    std::optional<platform::URL> target = platform::URL::fromString(url);
    if (!factory || !target) {
        Error error =
            target ? formErrorUserInfo(kErrorCodeUploadUnavailable,
                                       {{std::string(kErrorMessageKey), Value("File uploads are not available")}})
                   : platform::URLConnection::urlError(Error::kURLErrorBadURL, std::nullopt);
        platform::RunLoop::main()->perform([self, error] { self->finishLoading(error); });
        return;
    }
    rqRequest_ = factory(*target);
    rqRequest_->setUserAgent(std::string(kUserAgent));
    rqRequest_->setFileWithFileNameAndContentTypeForKey(file, "", platform::MimeType::forPath(file), "file");
    for (const auto& [name, value] : params_)
        if (!isFileValue(value)) rqRequest_->setPostValueForKey(textOf(value), name);
    rqRequest_->setTimeOutSeconds(kUploadTimeoutInterval);
    rqRequest_->startAsynchronous(self);
}

void FBRequest::cancel() {
    auto self = shared_from_this();
    if (rqRequest_) {
        rqRequest_->clearDelegatesAndCancel();
        rqRequest_.reset();
    }
    if (connection_) {
        connection_->cancel();
        connection_.reset();
    }
    responseText_.reset();
    if (state_ != StateComplete) setState(StateComplete);
}

void FBRequest::finishLoading(const std::optional<Error>& error) {
    if (state_ == StateComplete) return;
    auto self = shared_from_this();
    if (error) {
        failWithError(*error);
    } else {
        handleResponseData(responseText_ ? *responseText_ : Data());
    }
    responseText_.reset();
    connection_.reset();
    rqRequest_.reset();
    setState(StateComplete);
}

void FBRequest::connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(
    const std::shared_ptr<platform::URLConnection>&, std::int64_t bytesWritten, std::int64_t totalBytesWritten,
    std::int64_t totalBytesExpectedToWrite) {
    auto self = shared_from_this();
    if (auto d = delegate())
        d->requestDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(self, bytesWritten, totalBytesWritten,
                                                                            totalBytesExpectedToWrite);
}

void FBRequest::connectionDidReceiveResponse(const std::shared_ptr<platform::URLConnection>&,
                                             const std::shared_ptr<platform::HTTPURLResponse>& response) {
    auto self = shared_from_this();
    responseText_ = Data();
    statusCode_ = response ? response->statusCode() : 0;
    if (auto d = delegate()) d->requestDidReceiveResponse(self, response);
}

void FBRequest::connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection, const Data& data) {
    if (!responseText_) responseText_ = Data();
    if (responseText_->size() + data.size() > maxResponseLength()) {
        if (connection) connection->cancel();
        finishLoading(formErrorUserInfo(kErrorCodeGeneric,
                                        {{std::string(kErrorMessageKey),
                                          Value(Text::format("The reply is longer than %llu bytes",
                                                             static_cast<unsigned long long>(maxResponseLength())))}}));
        return;
    }
    responseText_->insert(responseText_->end(), data.begin(), data.end());
}

std::shared_ptr<platform::CachedURLResponse> FBRequest::connectionWillCacheResponse(
    const std::shared_ptr<platform::URLConnection>&, const std::shared_ptr<platform::CachedURLResponse>&) {
    return nullptr;
}

void FBRequest::connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>&) {
    finishLoading(std::nullopt);
}

void FBRequest::connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>&, const Error& error) {
    finishLoading(error);
}

void FBRequest::finishUpload() {
    if (!rqRequest_ || state_ == StateComplete) return;
    auto self = shared_from_this();
    statusCode_ = rqRequest_->responseStatusCode();
    responseText_ = rqRequest_->responseData();
    finishLoading(std::nullopt);
}

void FBRequest::fail() {
    if (!rqRequest_ || state_ == StateComplete) return;
    auto self = shared_from_this();
    std::optional<Error> error = rqRequest_->error();
    finishLoading(
        error ? *error
              : formErrorUserInfo(kErrorCodeGeneric, {{std::string(kErrorMessageKey), Value("The upload failed")}}));
}

void FBRequest::requestDidSendBytes(std::int64_t bytes) {
    if (!rqRequest_) return;
    auto self = shared_from_this();
    std::int64_t total = rqRequest_->postLength();
    if (auto d = delegate()) d->requestDidSendBodyDataTotalBytesExpectedToWrite(self, bytes, total);
}

void FBRequest::setUploadRouteFactory(FBUploadRoute::Factory factory) { uploadFactory() = std::move(factory); }

const FBUploadRoute::Factory& FBRequest::uploadRouteFactory() { return uploadFactory(); }

std::size_t FBRequest::maxResponseLength() { return maxLength(); }

void FBRequest::setMaxResponseLength(std::size_t bytes) { maxLength() = bytes; }

void FBRequest::setState(unsigned state) {
    state_ = state;
    auto self = weak_from_this().lock();
    if (!self) return;
    std::vector<Observer> observers = observers_;
    for (const auto& entry : observers) {
        if (auto observer = entry.observer.lock())
            observer->observeValueForKeyPathOfObjectChangeContext("state", self, entry.context);
    }
}

void FBRequest::addStateObserver(std::weak_ptr<FBRequestStateObserver> observer, const void* context) {
    const FBRequestStateObserver* address = observer.lock().get();
    observers_.push_back({std::move(observer), address, context});
}

void FBRequest::removeStateObserver(const FBRequestStateObserver* observer) {
    std::erase_if(observers_, [observer](const Observer& entry) { return entry.address == observer; });
}

}  // namespace clipora
