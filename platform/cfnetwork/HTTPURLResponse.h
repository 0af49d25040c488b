#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/cfnetwork/URLResponse.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// The response of an HTTP load: status code and header fields (names match
// without regard to case and keep the sender's spelling). MIME type, text
// encoding and expected length come from "Content-Type" and
// "Content-Length"; the suggested file name also from
// "Content-Disposition". Immutable; keyed-archivable.
class HTTPURLResponse : public URLResponse {
public:
    static constexpr const char* kClassName = "HTTPURLResponse";

    HTTPURLResponse(URL url, int statusCode, std::string HTTPVersion, HTTPHeaders headers);
    // From a response head the HTTP core received for `url`. With
    // `bodyDecoded` (the connection removes a content coding) the expected
    // length is unknown (-1).
    static std::shared_ptr<HTTPURLResponse> fromMessage(const HTTPMessage& response, const URL& url,
                                                        bool bodyDecoded = false);

    int statusCode() const { return statusCode_; }
    const std::string& HTTPVersion() const { return version_; }
    const HTTPHeaders& headers() const { return headers_; }
    // Every field as name -> value text (repeated fields joined with ", ").
    Value::Dictionary allHeaderFields() const;
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const { return headers_.value(field); }

    // The reason phrase for a status ("not found" for 404), lower case.
    static std::string localizedStringForStatusCode(int statusCode);

    std::string suggestedFilename() const override;

    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override;
    static std::shared_ptr<HTTPURLResponse> initWithCoder(KeyedUnarchiver& coder);
    static void registerCoding();

    std::string description() const override;

private:
    int statusCode_;
    std::string version_;
    HTTPHeaders headers_;
};

}  // namespace clipora::platform
