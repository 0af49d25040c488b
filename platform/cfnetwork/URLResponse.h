#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"

namespace clipora::platform {

class KeyedUnarchiver;

// What a URL load answered, apart from its body: the URL, the MIME type,
// the expected length and the text encoding name. Immutable; shared as
// std::shared_ptr. HTTPURLResponse adds the HTTP status and header fields.
class URLResponse : public Object, public Coding {
public:
    static constexpr const char* kClassName = "URLResponse";

    // `expectedContentLength` -1 when unknown.
    URLResponse(URL url, std::optional<std::string> MIMEType, std::int64_t expectedContentLength,
                std::optional<std::string> textEncodingName);

    const URL& url() const { return url_; }
    // Lower case, without parameters ("text/html").
    const std::optional<std::string>& MIMEType() const { return mimeType_; }
    // Body bytes the response announced, -1 when unknown (also when the
    // connection decodes a compressed body, whose decoded size nobody
    // announced).
    std::int64_t expectedContentLength() const { return expectedContentLength_; }
    // The "charset" of the content type, lower case ("utf-8").
    const std::optional<std::string>& textEncodingName() const { return textEncodingName_; }
    // A file name for the body: the URL's last path component, or its host,
    // or "Unknown"; never containing '/'.
    virtual std::string suggestedFilename() const;

    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override;
    static std::shared_ptr<URLResponse> initWithCoder(KeyedUnarchiver& coder);
    static void registerCoding();

    std::string description() const override;

protected:
    URL url_;
    std::optional<std::string> mimeType_;
    std::int64_t expectedContentLength_;
    std::optional<std::string> textEncodingName_;
};

}  // namespace clipora::platform
