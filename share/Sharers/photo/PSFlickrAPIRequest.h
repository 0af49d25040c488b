#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "share/Sharers/photo/PHHTTPRequestDelegate.h"
#include "share/Sharers/photo/PSFlickrAPIContext.h"
#include "share/Sharers/photo/PSFlickrAPIRequestDelegate.h"

namespace clipora {

namespace platform {
class InputStream;
}

class PHHTTPRequest;

// One signed call or photo upload at a time to the photo service, over a
// PHHTTPRequest; the XML reply is mapped and told to the delegate. Runs on
// the run loop of the thread that starts it.
class PSFlickrAPIRequest : public PHHTTPRequestDelegate, public std::enable_shared_from_this<PSFlickrAPIRequest> {
public:
    static constexpr const char* kErrorDomain = "org.pravik.PhotoClient";
    static constexpr const char* kServiceErrorDomain = "com.flickr";
    static constexpr std::int64_t kConnectionErrorCode = 0x7fff0001;
    static constexpr std::int64_t kTimeoutErrorCode = 0x7fff0002;
    static constexpr std::int64_t kFaultyReplyErrorCode = 0x7fff0003;
    static constexpr std::int64_t kUnknownErrorCode = 0x7fff0042;
    static constexpr const char* kUploadFilePrefix = "org.pravik.PhotoClient.upload";
    static constexpr std::size_t kUploadChunkSize = 65536;

    explicit PSFlickrAPIRequest(std::shared_ptr<PSFlickrAPIContext> context);
    ~PSFlickrAPIRequest() override;
    static std::shared_ptr<PSFlickrAPIRequest> initWithAPIContext(std::shared_ptr<PSFlickrAPIContext> context);

    // True when the call started; refused while another runs.
    bool callAPIMethodWithGETArguments(const std::string& method,
                                       const std::optional<PSFlickrAPIContext::Arguments>& arguments);
    bool callAPIMethodWithPOSTArguments(const std::string& method,
                                        const std::optional<PSFlickrAPIContext::Arguments>& arguments);
    // A multipart upload of the image with the signed arguments; refused
    // while another runs and without an authentication token.
    bool uploadImageStreamSuggestedFilenameMIMETypeArguments(
        const std::shared_ptr<platform::InputStream>& imageStream, const std::optional<std::string>& filename,
        const std::string& mimeType, const std::optional<PSFlickrAPIContext::Arguments>& arguments);
    // Stops silently and removes the upload file.
    void cancel();

    const std::shared_ptr<PSFlickrAPIContext>& context() const { return context_; }
    const std::shared_ptr<PHHTTPRequest>& HTTPRequest() const { return HTTPRequest_; }
    std::shared_ptr<PSFlickrAPIRequestDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<PSFlickrAPIRequestDelegate> delegate) { delegate_ = std::move(delegate); }
    const platform::Value& sessionInfo() const { return sessionInfo_; }
    void setSessionInfo(platform::Value info) { sessionInfo_ = std::move(info); }
    const std::optional<std::string>& uploadTempFilename() const { return uploadTempFilename_; }
    double requestTimeoutInterval() const;
    void setRequestTimeoutInterval(double seconds);
    bool isRunning() const;

    void httpRequestSentBytesTotal(PHHTTPRequest& request, std::uint32_t sent, std::uint32_t total) override;
    void httpRequestDidComplete(PHHTTPRequest& request) override;
    void httpRequestDidFailWithError(PHHTTPRequest& request, const std::string& error) override;

    // A client error of the domain above with its failure reason (if any).
    static platform::Error clientError(std::int64_t code, const std::optional<std::string>& reason);

private:
    void removeUploadFile();

    std::shared_ptr<PSFlickrAPIContext> context_;
    std::shared_ptr<PHHTTPRequest> HTTPRequest_;
    std::weak_ptr<PSFlickrAPIRequestDelegate> delegate_;
    platform::Value sessionInfo_;
    std::optional<std::string> uploadTempFilename_;
};

}  // namespace clipora
