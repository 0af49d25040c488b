#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cfnetwork/URLRequest.h"
#include "share/Core/Helpers/OAuth/OAConsumer.h"
#include "share/Core/Helpers/OAuth/OARequestParameter.h"
#include "share/Core/Helpers/OAuth/OASignatureProviding.h"
#include "share/Core/Helpers/OAuth/OAToken.h"

namespace clipora {

// A request that signs itself (OAuth 1.0, HMAC-SHA1 by default, or
// PLAINTEXT) and writes the "Authorization" header. It is signed once, in
// prepare(); parameters changed afterwards are not signed.
//
// The signature base string follows RFC 5849 section 3.4.1: the address
// normalised (lower-case scheme and host, no default port, no query or
// fragment), the query's parameters and, for a form-encoded body, the
// body's parameters ("+" read as a blank), the oauth_ parameters (with
// oauth_version 1.0), sorted by encoded name, then encoded value.
class OAMutableURLRequest : public platform::URLRequest {
public:
    static constexpr double kTimeout = 10;

    OAMutableURLRequest(const platform::URL& url, OAConsumer consumer, std::optional<OAToken> token,
                        std::optional<std::string> realm, std::shared_ptr<OASignatureProviding> provider);
    OAMutableURLRequest(const platform::URL& url, OAConsumer consumer, std::optional<OAToken> token,
                        std::optional<std::string> realm, std::shared_ptr<OASignatureProviding> provider,
                        std::string nonce, std::string timestamp);

    static std::shared_ptr<OAMutableURLRequest> initWithURLConsumerTokenRealmSignatureProvider(
        const platform::URL& url, OAConsumer consumer, std::optional<OAToken> token, std::optional<std::string> realm,
        std::shared_ptr<OASignatureProviding> provider) {
        return std::make_shared<OAMutableURLRequest>(url, std::move(consumer), std::move(token), std::move(realm),
                                                     std::move(provider));
    }

    // An extra oauth_ parameter, carried in the header and the signature.
    void setOAuthParameterNameWithValue(const std::string& name, const std::string& value);
    void prepare();
    // The text that is signed.
    std::string signatureBaseString() const;

    // The request's own parameters: the URL query for GET and DELETE, the
    // body otherwise; none when there are none.
    std::optional<std::vector<OARequestParameter>> parameters() const;
    // Writes the parameters: into the query for GET and DELETE, otherwise as
    // a form-encoded body with its length and content type.
    void setParameters(const std::vector<OARequestParameter>& parameters);

    const OAConsumer& consumer() const { return consumer_; }
    const OAToken& token() const { return token_; }
    const std::string& realm() const { return realm_; }
    const std::string& signature() const { return signature_; }
    const std::shared_ptr<OASignatureProviding>& signatureProvider() const { return provider_; }
    const std::string& nonce() const { return nonce_; }
    const std::string& timestamp() const { return timestamp_; }
    void setTimestamp(std::string timestamp) { timestamp_ = std::move(timestamp); }
    const std::map<std::string, std::string>& extraOAuthParameters() const { return extraOAuthParameters_; }
    bool didPrepare() const { return didPrepare_; }

protected:
    // OAuth parameters a kind of request always carries (a service's
    // callback): signed like the others, and written in the header right
    // after the realm. None here.
    virtual std::vector<std::pair<std::string, std::string>> leadingOAuthParameters() const { return {}; }

private:
    OAConsumer consumer_;
    OAToken token_;
    std::string realm_;
    std::string signature_;
    std::shared_ptr<OASignatureProviding> provider_;
    std::string nonce_;
    std::string timestamp_;
    std::map<std::string, std::string> extraOAuthParameters_;
    bool didPrepare_ = false;
};

}  // namespace clipora
