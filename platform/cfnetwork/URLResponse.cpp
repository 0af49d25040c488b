#include "platform/cfnetwork/URLResponse.h"

#include <utility>

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace clipora::platform {

namespace {

const bool gRegistered = [] {
    URLResponse::registerCoding();
    return true;
}();

}  // namespace

URLResponse::URLResponse(URL url, std::optional<std::string> MIMEType, std::int64_t expectedContentLength,
                         std::optional<std::string> textEncodingName)
    : url_(std::move(url)), mimeType_(std::move(MIMEType)), expectedContentLength_(expectedContentLength),
      textEncodingName_(std::move(textEncodingName)) {}

std::string URLResponse::suggestedFilename() const {
    std::string name = url_.lastPathComponent();
    if (name.empty() || name == "/") name = url_.host();
    for (char& c : name)
        if (c == '/' || c == '\\' || c == '\0') c = '_';
    return name.empty() ? std::string("Unknown") : name;
}

void URLResponse::encodeWithCoder(KeyedArchiver& coder) const {
    coder.encodeObject(Value(url_.absoluteString()), "URL");
    if (mimeType_) coder.encodeObject(Value(*mimeType_), "MIMEType");
    coder.encodeInt64(expectedContentLength_, "expectedContentLength");
    if (textEncodingName_) coder.encodeObject(Value(*textEncodingName_), "textEncodingName");
}

std::shared_ptr<URLResponse> URLResponse::initWithCoder(KeyedUnarchiver& coder) {
    auto text = coder.decodeString("URL");
    std::optional<URL> url = text ? URL::fromString(*text) : std::nullopt;
    if (!url) return nullptr;
    return std::make_shared<URLResponse>(*url, coder.decodeString("MIMEType"),
                                         coder.decodeInt64("expectedContentLength"),
                                         coder.decodeString("textEncodingName"));
}

void URLResponse::registerCoding() { CodingRegistry::registerClass<URLResponse>(kClassName); }

std::string URLResponse::description() const {
    return "<URLResponse " + url_.absoluteString() + " " + mimeType_.value_or("?") + " " +
           std::to_string(expectedContentLength_) + ">";
}

}  // namespace clipora::platform
