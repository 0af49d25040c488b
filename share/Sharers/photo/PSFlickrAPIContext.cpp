#include "share/Sharers/photo/PSFlickrAPIContext.h"

#include "platform/foundation/Digest.h"
#include "platform/foundation/Text.h"
#include "share/Sharers/photo/PSXMLMapper.h"

namespace clipora {

using platform::Text;
using platform::Value;

namespace {

std::string stringOf(const Value& dictionary, std::string_view key) {
    const Value* value = dictionary.find(key);
    if (!value) return {};
    if (const std::string* text = value->string()) return *text;
    return value->isNull() ? std::string() : value->description();
}

bool isWebAddress(const std::string& text) {
    return Text::hasPrefix(text, "http://") || Text::hasPrefix(text, "https://");
}

}  // namespace

PSFlickrAPIContext::PSFlickrAPIContext(std::string key, std::string sharedSecret)
    : key_(std::move(key)), sharedSecret_(std::move(sharedSecret)) {}

void PSFlickrAPIContext::setPhotoSource(const std::string& source) {
    if (isWebAddress(source)) photoSource_ = source;
}

void PSFlickrAPIContext::setPhotoWebPageSource(const std::string& source) {
    if (isWebAddress(source)) photoWebPageSource_ = source;
}

std::optional<platform::URL> PSFlickrAPIContext::photoSourceURLFromDictionarySize(
    const Value& photo, const std::optional<std::string>& size) const {
    // The scheme stays the configured one; the farm goes before the host.
    const auto separator = photoSource_.find("://");
    const std::string scheme = separator == std::string::npos ? "https" : photoSource_.substr(0, separator);
    const std::string rest = separator == std::string::npos ? photoSource_ : photoSource_.substr(separator + 3);
    std::string url = scheme + "://";
    if (auto farm = stringOf(photo, "farm"); !farm.empty()) url += "farm" + farm + ".";
    url += rest;
    url += stringOf(photo, "server") + "/" + stringOf(photo, "id") + "_" + stringOf(photo, "secret");
    url += size && !size->empty() ? "_" + *size + ".jpg" : std::string(".jpg");
    return platform::URL::fromString(url);
}

std::optional<platform::URL> PSFlickrAPIContext::photoWebPageURLFromDictionary(const Value& photo) const {
    return platform::URL::fromString(photoWebPageSource_ + stringOf(photo, "owner") + "/" + stringOf(photo, "id"));
}

std::optional<platform::URL> PSFlickrAPIContext::loginURLFromFrobDictionaryRequestedPermission(
    const Value& frobReply, const std::string& permission) const {
    std::string frob;
    if (const Value* element = frobReply.find("frob")) frob = PSXMLMapper::textContent(*element);
    Arguments arguments{{"perms", permission}};
    if (!frob.empty()) arguments["frob"] = frob;
    return platform::URL::fromString(authEndpoint_ + "?" + signedQueryFromArguments(arguments));
}

PSFlickrAPIContext::Components PSFlickrAPIContext::signedArgumentComponentsFromArgumentsUseURIEscape(
    const Arguments& arguments, bool escape) const {
    Arguments all = arguments;
    if (!key_.empty()) all["api_key"] = key_;
    if (!authToken_.empty()) all["auth_token"] = authToken_;
    // The map keeps the names in ascending byte order, as the service sorts.
    std::string signature = sharedSecret_;
    Components components;
    for (const auto& [name, value] : all) {
        signature += name + value;
        components.emplace_back(name, escape ? Text::percentEscape(value) : value);
    }
    components.emplace_back("api_sig", platform::Digest::hex(platform::Digest::md5(signature)));
    return components;
}

std::string PSFlickrAPIContext::signedQueryFromArguments(const Arguments& arguments) const {
    std::string query;
    for (const auto& [name, value] : signedArgumentComponentsFromArgumentsUseURIEscape(arguments, true)) {
        if (!query.empty()) query += '&';
        query += name + "=" + value;
    }
    return query;
}

}  // namespace clipora
