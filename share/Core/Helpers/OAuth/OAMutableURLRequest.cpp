#include "share/Core/Helpers/OAuth/OAMutableURLRequest.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UUID.h"
#include "share/Core/Helpers/OAuth/OAHMAC_SHA1SignatureProvider.h"

namespace clipora {

using platform::Text;

namespace {

constexpr double kUnixToReferenceDate = 978307200;

std::string enc(std::string_view text) { return OAURLEncoding::URLEncodedString(text); }

bool usesQuery(const std::string& method) { return method == "GET" || method == "DELETE"; }

}  // namespace

OAMutableURLRequest::OAMutableURLRequest(const platform::URL& url, OAConsumer consumer, std::optional<OAToken> token,
                                         std::optional<std::string> realm,
                                         std::shared_ptr<OASignatureProviding> provider)
    : OAMutableURLRequest(
          url, std::move(consumer), std::move(token), std::move(realm), std::move(provider),
          platform::UUID::newUUIDString(),
          Text::format("%lld", static_cast<long long>(std::floor(
                                   platform::Clock::now().timeIntervalSinceReferenceDate() + kUnixToReferenceDate)))) {}

OAMutableURLRequest::OAMutableURLRequest(const platform::URL& url, OAConsumer consumer, std::optional<OAToken> token,
                                         std::optional<std::string> realm,
                                         std::shared_ptr<OASignatureProviding> provider, std::string nonce,
                                         std::string timestamp)
    : URLRequest(url, CachePolicy::ReloadIgnoringLocalCacheData, kTimeout), consumer_(std::move(consumer)),
      token_(token ? std::move(*token) : OAToken()), realm_(realm.value_or("")),
      provider_(provider ? std::move(provider) : std::make_shared<OAHMAC_SHA1SignatureProvider>()),
      nonce_(std::move(nonce)), timestamp_(std::move(timestamp)) {}

void OAMutableURLRequest::setOAuthParameterNameWithValue(const std::string& name, const std::string& value) {
    extraOAuthParameters_[name] = value;
}

std::optional<std::vector<OARequestParameter>> OAMutableURLRequest::parameters() const {
    std::string encoded;
    if (usesQuery(HTTPMethod())) {
        if (url().query()) encoded = *url().query();
    } else if (HTTPBody()) {
        encoded.assign(HTTPBody()->begin(), HTTPBody()->end());
    }
    if (encoded.empty()) return std::nullopt;
    std::vector<OARequestParameter> parameters;
    for (auto& [name, value] : OAURLEncoding::decodePairs(encoded, false)) parameters.emplace_back(name, value);
    return parameters;
}

void OAMutableURLRequest::setParameters(const std::vector<OARequestParameter>& parameters) {
    std::vector<std::string> pairs;
    for (const auto& parameter : parameters) pairs.push_back(parameter.URLEncodedNameValuePair());
    auto joined = Text::join(pairs, "&");
    if (usesQuery(HTTPMethod())) {
        if (auto target = platform::URL::fromString(OAURLEncoding::URLStringWithoutQuery(url()) + "?" + joined)) {
            setURL(*target);
        }
    } else {
        setHTTPBody(Text::toData(joined));
        setValueForHTTPHeaderField(Text::format("%d", static_cast<int>(joined.size())), "Content-Length");
        setValueForHTTPHeaderField("application/x-www-form-urlencoded", "Content-Type");
    }
}

std::string OAMutableURLRequest::signatureBaseString() const {
    std::vector<std::pair<std::string, std::string>> pairs;
    auto add = [&](std::string_view name, std::string_view value) { pairs.emplace_back(enc(name), enc(value)); };
    for (const auto& [name, value] : leadingOAuthParameters()) add(name, value);
    add("oauth_consumer_key", consumer_.key());
    add("oauth_signature_method", provider_->name());
    add("oauth_timestamp", timestamp_);
    add("oauth_nonce", nonce_);
    add("oauth_version", "1.0");
    if (!token_.key().empty()) add("oauth_token", token_.key());
    for (const auto& [name, value] : extraOAuthParameters_) add(name, value);
    // Every parameter the server sees takes part: the query's (also for a
    // POST) and a form-encoded body's; a multipart body's fields do not.
    if (url().query()) {
        for (const auto& [name, value] : OAURLEncoding::decodePairs(*url().query(), true)) add(name, value);
    }
    auto contentType = valueForHTTPHeaderField("Content-Type").value_or("");
    if (!usesQuery(HTTPMethod()) && HTTPBody() && !Text::hasPrefix(contentType, "multipart/form-data")) {
        std::string body(HTTPBody()->begin(), HTTPBody()->end());
        for (const auto& [name, value] : OAURLEncoding::decodePairs(body, true)) add(name, value);
    }
    std::sort(pairs.begin(), pairs.end());
    std::vector<std::string> joined;
    for (const auto& [name, value] : pairs) joined.push_back(name + "=" + value);
    return Text::format("%@&%@&%@", HTTPMethod(), enc(OAURLEncoding::baseStringURI(url())),
                        enc(Text::join(joined, "&")));
}

void OAMutableURLRequest::prepare() {
    if (didPrepare_) return;
    didPrepare_ = true;
    auto secret = Text::format("%@&%@", enc(consumer_.secret()), enc(token_.secret()));
    signature_ = provider_->signClearTextWithSecret(signatureBaseString(), secret);
    std::string tokenPart;
    if (!token_.key().empty()) tokenPart = Text::format("oauth_token=\"%@\", ", enc(token_.key()));
    std::string leading;
    for (const auto& [name, value] : leadingOAuthParameters())
        leading += Text::format("%@=\"%@\", ", enc(name), enc(value));
    std::string extras;
    for (const auto& [name, value] : extraOAuthParameters_)
        extras += Text::format(", %@=\"%@\"", enc(name), enc(value));
    setValueForHTTPHeaderField(
        Text::format("OAuth realm=\"%@\", %@oauth_consumer_key=\"%@\", %@oauth_signature_method=\"%@\", "
                     "oauth_signature=\"%@\", oauth_timestamp=\"%@\", oauth_nonce=\"%@\", oauth_version=\"1.0\"%@",
                     enc(realm_), leading, enc(consumer_.key()), tokenPart, enc(provider_->name()), enc(signature_),
                     timestamp_, nonce_, extras),
        "Authorization");
}

}  // namespace clipora
