#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLAuthenticationChallenge.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLConnectionDelegate.h"
#include "platform/cfnetwork/URLCredential.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Operation.h"
#include "platform/foundation/OutputStream.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/LocalNotification.h"

namespace clipora::platform {
class KeyedArchiver;
class KeyedUnarchiver;
}  // namespace clipora::platform

namespace clipora {

// One HTTP request of the block-based toolkit, run as a concurrent operation
// on the engine's shared queue. It builds its request (query or body from a
// dictionary of fields, multipart bodies, custom headers, Basic
// authorization), runs it on a URL connection scheduled on the main run
// loop, keeps the body in memory or writes it to download streams, reports
// progress, and at the end calls its completion or its error blocks, in the
// order they were added, on the main thread.
//
// Threads: the queue's thread runs start(); every connection callback and
// every block runs on the main thread; cancel() may come from any thread.
// The state is guarded by a lock and "finished" is final: whatever races
// with it (a cancel against a failure, a late callback) cannot undo it or
// announce it twice.
class BKNetworkOperation : public platform::Operation,
                           public platform::Object,
                           public platform::Coding,
                           public platform::URLConnectionDelegate {
public:
    enum class OperationState : int { Initial = 0, Ready = 1, Executing = 2, Finished = 3 };
    enum PostDataEncoding : int { UrlEncoded = 0, Json = 1, Plist = 2 };

    using ResponseBlock = std::function<void(const std::shared_ptr<BKNetworkOperation>& completedOperation)>;
    using ErrorBlock = std::function<void(const platform::Error& error)>;
    using ProgressBlock = std::function<void(double progress)>;
    using AuthBlock = std::function<void(const std::shared_ptr<platform::URLAuthenticationChallenge>& challenge)>;
    using StateChangedBlock = std::function<void(OperationState newState)>;
    using CacheBlock = std::function<void(const std::shared_ptr<BKNetworkOperation>& operation)>;
    using EncodingBlock = std::function<std::string(const platform::Value::Dictionary& fields)>;

    static constexpr const char* kClassName = "BKNetworkOperation";
    static constexpr const char* kFrozenExtension = "bknetworkfrozenoperation";
    // Multipart boundaries start with this; a random part follows so that
    // no field or file content can contain the boundary line.
    static constexpr const char* kBoundaryPrefix = "0xKhTmLbOuNdArY";
    static constexpr double kRequestTimeout = 30;
    static constexpr const char* kDefaultMimeType = "application/octet-stream";
    static constexpr double kImageExpiryWithValidators = 86400;
    static constexpr double kImageExpiryWithoutValidators = 604800;
    static constexpr double kNoCacheExpiry = 60;

    // Entries of a multipart body.
    struct FileEntry {
        std::string filepath;
        std::string name;
        std::string mimetype;
    };
    struct DataEntry {
        platform::Data data;
        std::string name;
        std::string mimetype;
    };

    // A bare operation (state 0); call initWithURLStringParamsHttpMethod.
    BKNetworkOperation();
    ~BKNetworkOperation() override;

    // Builds the request: method, URL (fields become a query for GET and
    // DELETE), "Accept-Language", the content type of a POST or PUT with
    // fields; then ready (1).
    void initWithURLStringParamsHttpMethod(const std::string& urlString,
                                           const std::optional<platform::Value::Dictionary>& params,
                                           const std::string& method);
    static std::shared_ptr<BKNetworkOperation> operationWithURLStringParamsHttpMethod(
        const std::string& urlString, const std::optional<platform::Value::Dictionary>& params,
        const std::string& method);

    // --- Configuration (before the operation starts) ---
    // Adds each value to the header of that name (joined by ", " to a value
    // already there).
    void addHeaders(const platform::Value::Dictionary& headers);
    void setUsernamePassword(const std::string& username, const std::string& password);
    // Also sends a preemptive "Authorization: Basic ..." header (one line,
    // whatever the length). `basicAuth` has no further effect.
    void setUsernamePasswordBasicAuth(const std::string& username, const std::string& password, bool basicAuth);
    void setCustomPostDataEncodingHandlerForType(EncodingBlock handler, const std::string& contentType);
    void addDataForKeyMimeType(const platform::Data& data, const std::string& key, const std::string& mimeType);
    void addDataForKey(const platform::Data& data, const std::string& key) {
        addDataForKeyMimeType(data, key, kDefaultMimeType);
    }
    void addFileForKeyMimeType(const std::string& filePath, const std::string& key, const std::string& mimeType);
    void addFileForKey(const std::string& filePath, const std::string& key) {
        addFileForKeyMimeType(filePath, key, kDefaultMimeType);
    }
    void setUploadStream(std::shared_ptr<platform::InputStream> stream);
    // From then on the body goes to the streams and is not kept in memory.
    // `destination`, when the stream writes a file, lets equal operations
    // that are merged avoid writing one file twice. The stream is scheduled
    // in the caller's run loop and opened when the response arrives.
    void addDownloadStream(std::shared_ptr<platform::OutputStream> stream,
                           std::optional<std::filesystem::path> destination = std::nullopt);
    // YES is ignored for GET: downloads are never frozen.
    void setFreezable(bool freezable);
    bool freezable() const;
    void setCacheHandler(CacheBlock handler);

    PostDataEncoding postDataEncoding() const;
    void setPostDataEncoding(PostDataEncoding encoding);
    EncodingBlock postDataEncodingHandler() const;
    void setPostDataEncodingHandler(EncodingBlock handler);
    platform::Text::Encoding stringEncoding() const;
    void setStringEncoding(platform::Text::Encoding encoding);
    std::string uniqueId() const;
    std::string username() const;
    std::string password() const;
    std::string clientCertificate() const;
    void setClientCertificate(std::string path);
    AuthBlock authHandler() const;
    void setAuthHandler(AuthBlock handler);
    StateChangedBlock operationStateChangedHandler() const;
    void setOperationStateChangedHandler(StateChangedBlock handler);
    platform::URLCredential::Persistence credentialPersistence() const;
    void setCredentialPersistence(platform::URLCredential::Persistence persistence);
    // A failure while the application is in the background is announced to
    // the user: with this notification when one is set, else, when
    // shouldShowLocalNotificationOnError, with a default one (the error's
    // text, the action "Dismiss"); otherwise not at all (the default).
    std::shared_ptr<platform::LocalNotification> localNotification() const;
    void setLocalNotification(std::shared_ptr<platform::LocalNotification> notification);
    bool shouldShowLocalNotificationOnError() const;
    void setShouldShowLocalNotificationOnError(bool show);

    // --- Handlers (kept in the order added; ignored on a thawed operation) ---
    void onCompletionOnError(ResponseBlock response, ErrorBlock error);
    void onUploadProgressChanged(ProgressBlock block);
    void onDownloadProgressChanged(ProgressBlock block);
    // Takes over the other operation's blocks and download streams (the
    // engine merging an equal operation). A stream whose destination file
    // is already written by this operation is not taken a second time.
    void updateHandlersFromOperation(const std::shared_ptr<BKNetworkOperation>& operation);

    // --- Identity and cache hooks ---
    std::string uniqueIdentifier() const;
    // GET and HEAD operations with equal unique identifiers; never any other.
    bool isEqual(const platform::Object& other) const override;
    bool isCacheable() const;
    bool isCachedResponse() const;
    // Delivers a cached body: every completion block runs now.
    void setCachedData(const platform::Data& data);
    void updateOperationBasedOnPreviousHeaders(const platform::Value::Dictionary& headers);
    void notifyCache();
    // "Expires", "Last-Modified" and "ETag" for the cache (GET only).
    platform::Value::Dictionary cacheHeaders() const;

    // --- Running ---
    bool isConcurrent() const override { return true; }
    bool isReady() const override;
    bool isExecuting() const override;
    bool isFinished() const override;
    void start() override;
    void main() override { start(); }
    // Drops every block and stream, stops the transfer; no block is called.
    // A running operation finishes at once, a queued one when started.
    void cancel() override;
    OperationState state() const;
    void setState(OperationState state);
    void endBackgroundTask();
    // Presents the operation's notification now, or the default one for its
    // error (see localNotification()), or nothing. Main thread.
    void showLocalNotification();
    bool hasDownloadStreams() const;
    // Whether the response head has arrived (download streams opened).
    bool hasReceivedResponse() const;

    // --- Request parts ---
    std::string encodedPostDataString() const;
    // The body of a POST or PUT: the encoded fields, or a multipart body
    // (which also sets "Content-Type" and "Content-Length").
    platform::Data bodyData();

    // --- Results ---
    std::string url() const;
    std::shared_ptr<platform::URLRequest> readonlyRequest() const;
    std::shared_ptr<platform::HTTPURLResponse> readonlyResponse() const;
    platform::Value::Dictionary readonlyPostDictionary() const;
    std::string HTTPMethod() const;
    int HTTPStatusCode() const;
    std::optional<platform::Data> responseData() const;
    std::optional<std::string> responseString() const;
    std::optional<std::string> responseStringWithEncoding(platform::Text::Encoding encoding) const;
    std::shared_ptr<platform::Image> responseImage() const;
    std::optional<platform::Value> responseJSON() const;
    std::optional<platform::Error> error() const;
    // Bytes received so far, plus the resume offset.
    std::uint64_t downloadedDataSize() const;
    std::int64_t startPosition() const;
    std::optional<platform::Data> cachedResponse() const;
    std::shared_ptr<platform::URLConnection> connection() const;
    platform::Application::BackgroundTaskIdentifier backgroundTaskId() const;
    // Date, the command line and the response text. Credentials redacted.
    std::string description() const override;
    // A command line that repeats the request in a POSIX shell: every
    // argument single-quoted, "Authorization", "Cookie" and password
    // fields redacted.
    std::string curlCommandLineString() const;

    // --- Freezing and copying ---
    // Writes the operation as ready. The password never goes into the
    // archive (it is left in the shared credential storage, as the
    // operation's credential persistence allows), nor does a preemptive
    // "Authorization" header; download streams are not archived.
    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<BKNetworkOperation> initWithCoder(platform::KeyedUnarchiver& coder);
    static void registerCoding();
    // A new operation with the same request, fields, credentials, blocks and
    // streams; no connection of its own.
    std::shared_ptr<BKNetworkOperation> copy() const;

    // --- URL connection delegate (main thread) ---
    std::shared_ptr<platform::URLRequest> connectionWillSendRequestRedirectResponse(
        const std::shared_ptr<platform::URLConnection>& connection,
        const std::shared_ptr<platform::URLRequest>& request,
        const std::shared_ptr<platform::HTTPURLResponse>& redirectResponse) override;
    void connectionWillSendRequestForAuthenticationChallenge(
        const std::shared_ptr<platform::URLConnection>& connection,
        const std::shared_ptr<platform::URLAuthenticationChallenge>& challenge) override;
    void connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(
        const std::shared_ptr<platform::URLConnection>& connection, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override;
    void connectionDidReceiveResponse(const std::shared_ptr<platform::URLConnection>& connection,
                                      const std::shared_ptr<platform::HTTPURLResponse>& response) override;
    void connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection,
                                  const platform::Data& data) override;
    void connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>& connection) override;
    void connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>& connection,
                                    const platform::Error& error) override;

protected:
    void operationSucceeded();
    void operationFailedWithError(const platform::Error& error);

private:
    struct DownloadStream {
        std::shared_ptr<platform::OutputStream> stream;
        std::optional<std::filesystem::path> destination;
    };

    std::shared_ptr<BKNetworkOperation> self();
    // Finished (3) unless already finished; false when it already was.
    bool finishOnce();
    // Closes the streams; download files are discarded (the destination
    // stays as it was).
    void closeDownloadStreams(const std::vector<DownloadStream>& streams);
    // Closes the streams after a successful body; download files move into
    // place. The first error of a move that failed.
    std::optional<platform::Error> commitDownloadStreams(const std::vector<DownloadStream>& streams);
    // Writes a chunk whole to one stream; the error when it cannot.
    static std::optional<platform::Error> writeFully(platform::OutputStream& stream, const platform::Data& chunk);
    // The transfer cannot go on (a stream failed): stop it and report.
    void abortWithError(const platform::Error& error);
    void fillCacheHeaders(const platform::HTTPURLResponse& response);
    bool isConditionalRequest() const;
    // Whether a user/password credential may go to this challenge's server:
    // the operation's own origin, never over plain http after https.
    bool credentialAllowedFor(const platform::URLProtectionSpace& space) const;
    void answerClientCertificate(const std::shared_ptr<platform::URLAuthenticationChallenge>& challenge);
    static std::string httpMethodOf(const platform::URLRequest& request);

    mutable std::recursive_mutex mutex_;
    OperationState state_ = OperationState::Initial;
    bool freezable_ = false;
    PostDataEncoding postDataEncoding_ = UrlEncoded;
    EncodingBlock postDataEncodingHandler_;
    platform::Text::Encoding stringEncoding_ = platform::Text::Encoding::UTF8;
    std::string uniqueId_;
    std::shared_ptr<platform::URLConnection> connection_;
    std::shared_ptr<platform::URLRequest> request_;
    std::shared_ptr<platform::HTTPURLResponse> response_;
    platform::Value::Dictionary fieldsToBePosted_;
    std::vector<FileEntry> filesToBePosted_;
    std::vector<DataEntry> dataToBePosted_;
    std::optional<std::string> username_;
    std::optional<std::string> password_;
    std::string clientCertificate_;
    AuthBlock authHandler_;
    StateChangedBlock operationStateChangedHandler_;
    std::vector<ResponseBlock> responseBlocks_;
    std::vector<ErrorBlock> errorBlocks_;
    bool isCancelled_ = false;
    std::optional<platform::Data> mutableData_;
    std::uint64_t downloadedDataSize_ = 0;
    std::vector<ProgressBlock> uploadProgressChangedHandlers_;
    std::vector<ProgressBlock> downloadProgressChangedHandlers_;
    std::vector<DownloadStream> downloadStreams_;
    std::optional<platform::Data> cachedResponse_;
    CacheBlock cacheHandlingBlock_;
    platform::URLCredential::Persistence credentialPersistence_ = platform::URLCredential::Persistence::ForSession;
    std::int64_t startPosition_ = 0;
    platform::Application::BackgroundTaskIdentifier backgroundTaskId_ = platform::Application::kBackgroundTaskInvalid;
    std::optional<platform::Value::Dictionary> cacheHeaders_;
    std::optional<platform::Error> error_;
    std::shared_ptr<platform::LocalNotification> localNotification_;
    bool shouldShowLocalNotificationOnError_ = false;
    // A thawed operation keeps no blocks.
    bool acceptsBlocks_ = true;
    bool firstChunkPending_ = false;
    bool responseReceived_ = false;
};

}  // namespace clipora
