#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {
class HTTPURLResponse;
}

namespace clipora {

// The outcome of one exchange of the agent: status, headers, body, error.
// It can be stored in a file (Documents/tallyResponse<seconds>) and read back.
class TallyHTTPResponse {
public:
    static std::shared_ptr<TallyHTTPResponse> initWithResponseBodyError(
        const std::shared_ptr<platform::HTTPURLResponse>& response, std::optional<platform::Data> body,
        std::optional<platform::Error> error);
    static std::shared_ptr<TallyHTTPResponse> initWithBodyStatusCodeHeadersError(
        std::optional<platform::Data> body, std::int32_t statusCode, std::optional<platform::Value::Dictionary> headers,
        std::optional<platform::Error> error);
    // A stored response read from a URL (a file URL or a path); status 0 and
    // no body when it cannot be read.
    static std::shared_ptr<TallyHTTPResponse> readFromURL(const std::string& url);
    static std::string filePath(std::int64_t secondsSince1970);

    const std::optional<platform::Data>& body() const { return body_; }
    std::int32_t statusCode() const { return statusCode_; }
    const std::optional<platform::Error>& error() const { return error_; }
    const std::optional<platform::Value::Dictionary>& headers() const { return headers_; }

    // 200 to 399: a final redirect status counts as success here.
    bool isSuccess() const { return statusCode_ >= 200 && statusCode_ < 400; }
    bool isError() const { return !isSuccess(); }
    // Only a 2xx reply means the collector took the upload.
    bool isAccepted() const { return statusCode_ >= 200 && statusCode_ < 300; }
    std::string description() const;
    void saveToDisk() const;

private:
    std::optional<platform::Data> body_;
    std::int32_t statusCode_ = 0;
    std::optional<platform::Error> error_;
    std::optional<platform::Value::Dictionary> headers_;
};

}  // namespace clipora
