#include "net/engine/BKNetworkOperation.h"

#include <cerrno>
#include <utility>

#include "net/DownloadFile.h"
#include "net/MultipartText.h"
#include "net/engine/BKDataEncoding.h"
#include "net/engine/BKDateEncoding.h"
#include "net/engine/BKDictionaryEncoding.h"
#include "net/engine/BKJSONSerialization.h"
#include "net/engine/BKStringEncoding.h"
#include "platform/cfnetwork/ServerTrust.h"
#include "platform/cfnetwork/TLSIdentity.h"
#include "platform/cfnetwork/URLCredentialStorage.h"
#include "platform/cfnetwork/URLProtectionSpace.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/LocalNotificationCenter.h"

namespace clipora {

using platform::Data;
using platform::Error;
using platform::Text;
using platform::URLProtectionSpace;
using platform::Value;

namespace {

// Header fields and form fields whose values never go into a log.
bool isSecretHeader(std::string_view name) {
    return Text::lowercase(name) == "authorization" || Text::lowercase(name) == "proxy-authorization" ||
           Text::lowercase(name) == "cookie";
}

bool isSecretField(std::string_view name) { return Text::containsCaseInsensitive(name, "pass"); }

constexpr const char* kRedacted = "<redacted>";

// One shell word: single quotes, a quote inside written as '\''.
std::string shellQuote(std::string_view text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

void append(Data& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

std::string valueText(const Value& value) { return value.isString() ? *value.string() : value.description(); }

URLProtectionSpace credentialSpaceFor(const platform::URL& url) {
    return URLProtectionSpace(Text::lowercase(url.host()), url.effectivePort(), Text::lowercase(url.scheme()),
                              std::nullopt, URLProtectionSpace::kAuthenticationMethodDefault);
}

std::string preferredLanguages() {
    std::string joined;
    if (auto languages = platform::UserDefaults::standardUserDefaults()->arrayForKey("AppleLanguages")) {
        for (const Value& language : *languages) {
            if (!language.isString()) continue;
            if (!joined.empty()) joined += ", ";
            joined += *language.string();
        }
    }
    return joined.empty() ? "en" : joined;
}

// The platform's published numbers for string encodings, as archived.
std::int64_t encodingNumber(Text::Encoding encoding) {
    switch (encoding) {
    case Text::Encoding::ASCII: return 1;
    case Text::Encoding::UTF8: return 4;
    case Text::Encoding::ISOLatin1: return 5;
    case Text::Encoding::UTF16: return 10;
    case Text::Encoding::WindowsCP1252: return 12;
    case Text::Encoding::UTF32: return 0x8c000100;
    case Text::Encoding::UTF16BigEndian: return 0x90000100;
    case Text::Encoding::UTF16LittleEndian: return 0x94000100;
    }
    return 4;
}

Text::Encoding encodingFromNumber(std::int64_t number) {
    switch (number) {
    case 1: return Text::Encoding::ASCII;
    case 5: return Text::Encoding::ISOLatin1;
    case 10: return Text::Encoding::UTF16;
    case 12: return Text::Encoding::WindowsCP1252;
    case 0x8c000100: return Text::Encoding::UTF32;
    case 0x90000100: return Text::Encoding::UTF16BigEndian;
    case 0x94000100: return Text::Encoding::UTF16LittleEndian;
    default: return Text::Encoding::UTF8;
    }
}

}  // namespace

BKNetworkOperation::BKNetworkOperation() = default;

BKNetworkOperation::~BKNetworkOperation() {
    if (connection_) connection_->cancel();
}

std::shared_ptr<BKNetworkOperation> BKNetworkOperation::self() {
    return std::static_pointer_cast<BKNetworkOperation>(shared_from_this());
}

std::shared_ptr<BKNetworkOperation> BKNetworkOperation::operationWithURLStringParamsHttpMethod(
    const std::string& urlString, const std::optional<Value::Dictionary>& params, const std::string& method) {
    auto operation = std::make_shared<BKNetworkOperation>();
    operation->initWithURLStringParamsHttpMethod(urlString, params, method);
    return operation;
}

void BKNetworkOperation::initWithURLStringParamsHttpMethod(const std::string& urlString,
                                                           const std::optional<Value::Dictionary>& params,
                                                           const std::string& method) {
    {
        std::lock_guard lock(mutex_);
        fieldsToBePosted_ = params.value_or(Value::Dictionary{});
        stringEncoding_ = Text::Encoding::UTF8;
        credentialPersistence_ = platform::URLCredential::Persistence::ForSession;
        if (method == "GET") cacheHeaders_ = Value::Dictionary{};
    }
    const bool hasFields = params && !params->empty();
    std::string text = urlString;
    if ((method == "GET" || method == "DELETE") && hasFields) text += "?" + encodedPostDataString();
    auto url = platform::URL::fromString(text);
    if (!url) url = platform::URL::fromString(Text::percentEscapeLegalURL(text, {}, "%#"));
    if (!url) url = platform::URL::fromString("");
    auto request = platform::URLRequest::requestWithURLCachePolicyTimeoutInterval(
        *url, platform::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData, kRequestTimeout);
    request->setHTTPMethod(method);
    request->setValueForHTTPHeaderField(preferredLanguages() + ", en-us", "Accept-Language");
    std::lock_guard lock(mutex_);
    if ((method == "POST" || method == "PUT") && hasFields) {
        const std::string charset = Text::charsetNameForEncoding(stringEncoding_);
        switch (postDataEncoding_) {
        case UrlEncoded:
            request->setValueForHTTPHeaderField("application/x-www-form-urlencoded; charset=" + charset,
                                                "Content-Type");
            break;
        case Json: request->setValueForHTTPHeaderField("application/json; charset=" + charset, "Content-Type"); break;
        case Plist:
            request->setValueForHTTPHeaderField("application/x-plist; charset=" + charset, "Content-Type");
            break;
        }
    }
    request_ = request;
    state_ = OperationState::Ready;
}

// ---------------------------------------------------------------------------
// Configuration

void BKNetworkOperation::addHeaders(const Value::Dictionary& headers) {
    std::lock_guard lock(mutex_);
    for (const auto& [name, value] : headers) request_->addValueForHTTPHeaderField(valueText(value), name);
}

void BKNetworkOperation::setUsernamePassword(const std::string& username, const std::string& password) {
    std::lock_guard lock(mutex_);
    username_ = username;
    password_ = password;
}

void BKNetworkOperation::setUsernamePasswordBasicAuth(const std::string& username, const std::string& password, bool) {
    setUsernamePassword(username, password);
    const std::string pair = username + ":" + password;
    // One line: a line break inside a header value would split the request.
    const std::string encoded = BKDataEncoding::base64EncodedStringWithoutLineBreaks(Data(pair.begin(), pair.end()));
    addHeaders({{"Authorization", Value("Basic " + encoded)}});
}

void BKNetworkOperation::setCustomPostDataEncodingHandlerForType(EncodingBlock handler,
                                                                 const std::string& contentType) {
    std::lock_guard lock(mutex_);
    postDataEncodingHandler_ = std::move(handler);
    request_->setValueForHTTPHeaderField(contentType + "; charset=" + Text::charsetNameForEncoding(stringEncoding_),
                                         "Content-Type");
}

void BKNetworkOperation::addDataForKeyMimeType(const Data& data, const std::string& key, const std::string& mimeType) {
    std::lock_guard lock(mutex_);
    request_->setHTTPMethod("POST");
    dataToBePosted_.push_back({data, key, mimeType});
}

void BKNetworkOperation::addFileForKeyMimeType(const std::string& filePath, const std::string& key,
                                               const std::string& mimeType) {
    std::lock_guard lock(mutex_);
    request_->setHTTPMethod("POST");
    filesToBePosted_.push_back({filePath, key, mimeType});
}

void BKNetworkOperation::setUploadStream(std::shared_ptr<platform::InputStream> stream) {
    std::lock_guard lock(mutex_);
    request_->setHTTPBodyStream(std::move(stream));
}

void BKNetworkOperation::addDownloadStream(std::shared_ptr<platform::OutputStream> stream,
                                           std::optional<std::filesystem::path> destination) {
    if (!stream) return;
    stream->scheduleInRunLoop(platform::RunLoop::current(), platform::RunLoop::commonModes);
    std::lock_guard lock(mutex_);
    downloadStreams_.push_back({std::move(stream), std::move(destination)});
}

void BKNetworkOperation::setFreezable(bool freezable) {
    std::lock_guard lock(mutex_);
    if (freezable && request_ && request_->HTTPMethod() == "GET") return;
    freezable_ = freezable;
    if (freezable_ && uniqueId_.empty()) uniqueId_ = BKStringEncoding::uniqueString();
}

bool BKNetworkOperation::freezable() const {
    std::lock_guard lock(mutex_);
    return freezable_;
}

void BKNetworkOperation::setCacheHandler(CacheBlock handler) {
    std::lock_guard lock(mutex_);
    cacheHandlingBlock_ = std::move(handler);
}

BKNetworkOperation::PostDataEncoding BKNetworkOperation::postDataEncoding() const {
    std::lock_guard lock(mutex_);
    return postDataEncoding_;
}

void BKNetworkOperation::setPostDataEncoding(PostDataEncoding encoding) {
    std::lock_guard lock(mutex_);
    postDataEncoding_ = encoding;
}

BKNetworkOperation::EncodingBlock BKNetworkOperation::postDataEncodingHandler() const {
    std::lock_guard lock(mutex_);
    return postDataEncodingHandler_;
}

void BKNetworkOperation::setPostDataEncodingHandler(EncodingBlock handler) {
    std::lock_guard lock(mutex_);
    postDataEncodingHandler_ = std::move(handler);
}

Text::Encoding BKNetworkOperation::stringEncoding() const {
    std::lock_guard lock(mutex_);
    return stringEncoding_;
}

void BKNetworkOperation::setStringEncoding(Text::Encoding encoding) {
    std::lock_guard lock(mutex_);
    stringEncoding_ = encoding;
}

std::string BKNetworkOperation::uniqueId() const {
    std::lock_guard lock(mutex_);
    return uniqueId_;
}

std::string BKNetworkOperation::username() const {
    std::lock_guard lock(mutex_);
    return username_.value_or("");
}

std::string BKNetworkOperation::password() const {
    std::lock_guard lock(mutex_);
    return password_.value_or("");
}

std::string BKNetworkOperation::clientCertificate() const {
    std::lock_guard lock(mutex_);
    return clientCertificate_;
}

void BKNetworkOperation::setClientCertificate(std::string path) {
    std::lock_guard lock(mutex_);
    clientCertificate_ = std::move(path);
}

BKNetworkOperation::AuthBlock BKNetworkOperation::authHandler() const {
    std::lock_guard lock(mutex_);
    return authHandler_;
}

void BKNetworkOperation::setAuthHandler(AuthBlock handler) {
    std::lock_guard lock(mutex_);
    authHandler_ = std::move(handler);
}

BKNetworkOperation::StateChangedBlock BKNetworkOperation::operationStateChangedHandler() const {
    std::lock_guard lock(mutex_);
    return operationStateChangedHandler_;
}

void BKNetworkOperation::setOperationStateChangedHandler(StateChangedBlock handler) {
    std::lock_guard lock(mutex_);
    operationStateChangedHandler_ = std::move(handler);
}

platform::URLCredential::Persistence BKNetworkOperation::credentialPersistence() const {
    std::lock_guard lock(mutex_);
    return credentialPersistence_;
}

void BKNetworkOperation::setCredentialPersistence(platform::URLCredential::Persistence persistence) {
    std::lock_guard lock(mutex_);
    credentialPersistence_ = persistence;
}

// ---------------------------------------------------------------------------
// Handlers

void BKNetworkOperation::onCompletionOnError(ResponseBlock response, ErrorBlock error) {
    std::lock_guard lock(mutex_);
    if (!acceptsBlocks_) return;
    if (response) responseBlocks_.push_back(std::move(response));
    if (error) errorBlocks_.push_back(std::move(error));
}

void BKNetworkOperation::onUploadProgressChanged(ProgressBlock block) {
    std::lock_guard lock(mutex_);
    if (acceptsBlocks_ && block) uploadProgressChangedHandlers_.push_back(std::move(block));
}

void BKNetworkOperation::onDownloadProgressChanged(ProgressBlock block) {
    std::lock_guard lock(mutex_);
    if (acceptsBlocks_ && block) downloadProgressChangedHandlers_.push_back(std::move(block));
}

void BKNetworkOperation::updateHandlersFromOperation(const std::shared_ptr<BKNetworkOperation>& operation) {
    if (!operation || operation.get() == this) return;
    std::vector<ResponseBlock> responses;
    std::vector<ErrorBlock> errors;
    std::vector<ProgressBlock> uploads, downloads;
    std::vector<DownloadStream> streams;
    {
        std::lock_guard lock(operation->mutex_);
        responses = operation->responseBlocks_;
        errors = operation->errorBlocks_;
        uploads = operation->uploadProgressChangedHandlers_;
        downloads = operation->downloadProgressChangedHandlers_;
        streams = operation->downloadStreams_;
    }
    std::lock_guard lock(mutex_);
    if (!acceptsBlocks_) return;
    responseBlocks_.insert(responseBlocks_.end(), responses.begin(), responses.end());
    errorBlocks_.insert(errorBlocks_.end(), errors.begin(), errors.end());
    uploadProgressChangedHandlers_.insert(uploadProgressChangedHandlers_.end(), uploads.begin(), uploads.end());
    downloadProgressChangedHandlers_.insert(downloadProgressChangedHandlers_.end(), downloads.begin(), downloads.end());
    for (auto& incoming : streams) {
        bool duplicate = false;
        for (const auto& attached : downloadStreams_) {
            if (attached.stream == incoming.stream || (attached.destination && incoming.destination &&
                                                       std::filesystem::weakly_canonical(*attached.destination) ==
                                                           std::filesystem::weakly_canonical(*incoming.destination))) {
                duplicate = true;
                break;
            }
        }
        // Two writers of one file would write every chunk twice.
        if (!duplicate) downloadStreams_.push_back(std::move(incoming));
    }
}

// ---------------------------------------------------------------------------
// Identity and cache hooks

std::string BKNetworkOperation::uniqueIdentifier() const {
    std::lock_guard lock(mutex_);
    std::string text = request_->HTTPMethod() + " " + request_->url().absoluteString();
    if (username_ || password_) text += " [" + username_.value_or("") + ":" + password_.value_or("") + "]";
    if (freezable_) text += uniqueId_;
    return BKStringEncoding::md5(text);
}

bool BKNetworkOperation::isEqual(const platform::Object& other) const {
    const auto* operation = dynamic_cast<const BKNetworkOperation*>(&other);
    if (!operation) return false;
    const std::string method = HTTPMethod();
    if (method != "GET" && method != "HEAD") return false;
    if (operation == this) return true;
    return uniqueIdentifier() == operation->uniqueIdentifier();
}

bool BKNetworkOperation::isCacheable() const { return HTTPMethod() == "GET"; }

bool BKNetworkOperation::isCachedResponse() const {
    std::lock_guard lock(mutex_);
    return cachedResponse_.has_value();
}

void BKNetworkOperation::setCachedData(const Data& data) {
    {
        std::lock_guard lock(mutex_);
        cachedResponse_ = data;
    }
    operationSucceeded();
}

void BKNetworkOperation::updateOperationBasedOnPreviousHeaders(const Value::Dictionary& headers) {
    std::lock_guard lock(mutex_);
    if (auto it = headers.find("Last-Modified"); it != headers.end())
        request_->setValueForHTTPHeaderField(valueText(it->second), "IF-MODIFIED-SINCE");
    if (auto it = headers.find("ETag"); it != headers.end())
        request_->setValueForHTTPHeaderField(valueText(it->second), "IF-NONE-MATCH");
}

void BKNetworkOperation::notifyCache() {
    CacheBlock handler;
    {
        std::lock_guard lock(mutex_);
        const int status = response_ ? response_->statusCode() : 0;
        if (request_->HTTPMethod() != "GET" || status < 200 || status > 299) return;
        handler = cacheHandlingBlock_;
    }
    if (handler) handler(self());
}

Value::Dictionary BKNetworkOperation::cacheHeaders() const {
    std::lock_guard lock(mutex_);
    return cacheHeaders_.value_or(Value::Dictionary{});
}

bool BKNetworkOperation::isConditionalRequest() const {
    std::lock_guard lock(mutex_);
    return request_->valueForHTTPHeaderField("IF-NONE-MATCH") || request_->valueForHTTPHeaderField("IF-MODIFIED-SINCE");
}

// ---------------------------------------------------------------------------
// State

BKNetworkOperation::OperationState BKNetworkOperation::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void BKNetworkOperation::setState(OperationState state) {
    StateChangedBlock handler;
    {
        std::lock_guard lock(mutex_);
        // Finished is final: no later change may revive the operation or
        // announce the end a second time.
        if (state_ == OperationState::Finished || state_ == state) return;
        state_ = state;
        handler = operationStateChangedHandler_;
    }
    stateDidChange();
    if (handler) handler(state);
}

bool BKNetworkOperation::finishOnce() {
    {
        std::lock_guard lock(mutex_);
        if (state_ == OperationState::Finished) return false;
    }
    setState(OperationState::Finished);
    return true;
}

bool BKNetworkOperation::isReady() const { return state() == OperationState::Ready; }
bool BKNetworkOperation::isExecuting() const { return state() == OperationState::Executing; }
bool BKNetworkOperation::isFinished() const { return state() == OperationState::Finished; }

bool BKNetworkOperation::hasDownloadStreams() const {
    std::lock_guard lock(mutex_);
    return !downloadStreams_.empty();
}

bool BKNetworkOperation::hasReceivedResponse() const {
    std::lock_guard lock(mutex_);
    return responseReceived_;
}

void BKNetworkOperation::endBackgroundTask() {
    std::weak_ptr<BKNetworkOperation> weak = self();
    platform::DispatchQueue::main()->async([weak] {
        auto operation = weak.lock();
        if (!operation) return;
        platform::Application::BackgroundTaskIdentifier task;
        {
            std::lock_guard lock(operation->mutex_);
            task = std::exchange(operation->backgroundTaskId_, platform::Application::kBackgroundTaskInvalid);
        }
        if (task != platform::Application::kBackgroundTaskInvalid)
            platform::Application::sharedApplication()->endBackgroundTask(task);
    });
}

void BKNetworkOperation::start() {
    auto operation = self();
    std::weak_ptr<BKNetworkOperation> weak = operation;
    auto application = platform::Application::sharedApplication();
    const auto task = application->beginBackgroundTaskWithExpirationHandler([weak] {
        platform::DispatchQueue::main()->async([weak] {
            auto op = weak.lock();
            if (!op) return;
            platform::Application::BackgroundTaskIdentifier expired;
            {
                std::lock_guard lock(op->mutex_);
                expired = std::exchange(op->backgroundTaskId_, platform::Application::kBackgroundTaskInvalid);
            }
            if (expired != platform::Application::kBackgroundTaskInvalid)
                platform::Application::sharedApplication()->endBackgroundTask(expired);
            op->cancel();
        });
    });
    bool cancelled;
    std::string method;
    {
        std::lock_guard lock(mutex_);
        backgroundTaskId_ = task;
        cancelled = isCancelled_ || state_ == OperationState::Finished;
        method = request_->HTTPMethod();
    }
    if (cancelled) {
        setState(OperationState::Finished);
        endBackgroundTask();
        return;
    }
    if (method == "POST" || method == "PUT") {
        bool keepStream;
        {
            std::lock_guard lock(mutex_);
            keepStream = request_->HTTPBodyStream() && fieldsToBePosted_.empty() && filesToBePosted_.empty() &&
                         dataToBePosted_.empty();
        }
        if (!keepStream) {
            Data body = bodyData();
            std::lock_guard lock(mutex_);
            request_->setHTTPBody(std::move(body));
        }
    }
    // Executing before the connection is handed to the main thread, so that
    // a connection that fails at once cannot be overtaken by this store.
    setState(OperationState::Executing);
    platform::DispatchQueue::main()->async([operation] {
        std::shared_ptr<platform::URLConnection> connection;
        bool cancelledMeanwhile = false;
        {
            std::lock_guard lock(operation->mutex_);
            if (operation->state_ != OperationState::Executing) return;
            if (operation->isCancelled_) {
                cancelledMeanwhile = true;
            } else {
                connection = platform::URLConnection::create(*operation->request_, operation, false);
                operation->connection_ = connection;
            }
        }
        if (cancelledMeanwhile) {
            operation->setState(OperationState::Finished);
            operation->endBackgroundTask();
            return;
        }
        if (!connection) {
            const auto url = operation->readonlyRequest()->url();
            return operation->connectionDidFailWithError(
                nullptr, platform::URLConnection::urlError(Error::kURLErrorBadURL, url));
        }
        connection->scheduleInRunLoopForMode(platform::RunLoop::main(), platform::RunLoop::commonModes);
        connection->start();
        // A cancel from another thread may have missed the connection.
        bool stop;
        {
            std::lock_guard lock(operation->mutex_);
            stop = operation->isCancelled_;
        }
        if (stop) connection->cancel();
    });
}

void BKNetworkOperation::cancel() {
    std::shared_ptr<platform::URLConnection> connection;
    bool wasExecuting;
    std::vector<DownloadStream> streams;
    {
        std::lock_guard lock(mutex_);
        if (state_ == OperationState::Finished) return;
        responseBlocks_.clear();
        errorBlocks_.clear();
        uploadProgressChangedHandlers_.clear();
        downloadProgressChangedHandlers_.clear();
        streams.swap(downloadStreams_);
        connection = connection_;
        authHandler_ = nullptr;
        mutableData_.reset();
        downloadedDataSize_ = 0;
        isCancelled_ = true;
        cacheHandlingBlock_ = nullptr;
        wasExecuting = state_ == OperationState::Executing;
    }
    // The flag callers read (isCancelled) is up before the end is announced.
    platform::Operation::cancel();
    if (connection) connection->cancel();
    closeDownloadStreams(streams);
    if (wasExecuting) setState(OperationState::Finished);
    endBackgroundTask();
}

// ---------------------------------------------------------------------------
// Request parts

std::string BKNetworkOperation::encodedPostDataString() const {
    EncodingBlock handler;
    Value::Dictionary fields;
    PostDataEncoding encoding;
    {
        std::lock_guard lock(mutex_);
        handler = postDataEncodingHandler_;
        fields = fieldsToBePosted_;
        encoding = postDataEncoding_;
    }
    if (handler) return handler(fields);
    switch (encoding) {
    case UrlEncoded: return BKDictionaryEncoding::urlEncodedKeyValueString(fields);
    case Json: return BKDictionaryEncoding::jsonEncodedKeyValueString(fields);
    case Plist: return BKDictionaryEncoding::plistEncodedKeyValueString(fields);
    }
    return {};
}

Data BKNetworkOperation::bodyData() {
    std::vector<FileEntry> files;
    std::vector<DataEntry> datas;
    Value::Dictionary fields;
    Text::Encoding encoding;
    {
        std::lock_guard lock(mutex_);
        files = filesToBePosted_;
        datas = dataToBePosted_;
        fields = fieldsToBePosted_;
        encoding = stringEncoding_;
    }
    auto encode = [encoding](std::string_view text) {
        return Text::encode(text, encoding, true).value_or(Data(text.begin(), text.end()));
    };
    if (files.empty() && datas.empty()) return encode(encodedPostDataString());

    // A fresh random boundary: no field value or file can hold its line.
    const std::string boundary = MultipartText::randomBoundary(kBoundaryPrefix);
    Data body;
    auto appendText = [&](std::string_view text) {
        const Data bytes = encode(text);
        body.insert(body.end(), bytes.begin(), bytes.end());
    };
    for (const auto& [key, value] : fields) {
        appendText("--" + boundary + "\r\n");
        appendText("Content-Disposition: form-data; name=\"" + MultipartText::escapeQuotedParameter(key) +
                   "\"\r\n\r\n");
        appendText(valueText(value) + "\r\n");
        append(body, "\r\n");
    }
    auto appendPart = [&](const std::string& name, const std::string& filename, const std::string& mimeType,
                          const Data& content) {
        appendText("--" + boundary + "\r\n");
        appendText("Content-Disposition: form-data; name=\"" + MultipartText::escapeQuotedParameter(name) +
                   "\"; filename=\"" + MultipartText::escapeQuotedParameter(filename) + "\"\r\n");
        appendText("Content-Type: " + mimeType + "\r\n");
        appendText("Content-Transfer-Encoding: binary\r\n\r\n");
        body.insert(body.end(), content.begin(), content.end());
        append(body, "\r\n");
    };
    for (const FileEntry& file : files) {
        const Data content = platform::FileManager::contentsOfFile(file.filepath).value_or(Data{});
        appendPart(file.name, std::filesystem::path(file.filepath).filename().string(), file.mimetype, content);
    }
    for (const DataEntry& entry : datas) appendPart(entry.name, entry.name, entry.mimetype, entry.data);
    appendText("--" + boundary + "--\r\n");

    std::lock_guard lock(mutex_);
    request_->setValueForHTTPHeaderField(
        "multipart/form-data; charset=" + Text::charsetNameForEncoding(encoding) + "; boundary=" + boundary,
        "Content-Type");
    request_->setValueForHTTPHeaderField(std::to_string(body.size()), "Content-Length");
    return body;
}

// ---------------------------------------------------------------------------
// Connection callbacks

std::shared_ptr<platform::URLRequest> BKNetworkOperation::connectionWillSendRequestRedirectResponse(
    const std::shared_ptr<platform::URLConnection>&, const std::shared_ptr<platform::URLRequest>& request,
    const std::shared_ptr<platform::HTTPURLResponse>& redirectResponse) {
    if (!redirectResponse || !request) return request;
    std::lock_guard lock(mutex_);
    auto next = request_->copy();
    const platform::URL& target = request->url();
    const bool sameServer = request_->url().isSameOrigin(target);
    next->setURL(target);
    if (redirectResponse->statusCode() == 303 && Text::uppercase(next->HTTPMethod()) != "HEAD") {
        // "See other" asks for a plain retrieval of the new resource.
        next->setHTTPMethod("GET");
        next->setHTTPBody(std::nullopt);
        next->setValueForHTTPHeaderField(std::nullopt, "Content-Type");
        next->setValueForHTTPHeaderField(std::nullopt, "Content-Length");
    }
    if (!sameServer) {
        // Credentials and cookies set by hand belong to the first server
        // only; a change of scheme also covers https -> http.
        next->setValueForHTTPHeaderField(std::nullopt, "Authorization");
        next->setValueForHTTPHeaderField(std::nullopt, "Cookie");
    }
    return next;
}

bool BKNetworkOperation::credentialAllowedFor(const URLProtectionSpace& space) const {
    if (space.isProxy()) return false;
    std::lock_guard lock(mutex_);
    const platform::URL& own = request_->url();
    return Text::lowercase(space.host()) == Text::lowercase(own.host()) && space.port() == own.effectivePort() &&
           Text::lowercase(space.protocol().value_or("")) == Text::lowercase(own.scheme());
}

void BKNetworkOperation::answerClientCertificate(
    const std::shared_ptr<platform::URLAuthenticationChallenge>& challenge) {
    const auto& sender = challenge->sender();
    std::string path;
    std::string password;
    {
        std::lock_guard lock(mutex_);
        path = clientCertificate_;
        password = password_.value_or("");
    }
    std::shared_ptr<platform::TLSIdentity> identity;
    if (auto bytes = platform::FileManager::contentsOfFile(path)) {
        // A PKCS #12 archive (with the operation's password, if any), or PEM
        // text holding the certificate and its key.
        identity = platform::TLSIdentity::fromPKCS12(*bytes, password);
        if (!identity) {
            const std::string text(bytes->begin(), bytes->end());
            identity = platform::TLSIdentity::fromPEM(text, text);
        }
    }
    if (!identity) return sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
    sender->useCredentialForAuthenticationChallenge(
        platform::URLCredential::credentialWithIdentityCertificatesPersistence(
            identity, {identity->certificateDER()}, platform::URLCredential::Persistence::Permanent),
        challenge);
}

void BKNetworkOperation::connectionWillSendRequestForAuthenticationChallenge(
    const std::shared_ptr<platform::URLConnection>&,
    const std::shared_ptr<platform::URLAuthenticationChallenge>& challenge) {
    const auto& sender = challenge->sender();
    const URLProtectionSpace& space = challenge->protectionSpace();
    const std::string_view method = space.authenticationMethod();
    AuthBlock handler = authHandler();
    if (challenge->previousFailureCount() != 0)
        return sender->continueWithoutCredentialForAuthenticationChallenge(challenge);

    const bool passwordMethod = method == URLProtectionSpace::kAuthenticationMethodDefault ||
                                method == URLProtectionSpace::kAuthenticationMethodHTTPBasic ||
                                method == URLProtectionSpace::kAuthenticationMethodHTTPDigest ||
                                method == URLProtectionSpace::kAuthenticationMethodNTLM;
    std::optional<std::string> user, password;
    std::string certificate;
    platform::URLCredential::Persistence persistence;
    {
        std::lock_guard lock(mutex_);
        user = username_;
        password = password_;
        certificate = clientCertificate_;
        persistence = credentialPersistence_;
    }
    if (passwordMethod && user && password && credentialAllowedFor(space)) {
        return sender->useCredentialForAuthenticationChallenge(platform::URLCredential(*user, *password, persistence),
                                                               challenge);
    }
    if (method == URLProtectionSpace::kAuthenticationMethodClientCertificate && !certificate.empty())
        return answerClientCertificate(challenge);
    if (method == URLProtectionSpace::kAuthenticationMethodServerTrust) {
        const auto& trust = space.serverTrust();
        const auto result = trust ? trust->evaluate() : platform::ServerTrust::Result::Invalid;
        if (result == platform::ServerTrust::Result::Confirm)
            return sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
        if (platform::ServerTrust::isTrustedResult(result))
            return sender->useCredentialForAuthenticationChallenge(platform::URLCredential::credentialForTrust(trust),
                                                                   challenge);
        // An untrusted server (self-signed, expired, another host): only
        // the caller may decide otherwise. By default the trust is left to
        // its evaluation, which refuses it: the load fails with its TLS error.
        if (handler) return handler(challenge);
        return sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
    }
    if (handler) return handler(challenge);
    sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
}

void BKNetworkOperation::connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(
    const std::shared_ptr<platform::URLConnection>&, std::int64_t, std::int64_t totalBytesWritten,
    std::int64_t totalBytesExpectedToWrite) {
    if (totalBytesExpectedToWrite <= 0) return;
    std::vector<ProgressBlock> blocks;
    {
        std::lock_guard lock(mutex_);
        if (state_ != OperationState::Executing) return;
        blocks = uploadProgressChangedHandlers_;
    }
    const double progress = static_cast<double>(totalBytesWritten) / static_cast<double>(totalBytesExpectedToWrite);
    for (const auto& block : blocks) block(progress);
}

void BKNetworkOperation::connectionDidReceiveResponse(const std::shared_ptr<platform::URLConnection>&,
                                                      const std::shared_ptr<platform::HTTPURLResponse>& response) {
    std::vector<DownloadStream> streams;
    std::string method;
    {
        std::lock_guard lock(mutex_);
        if (state_ != OperationState::Executing) return;
        response_ = response;
        responseReceived_ = true;
        firstChunkPending_ = true;
        if (downloadStreams_.empty())
            mutableData_ = Data{};
        else
            mutableData_.reset();
        streams = downloadStreams_;
        method = request_->HTTPMethod();
    }
    for (const auto& entry : streams) {
        entry.stream->open();
        if (entry.stream->status() == platform::Stream::Status::Error) {
            return abortWithError(entry.stream->error().value_or(Error::fromErrno(EIO)));
        }
    }
    if (method == "GET" && streams.empty() && response) fillCacheHeaders(*response);
}

void BKNetworkOperation::fillCacheHeaders(const platform::HTTPURLResponse& response) {
    const auto lastModified = response.valueForHTTPHeaderField("Last-Modified");
    const auto eTag = response.valueForHTTPHeaderField("ETag");
    const auto contentType = response.valueForHTTPHeaderField("Content-Type");
    const platform::Date now = platform::Date::now();
    std::optional<platform::Date> expiry;
    if (!contentType || Text::contains(*contentType, "image"))
        expiry =
            now.addingTimeInterval((eTag || lastModified) ? kImageExpiryWithValidators : kImageExpiryWithoutValidators);
    if (auto cacheControl = response.valueForHTTPHeaderField("Cache-Control")) {
        for (const std::string& directive : Text::split(*cacheControl, ",")) {
            if (Text::contains(directive, "max-age")) {
                const auto parts = Text::split(directive, "=");
                const double seconds = parts.size() > 1 ? static_cast<double>(Text::longLongValue(parts[1])) : 0;
                expiry = now.addingTimeInterval(seconds);
            }
            if (Text::contains(directive, "no-cache")) expiry = now.addingTimeInterval(kNoCacheExpiry);
        }
    }
    std::lock_guard lock(mutex_);
    if (!cacheHeaders_) return;
    if (expiry) (*cacheHeaders_)["Expires"] = Value(BKDateEncoding::rfc1123String(*expiry));
    if (lastModified) (*cacheHeaders_)["Last-Modified"] = Value(*lastModified);
    if (eTag) (*cacheHeaders_)["ETag"] = Value(*eTag);
}

std::optional<Error> BKNetworkOperation::writeFully(platform::OutputStream& stream, const Data& chunk) {
    std::size_t written = 0;
    while (written < chunk.size()) {
        const std::int64_t n = stream.write(chunk.data() + written, chunk.size() - written);
        if (n <= 0) {
            if (auto error = stream.error()) return error;
            return Error::withDescription(std::string(Error::kPOSIXErrorDomain), n == 0 ? ENOSPC : EIO,
                                          "The download stream did not take the data.");
        }
        written += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

void BKNetworkOperation::connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>&, const Data& data) {
    std::vector<DownloadStream> streams;
    {
        std::lock_guard lock(mutex_);
        if (state_ != OperationState::Executing) return;
        if (firstChunkPending_) {
            firstChunkPending_ = false;
            // A resume offset counts only when the server answered with the
            // part asked for.
            if (response_ && response_->statusCode() == 206) {
                if (auto range = request_->valueForHTTPHeaderField("Range");
                    range && Text::hasPrefix(*range, "bytes=") && Text::hasSuffix(*range, "-")) {
                    startPosition_ = Text::longLongValue(range->substr(6, range->size() - 7));
                    downloadedDataSize_ = static_cast<std::uint64_t>(std::max<std::int64_t>(0, startPosition_));
                }
            }
        }
        if (downloadStreams_.empty()) {
            if (!mutableData_) mutableData_ = Data{};
            mutableData_->insert(mutableData_->end(), data.begin(), data.end());
        }
        streams = downloadStreams_;
    }
    for (const auto& entry : streams) {
        if (auto error = writeFully(*entry.stream, data)) return abortWithError(*error);
    }
    std::vector<ProgressBlock> blocks;
    double progress = 0;
    {
        std::lock_guard lock(mutex_);
        if (state_ != OperationState::Executing) return;
        downloadedDataSize_ += data.size();
        const std::int64_t expected = response_ ? response_->expectedContentLength() : -1;
        if (expected > 0) {
            progress = static_cast<double>(downloadedDataSize_) / static_cast<double>(startPosition_ + expected);
            blocks = downloadProgressChangedHandlers_;
        }
    }
    for (const auto& block : blocks) block(progress);
}

void BKNetworkOperation::closeDownloadStreams(const std::vector<DownloadStream>& streams) {
    // A download file that is merely closed keeps the destination as it was.
    for (const auto& entry : streams) {
        if (auto file = std::dynamic_pointer_cast<DownloadFile>(entry.stream)) {
            file->discard();
        } else {
            entry.stream->close();
        }
    }
}

std::optional<Error> BKNetworkOperation::commitDownloadStreams(const std::vector<DownloadStream>& streams) {
    std::optional<Error> failure;
    for (const auto& entry : streams) {
        if (auto file = std::dynamic_pointer_cast<DownloadFile>(entry.stream)) {
            std::optional<Error> error;
            if (!file->commit(&error) && !failure) failure = error.value_or(Error::fromErrno(EIO));
        } else {
            entry.stream->close();
        }
    }
    return failure;
}

void BKNetworkOperation::abortWithError(const Error& error) {
    std::shared_ptr<platform::URLConnection> connection;
    std::vector<DownloadStream> streams;
    {
        std::lock_guard lock(mutex_);
        if (state_ != OperationState::Executing) return;
        connection = connection_;
        streams = downloadStreams_;
        mutableData_.reset();
        downloadedDataSize_ = 0;
    }
    if (connection) connection->cancel();
    if (!finishOnce()) return;
    closeDownloadStreams(streams);
    operationFailedWithError(error);
    endBackgroundTask();
}

void BKNetworkOperation::connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>&) {
    auto keep = self();
    std::vector<DownloadStream> streams;
    int status;
    Value::Dictionary headers;
    {
        std::lock_guard lock(mutex_);
        if (state_ != OperationState::Executing) return;
        streams = downloadStreams_;
        status = response_ ? response_->statusCode() : 0;
        if (response_) headers = response_->allHeaderFields();
    }
    if (!finishOnce()) return;
    const bool succeeded = status >= 200 && status <= 299;
    // Only a successful body replaces the files it was written for.
    std::optional<Error> fileError;
    if (succeeded) {
        fileError = commitDownloadStreams(streams);
    } else {
        closeDownloadStreams(streams);
    }
    if (fileError) {
        operationFailedWithError(*fileError);
    } else if (succeeded) {
        {
            std::lock_guard lock(mutex_);
            cachedResponse_.reset();
        }
        notifyCache();
        operationSucceeded();
    } else if (status == 304 && isConditionalRequest() && isCachedResponse()) {
        // Our own revalidation: the cached body was already delivered.
    } else {
        // Every other final status is a failure the caller must hear of,
        // an unfollowed redirect included.
        operationFailedWithError(Error(std::string(Error::kURLErrorDomain), status, headers));
    }
    endBackgroundTask();
}

void BKNetworkOperation::connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>&,
                                                    const Error& error) {
    auto keep = self();
    std::vector<DownloadStream> streams;
    {
        std::lock_guard lock(mutex_);
        if (state_ != OperationState::Executing) return;
        streams = downloadStreams_;
        mutableData_.reset();
        downloadedDataSize_ = 0;
    }
    if (!finishOnce()) return;
    closeDownloadStreams(streams);
    operationFailedWithError(error);
    endBackgroundTask();
}

void BKNetworkOperation::operationSucceeded() {
    std::vector<ResponseBlock> blocks;
    {
        std::lock_guard lock(mutex_);
        blocks = responseBlocks_;
    }
    auto operation = self();
    for (const auto& block : blocks) block(operation);
}

void BKNetworkOperation::operationFailedWithError(const Error& error) {
    std::vector<ErrorBlock> blocks;
    {
        std::lock_guard lock(mutex_);
        error_ = error;
        blocks = errorBlocks_;
    }
    for (const auto& block : blocks) block(error);
    // The user is not looking at the application: tell them, when asked to.
    if (platform::Application::sharedApplication()->applicationState() == platform::Application::StateBackground)
        showLocalNotification();
}

void BKNetworkOperation::showLocalNotification() {
    std::shared_ptr<platform::LocalNotification> chosen;
    bool showDefault;
    std::optional<platform::Error> error;
    {
        std::lock_guard lock(mutex_);
        chosen = localNotification_;
        showDefault = shouldShowLocalNotificationOnError_;
        error = error_;
    }
    if (chosen) {
        platform::LocalNotificationCenter::presentLocalNotificationNow(*chosen);
        return;
    }
    if (!showDefault) return;
    platform::LocalNotification notification;
    notification.setAlertBody(error ? error->localizedDescription() : std::string());
    notification.setAlertAction(platform::Bundle::mainBundle()->localizedString("Dismiss", ""));
    platform::LocalNotificationCenter::presentLocalNotificationNow(notification);
}

std::shared_ptr<platform::LocalNotification> BKNetworkOperation::localNotification() const {
    std::lock_guard lock(mutex_);
    return localNotification_;
}

void BKNetworkOperation::setLocalNotification(std::shared_ptr<platform::LocalNotification> notification) {
    std::lock_guard lock(mutex_);
    localNotification_ = std::move(notification);
}

bool BKNetworkOperation::shouldShowLocalNotificationOnError() const {
    std::lock_guard lock(mutex_);
    return shouldShowLocalNotificationOnError_;
}

void BKNetworkOperation::setShouldShowLocalNotificationOnError(bool show) {
    std::lock_guard lock(mutex_);
    shouldShowLocalNotificationOnError_ = show;
}

// ---------------------------------------------------------------------------
// Results

std::string BKNetworkOperation::url() const {
    std::lock_guard lock(mutex_);
    return request_ ? request_->url().absoluteString() : std::string();
}

std::shared_ptr<platform::URLRequest> BKNetworkOperation::readonlyRequest() const {
    std::lock_guard lock(mutex_);
    return request_ ? request_->copy() : nullptr;
}

std::shared_ptr<platform::HTTPURLResponse> BKNetworkOperation::readonlyResponse() const {
    std::lock_guard lock(mutex_);
    return response_;
}

Value::Dictionary BKNetworkOperation::readonlyPostDictionary() const {
    std::lock_guard lock(mutex_);
    return fieldsToBePosted_;
}

std::string BKNetworkOperation::httpMethodOf(const platform::URLRequest& request) { return request.HTTPMethod(); }

std::string BKNetworkOperation::HTTPMethod() const {
    std::lock_guard lock(mutex_);
    return request_ ? httpMethodOf(*request_) : std::string();
}

int BKNetworkOperation::HTTPStatusCode() const {
    std::lock_guard lock(mutex_);
    return response_ ? response_->statusCode() : 0;
}

std::optional<Data> BKNetworkOperation::responseData() const {
    std::lock_guard lock(mutex_);
    if (state_ == OperationState::Finished) return mutableData_;
    return cachedResponse_;
}

std::optional<std::string> BKNetworkOperation::responseStringWithEncoding(Text::Encoding encoding) const {
    auto data = responseData();
    if (!data) return std::nullopt;
    return Text::decode(*data, encoding);
}

std::optional<std::string> BKNetworkOperation::responseString() const {
    return responseStringWithEncoding(stringEncoding());
}

std::shared_ptr<platform::Image> BKNetworkOperation::responseImage() const {
    auto data = responseData();
    if (!data) return nullptr;
    return platform::Image::imageWithData(*data);
}

std::optional<Value> BKNetworkOperation::responseJSON() const {
    auto data = responseData();
    if (!data) return std::nullopt;
    return BKJSONSerialization::JSONObjectWithData(
        std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
}

std::optional<Error> BKNetworkOperation::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

std::uint64_t BKNetworkOperation::downloadedDataSize() const {
    std::lock_guard lock(mutex_);
    return downloadedDataSize_;
}

std::int64_t BKNetworkOperation::startPosition() const {
    std::lock_guard lock(mutex_);
    return startPosition_;
}

std::optional<Data> BKNetworkOperation::cachedResponse() const {
    std::lock_guard lock(mutex_);
    return cachedResponse_;
}

std::shared_ptr<platform::URLConnection> BKNetworkOperation::connection() const {
    std::lock_guard lock(mutex_);
    return connection_;
}

platform::Application::BackgroundTaskIdentifier BKNetworkOperation::backgroundTaskId() const {
    std::lock_guard lock(mutex_);
    return backgroundTaskId_;
}

std::string BKNetworkOperation::curlCommandLineString() const {
    std::lock_guard lock(mutex_);
    const std::string method = request_->HTTPMethod();
    std::string line = "curl -X " + shellQuote(method);
    if (filesToBePosted_.empty() && dataToBePosted_.empty()) {
        for (const auto& [name, value] : request_->allHTTPHeaderFields())
            line += " -H " + shellQuote(name + ": " + (isSecretHeader(name) ? kRedacted : valueText(value)));
    }
    line += " " + shellQuote(request_->url().absoluteString());
    if (method == "POST" || method == "PUT") {
        const std::string option = filesToBePosted_.empty() ? "-d" : "-F";
        for (const auto& [key, value] : fieldsToBePosted_)
            line += " " + option + " " + shellQuote(key + "=" + (isSecretField(key) ? kRedacted : valueText(value)));
        for (const FileEntry& file : filesToBePosted_)
            line += " -F " + shellQuote(file.name + "=@" + file.filepath + ";type=" + file.mimetype);
    }
    return line;
}

std::string BKNetworkOperation::description() const {
    std::string text = Value(platform::Date::now()).description() + "\nRequest\n-------\n" + curlCommandLineString();
    if (auto response = responseString(); response && !response->empty())
        text += "\n--------\nResponse\n--------\n" + *response + "\n";
    return text;
}

// ---------------------------------------------------------------------------
// Freezing and copying

void BKNetworkOperation::encodeWithCoder(platform::KeyedArchiver& coder) const {
    std::lock_guard lock(mutex_);
    // The request as it would be sent again, without a preemptive
    // credential: the archive lies in Caches, readable by anyone who can
    // read the home folder.
    auto request = request_->copy();
    request->setValueForHTTPHeaderField(std::nullopt, "Authorization");
    request->setValueForHTTPHeaderField(std::nullopt, "Proxy-Authorization");
    request->setHTTPBodyStream(nullptr);
    if (username_ && password_ && credentialPersistence_ != platform::URLCredential::Persistence::None) {
        platform::URLCredentialStorage::sharedCredentialStorage()->setCredentialForProtectionSpace(
            platform::URLCredential(*username_, *password_, credentialPersistence_),
            credentialSpaceFor(request_->url()));
    }

    Value::Array files;
    for (const FileEntry& file : filesToBePosted_)
        files.push_back(Value::makeDictionary(
            {{"filepath", Value(file.filepath)}, {"name", Value(file.name)}, {"mimetype", Value(file.mimetype)}}));
    Value::Array datas;
    for (const DataEntry& entry : dataToBePosted_)
        datas.push_back(Value::makeDictionary(
            {{"data", Value(entry.data)}, {"name", Value(entry.name)}, {"mimetype", Value(entry.mimetype)}}));

    coder.encodeInteger(encodingNumber(stringEncoding_), "stringEncoding");
    coder.encodeObject(std::optional<Value>(Value(uniqueId_)), "uniqueId");
    coder.encodeObject(request, "request");
    coder.encodeObject(response_, "response");
    coder.encodeObject(std::optional<Value>(Value(fieldsToBePosted_)), "fieldsToBePosted");
    coder.encodeObject(std::optional<Value>(Value(std::move(files))), "filesToBePosted");
    coder.encodeObject(std::optional<Value>(Value(std::move(datas))), "dataToBePosted");
    coder.encodeObject(username_ ? std::optional<Value>(Value(*username_)) : std::nullopt, "username");
    coder.encodeObject(std::optional<Value>(Value(clientCertificate_)), "clientCertificate");
    coder.encodeInt32(static_cast<std::int32_t>(OperationState::Ready), "state");
    coder.encodeBool(isCancelled_, "isCancelled");
    coder.encodeObject(mutableData_ ? std::optional<Value>(Value(*mutableData_)) : std::nullopt, "mutableData");
    coder.encodeInt64(static_cast<std::int64_t>(downloadedDataSize_), "downloadedDataSize");
    coder.encodeInt64(startPosition_, "startPosition");
    coder.encodeInteger(static_cast<std::int64_t>(credentialPersistence_), "credentialPersistence");
}

std::shared_ptr<BKNetworkOperation> BKNetworkOperation::initWithCoder(platform::KeyedUnarchiver& coder) {
    using platform::Coding;
    auto operation = std::make_shared<BKNetworkOperation>();
    const platform::KeyedUnarchiver::ClassList plain = {
        Coding::kStringClass, Coding::kNumberClass,     Coding::kDataClass, Coding::kDateClass,
        Coding::kArrayClass,  Coding::kDictionaryClass, Coding::kNullClass};
    auto request = coder.decodeObject("request", {platform::URLRequest::kClassName});
    auto requestObject = request ? request->objectAs<platform::URLRequest>() : nullptr;
    if (!requestObject) {
        coder.failWithError(Error::withDescription(std::string(platform::KeyedUnarchiver::kErrorDomain),
                                                   platform::KeyedUnarchiver::kReadCorruptError,
                                                   "A frozen operation without its request."));
        return nullptr;
    }
    auto response = coder.decodeObject("response", {platform::HTTPURLResponse::kClassName});
    auto fields = coder.decodeObject("fieldsToBePosted", plain);
    auto files = coder.decodeObject("filesToBePosted", plain);
    auto datas = coder.decodeObject("dataToBePosted", plain);
    auto username = coder.decodeString("username");
    auto uniqueId = coder.decodeString("uniqueId");
    auto certificate = coder.decodeString("clientCertificate");
    auto mutableData = coder.decodeData("mutableData");
    const auto encoding = coder.decodeInteger("stringEncoding");
    const auto state = coder.decodeInt32("state");
    const bool cancelled = coder.decodeBool("isCancelled");
    const auto downloaded = coder.decodeInt64("downloadedDataSize");
    const auto start = coder.decodeInt64("startPosition");
    const auto persistence = coder.decodeInteger("credentialPersistence");
    if (coder.failed()) return nullptr;

    {
        std::lock_guard lock(operation->mutex_);
        operation->stringEncoding_ = encodingFromNumber(encoding);
        operation->uniqueId_ = uniqueId.value_or("");
        operation->request_ = requestObject;
        operation->response_ = response ? response->objectAs<platform::HTTPURLResponse>() : nullptr;
        if (fields && fields->isDictionary()) operation->fieldsToBePosted_ = *fields->dictionary();
        if (files && files->isArray()) {
            for (const Value& entry : *files->array()) {
                auto text = [&](const char* key) {
                    const Value* v = entry.find(key);
                    return v && v->isString() ? *v->string() : std::string();
                };
                operation->filesToBePosted_.push_back({text("filepath"), text("name"), text("mimetype")});
            }
        }
        if (datas && datas->isArray()) {
            for (const Value& entry : *datas->array()) {
                const Value* data = entry.find("data");
                const Value* name = entry.find("name");
                const Value* type = entry.find("mimetype");
                operation->dataToBePosted_.push_back({data && data->isData() ? *data->data() : Data{},
                                                      name && name->isString() ? *name->string() : std::string(),
                                                      type && type->isString() ? *type->string() : std::string()});
            }
        }
        operation->username_ = username;
        operation->clientCertificate_ = certificate.value_or("");
        operation->isCancelled_ = cancelled;
        operation->mutableData_ = mutableData;
        operation->downloadedDataSize_ = static_cast<std::uint64_t>(std::max<std::int64_t>(0, downloaded));
        operation->startPosition_ = start;
        operation->credentialPersistence_ = persistence >= 0 && persistence <= 2
                                                ? static_cast<platform::URLCredential::Persistence>(persistence)
                                                : platform::URLCredential::Persistence::ForSession;
        if (operation->request_->HTTPMethod() == "GET") operation->cacheHeaders_ = Value::Dictionary{};
        operation->acceptsBlocks_ = false;
        // The password comes back from the credential storage, if the
        // persistence chosen kept it.
        if (username) {
            auto stored = platform::URLCredentialStorage::sharedCredentialStorage()->credentialsForProtectionSpace(
                credentialSpaceFor(operation->request_->url()));
            if (auto it = stored.find(*username); it != stored.end()) operation->password_ = it->second.password();
        }
    }
    operation->setState(static_cast<OperationState>(state));
    if (cancelled) operation->platform::Operation::cancel();
    return operation;
}

void BKNetworkOperation::registerCoding() {
    platform::URLRequest::registerCoding();
    platform::URLResponse::registerCoding();
    platform::HTTPURLResponse::registerCoding();
    platform::CodingRegistry::registerClass<BKNetworkOperation>(kClassName);
}

std::shared_ptr<BKNetworkOperation> BKNetworkOperation::copy() const {
    auto operation = std::make_shared<BKNetworkOperation>();
    OperationState state;
    {
        std::lock_guard lock(mutex_);
        std::lock_guard other(operation->mutex_);
        operation->stringEncoding_ = stringEncoding_;
        operation->uniqueId_ = uniqueId_;
        operation->request_ = request_ ? request_->copy() : nullptr;
        operation->response_ = response_;
        operation->fieldsToBePosted_ = fieldsToBePosted_;
        operation->filesToBePosted_ = filesToBePosted_;
        operation->dataToBePosted_ = dataToBePosted_;
        operation->username_ = username_;
        operation->password_ = password_;
        operation->clientCertificate_ = clientCertificate_;
        operation->responseBlocks_ = responseBlocks_;
        operation->errorBlocks_ = errorBlocks_;
        operation->uploadProgressChangedHandlers_ = uploadProgressChangedHandlers_;
        operation->downloadProgressChangedHandlers_ = downloadProgressChangedHandlers_;
        operation->downloadStreams_ = downloadStreams_;
        operation->isCancelled_ = isCancelled_;
        operation->mutableData_ = mutableData_;
        operation->downloadedDataSize_ = downloadedDataSize_;
        operation->cachedResponse_ = cachedResponse_;
        operation->cacheHandlingBlock_ = cacheHandlingBlock_;
        operation->startPosition_ = startPosition_;
        operation->credentialPersistence_ = credentialPersistence_;
        operation->cacheHeaders_ = cacheHeaders_;
        operation->freezable_ = freezable_;
        operation->postDataEncoding_ = postDataEncoding_;
        operation->postDataEncodingHandler_ = postDataEncodingHandler_;
        state = state_;
    }
    operation->setState(state);
    return operation;
}

}  // namespace clipora
