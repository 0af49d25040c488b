#include "platform/cfnetwork/HTTPAuthentication.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

bool isTokenChar(char c) {
    if (static_cast<unsigned char>(c) <= 32 || static_cast<unsigned char>(c) >= 127) return false;
    return std::string_view("()<>@,;:\\\"/[]?={}").find(c) == std::string_view::npos;
}

bool isToken68Char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' || c == '~' || c == '+' ||
           c == '/';
}

void skipSpaces(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
}

std::string readToken(std::string_view text, std::size_t& pos) {
    std::size_t start = pos;
    while (pos < text.size() && isTokenChar(text[pos])) ++pos;
    return std::string(text.substr(start, pos - start));
}

// A quoted string at `pos` (on the opening quote); std::nullopt when it
// does not end.
std::optional<std::string> readQuoted(std::string_view text, std::size_t& pos) {
    std::string value;
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '\\' && pos + 1 < text.size()) {
            value += text[++pos];
        } else if (c == '"') {
            ++pos;
            return value;
        } else {
            value += c;
        }
    }
    return std::nullopt;
}

// Quotes a value for a Digest field.
std::string quoted(std::string_view value) {
    std::string text = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') text += '\\';
        text += c;
    }
    return text + "\"";
}

struct Registry {
    struct Entry {
        const HTTPMessage* key;
        std::weak_ptr<HTTPMessage> request;
        std::weak_ptr<HTTPAuthentication> authentication;
    };
    std::mutex mutex;
    std::vector<Entry> entries;

    static Registry& instance() {
        static auto* registry = new Registry();
        return *registry;
    }

    void add(const std::shared_ptr<HTTPMessage>& request, const std::shared_ptr<HTTPAuthentication>& auth) {
        std::lock_guard lock(mutex);
        std::erase_if(entries, [](const Entry& e) { return e.request.expired() || e.authentication.expired(); });
        entries.push_back({request.get(), request, auth});
    }

    std::vector<std::shared_ptr<HTTPAuthentication>> signersOf(const std::shared_ptr<HTTPMessage>& request) {
        std::lock_guard lock(mutex);
        std::vector<std::shared_ptr<HTTPAuthentication>> signers;
        for (const Entry& entry : entries) {
            if (entry.key != request.get() || entry.request.lock() != request) continue;
            if (auto auth = entry.authentication.lock()) signers.push_back(std::move(auth));
        }
        return signers;
    }
};

const char* fieldNameFor(bool proxy, bool challenge) {
    if (challenge) return proxy ? "Proxy-Authenticate" : "WWW-Authenticate";
    return proxy ? "Proxy-Authorization" : "Authorization";
}

}  // namespace

std::vector<HTTPAuthentication::Challenge> HTTPAuthentication::parseChallenges(std::string_view text) {
    std::vector<Challenge> challenges;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == ',')) ++pos;
        if (pos >= text.size()) break;
        std::string scheme = readToken(text, pos);
        if (scheme.empty()) {
            // Not a challenge: skip to the next comma.
            while (pos < text.size() && text[pos] != ',') ++pos;
            continue;
        }
        Challenge challenge;
        challenge.scheme = scheme;
        bool first = true;
        for (;;) {
            std::size_t mark = pos;
            skipSpaces(text, pos);
            if (!first) {
                if (pos >= text.size() || text[pos] != ',') break;
                while (pos < text.size() && (text[pos] == ',' || text[pos] == ' ' || text[pos] == '\t')) ++pos;
            }
            std::size_t paramStart = pos;
            std::string name = readToken(text, pos);
            skipSpaces(text, pos);
            // A parameter has a value after its '=' (a token or a quoted
            // string); "abc=" at the end is a token68 instead.
            bool isParam = false;
            if (!name.empty() && pos < text.size() && text[pos] == '=') {
                std::size_t value = pos + 1;
                skipSpaces(text, value);
                isParam = value < text.size() && (text[value] == '"' || isTokenChar(text[value])) && text[value] != '=';
            }
            if (isParam) {
                ++pos;
                skipSpaces(text, pos);
                std::string value;
                if (pos < text.size() && text[pos] == '"') {
                    auto q = readQuoted(text, pos);
                    if (!q) return challenges;  // unterminated: stop here
                    value = *q;
                } else {
                    value = readToken(text, pos);
                }
                challenge.parameters[Text::lowercase(name)] = value;
                first = false;
                continue;
            }
            if (first && paramStart < text.size() && isToken68Char(text[paramStart])) {
                pos = paramStart;
                std::size_t start = pos;
                while (pos < text.size() && isToken68Char(text[pos])) ++pos;
                while (pos < text.size() && text[pos] == '=') ++pos;
                challenge.token68 = std::string(text.substr(start, pos - start));
                first = false;
                continue;
            }
            // The next challenge begins here (or nothing usable follows).
            pos = first ? mark : paramStart;
            break;
        }
        challenges.push_back(std::move(challenge));
    }
    return challenges;
}

std::optional<HTTPAuthentication::Algorithm> HTTPAuthentication::digestAlgorithm(const Challenge& challenge) {
    auto it = challenge.parameters.find("algorithm");
    if (it == challenge.parameters.end()) return Algorithm::MD5;
    std::string name = Text::uppercase(it->second);
    if (name == "MD5") return Algorithm::MD5;
    if (name == "MD5-SESS") return Algorithm::MD5Session;
    if (name == "SHA-256") return Algorithm::SHA256;
    if (name == "SHA-256-SESS") return Algorithm::SHA256Session;
    return std::nullopt;
}

bool HTTPAuthentication::isSupported(const Challenge& challenge) {
    if (Text::equalsCaseInsensitive(challenge.scheme, kSchemeBasic)) return true;
    if (Text::equalsCaseInsensitive(challenge.scheme, kSchemeNTLM)) return true;
    if (!Text::equalsCaseInsensitive(challenge.scheme, kSchemeDigest)) return false;
    if (!challenge.parameters.count("nonce") || !digestAlgorithm(challenge)) return false;
    // Only qop=auth is spoken; a server that insists on auth-int alone is
    // not answered.
    if (auto qop = challenge.parameters.find("qop"); qop != challenge.parameters.end()) {
        bool hasAuth = false;
        for (const std::string& option : Text::split(qop->second, ","))
            if (Text::equalsCaseInsensitive(Text::trimSpacesAndTabs(option), "auth")) hasAuth = true;
        if (!hasAuth) return false;
    }
    return true;
}

std::shared_ptr<HTTPAuthentication> HTTPAuthentication::createFromResponse(const HTTPMessage& response) {
    if (response.isRequest()) return nullptr;
    int status = response.responseStatusCode();
    if (status != 401 && status != 407) return nullptr;
    bool proxy = status == 407;
    auto field = response.headerFieldValue(fieldNameFor(proxy, true));
    if (!field) return nullptr;
    auto rank = [](const Challenge& challenge) {
        if (Text::equalsCaseInsensitive(challenge.scheme, kSchemeDigest)) return 3;
        if (Text::equalsCaseInsensitive(challenge.scheme, kSchemeNTLM)) return 2;
        return 1;
    };
    std::optional<Challenge> best;
    for (Challenge& challenge : parseChallenges(*field)) {
        if (!isSupported(challenge)) continue;
        if (!best || rank(challenge) > rank(*best)) best = std::move(challenge);
    }
    if (!best) return nullptr;
    return std::make_shared<HTTPAuthentication>(Passkey{}, proxy, std::move(*best));
}

HTTPAuthentication::HTTPAuthentication(Passkey, bool proxy, Challenge challenge)
    : proxy_(proxy), scheme_(Text::equalsCaseInsensitive(challenge.scheme, kSchemeDigest) ? Scheme::Digest
                             : Text::equalsCaseInsensitive(challenge.scheme, kSchemeNTLM) ? Scheme::NTLM
                                                                                          : Scheme::Basic),
      challenge_(std::move(challenge)) {
    if (scheme_ == Scheme::Digest) algorithm_ = digestAlgorithm(challenge_);
}

std::string HTTPAuthentication::method() const {
    switch (scheme_) {
    case Scheme::Digest: return std::string(kSchemeDigest);
    case Scheme::NTLM: return std::string(kSchemeNTLM);
    case Scheme::Basic: break;
    }
    return std::string(kSchemeBasic);
}

bool HTTPAuthentication::awaitsNTLMAnswer() const {
    std::lock_guard lock(mutex_);
    return scheme_ == Scheme::NTLM && ntlmStep_ == NTLMStep::Challenged && !invalidError_;
}

std::optional<std::string> HTTPAuthentication::realm() const {
    std::lock_guard lock(mutex_);
    if (scheme_ == Scheme::NTLM) return std::nullopt;
    auto it = challenge_.parameters.find("realm");
    if (it == challenge_.parameters.end()) return std::nullopt;
    return it->second;
}

bool HTTPAuthentication::isValid(std::optional<Error>* error) const {
    std::lock_guard lock(mutex_);
    if (error) *error = invalidError_;
    return !invalidError_;
}

void HTTPAuthentication::setClientNonceForTesting(std::string cnonce) {
    std::lock_guard lock(mutex_);
    fixedClientNonce_ = std::move(cnonce);
}

std::string HTTPAuthentication::hash(std::string_view text) const {
    bool sha = algorithm_ == Algorithm::SHA256 || algorithm_ == Algorithm::SHA256Session;
    Data digest = sha ? Digest::sha256(text) : Digest::md5(text);
    return Digest::hex(digest);
}

std::string HTTPAuthentication::digestTarget(const HTTPMessage& request) const {
    // A proxy sees plain-http requests in absolute form and https ones as
    // the CONNECT's "host:port".
    if (proxy_) {
        if (request.isSecure()) {
            std::string host = request.requestURL().host();
            if (host.find(':') != std::string::npos) host = "[" + host + "]";
            return host + ":" + std::to_string(request.port());
        }
        return request.requestTarget(true);
    }
    return request.requestTarget(false);
}

// Called with mutex_ held.
std::string HTTPAuthentication::digestField(const HTTPMessage& request, const std::string& user,
                                            const std::string& password) {
    const auto& params = challenge_.parameters;
    auto param = [&](const char* name) -> std::optional<std::string> {
        auto it = params.find(name);
        return it == params.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    std::string realm = param("realm").value_or("");
    std::string nonce = param("nonce").value_or("");
    bool useQop = params.count("qop") > 0;
    std::string cnonce = fixedClientNonce_ ? *fixedClientNonce_ : Digest::hex(Digest::randomBytes(16));
    char nc[9];
    std::snprintf(nc, sizeof nc, "%08x", ++nonceCount_);
    std::string uri = digestTarget(request);

    std::string ha1 = hash(user + ":" + realm + ":" + password);
    if (algorithm_ == Algorithm::MD5Session || algorithm_ == Algorithm::SHA256Session)
        ha1 = hash(ha1 + ":" + nonce + ":" + cnonce);
    std::string ha2 = hash(request.requestMethod() + ":" + uri);
    std::string response = useQop ? hash(ha1 + ":" + nonce + ":" + nc + ":" + cnonce + ":auth:" + ha2)
                                  : hash(ha1 + ":" + nonce + ":" + ha2);

    bool userhash = Text::equalsCaseInsensitive(param("userhash").value_or(""), "true");
    std::string userField = userhash ? hash(user + ":" + realm) : user;
    auto algorithmParam = param("algorithm");

    std::string value = "Digest username=" + quoted(userField) + ", realm=" + quoted(realm) + ", uri=" + quoted(uri);
    if (algorithmParam) value += ", algorithm=" + *algorithmParam;
    value += ", nonce=" + quoted(nonce);
    if (useQop) value += ", nc=" + std::string(nc) + ", cnonce=" + quoted(cnonce) + ", qop=auth";
    value += ", response=" + quoted(response);
    if (auto opaque = param("opaque")) value += ", opaque=" + quoted(*opaque);
    if (userhash) value += ", userhash=true";
    return value;
}

// Called with mutex_ held. The negotiate message opens a handshake; once
// the server's challenge is in, the authenticate message answers it.
std::optional<std::string> HTTPAuthentication::ntlmField(const std::string& user, const std::string& password,
                                                         const std::string& domain) {
    if (ntlmStep_ == NTLMStep::Challenged && ntlmChallenge_) {
        const Data clientChallenge = Digest::randomBytes(8);
        auto message = NTLM::authenticateMessage(*ntlmChallenge_, {user, domain, password, ""},
                                                 std::span<const std::uint8_t, 8>(clientChallenge.data(), 8),
                                                 NTLM::currentFileTime());
        if (!message) return std::nullopt;
        ntlmStep_ = NTLMStep::AuthenticateSent;
        return "NTLM " + Base64::encode(*message);
    }
    ntlmChallenge_.reset();
    ntlmStep_ = NTLMStep::NegotiateSent;
    return "NTLM " + Base64::encode(NTLM::negotiateMessage());
}

bool HTTPAuthentication::applyCredentials(const std::shared_ptr<HTTPMessage>& request,
                                          const Value::Dictionary& credentials, std::optional<Error>* error) {
    auto user = credentials.find(kCredentialUsername);
    auto password = credentials.find(kCredentialPassword);
    if (user == credentials.end() || password == credentials.end() || !user->second.string() ||
        !password->second.string()) {
        if (error)
            *error = HTTPStreamError::network(HTTPStreamError::kAuthenticationBadUserName,
                                              "The credentials lack a user name or a password");
        return false;
    }
    std::optional<std::string> domain;
    if (auto it = credentials.find(kCredentialAccountDomain); it != credentials.end() && it->second.string())
        domain = *it->second.string();
    return applyCredentials(request, *user->second.string(), *password->second.string(), error, domain);
}

bool HTTPAuthentication::applyCredentials(const std::shared_ptr<HTTPMessage>& request, const std::string& user,
                                          const std::string& password, std::optional<Error>* error,
                                          const std::optional<std::string>& domain) {
    if (!request || !request->isRequest()) {
        if (error) *error = HTTPStreamError::network(HTTPStreamError::kParseFailure, "Not a request message");
        return false;
    }
    std::string value;
    {
        std::lock_guard lock(mutex_);
        if (invalidError_) {
            if (error) *error = invalidError_;
            return false;
        }
        lastUser_ = user;
        switch (scheme_) {
        case Scheme::Basic: value = "Basic " + Base64::encode(user + ":" + password); break;
        case Scheme::Digest: value = digestField(*request, user, password); break;
        case Scheme::NTLM: {
            std::string ntlmUser = user;
            std::string ntlmDomain = domain.value_or("");
            if (ntlmDomain.empty()) {
                if (auto parts = Text::split(user, "\\"); parts.size() == 2) {
                    ntlmDomain = parts[0];
                    ntlmUser = parts[1];
                }
            }
            auto field = ntlmField(ntlmUser, password, ntlmDomain);
            if (!field) {
                // Starting over would only bring the same challenge
                // back: the handshake ends here.
                invalidError_ = HTTPStreamError::network(HTTPStreamError::kAuthenticationBadUserName,
                                                         "The user name or domain cannot be sent by NTLM");
                if (error) *error = invalidError_;
                return false;
            }
            value = std::move(*field);
            break;
        }
        }
    }
    if (!request->setHeaderFieldValue(fieldNameFor(proxy_, false), value)) {
        if (error)
            *error = HTTPStreamError::network(HTTPStreamError::kAuthenticationBadUserName,
                                              "The user name or password cannot be carried in a header field");
        return false;
    }
    Registry::instance().add(request, shared_from_this());
    return true;
}

void HTTPAuthentication::noteResponse(const std::shared_ptr<HTTPMessage>& request, const HTTPMessage& response) {
    if (!request) return;
    for (const auto& auth : Registry::instance().signersOf(request)) auth->responseArrived(response);
}

void HTTPAuthentication::responseArrived(const HTTPMessage& response) {
    std::lock_guard lock(mutex_);
    int status = response.responseStatusCode();
    if (status != (proxy_ ? 407 : 401)) {
        // The credentials got through: a later stale nonce may be renewed
        // again, and a later NTLM signature begins a new handshake.
        staleRefreshUsed_ = false;
        ntlmStep_ = NTLMStep::Start;
        ntlmChallenge_.reset();
        return;
    }
    if (invalidError_) return;
    auto field = response.headerFieldValue(fieldNameFor(proxy_, true));
    std::vector<Challenge> challenges = field ? parseChallenges(*field) : std::vector<Challenge>{};
    auto same = std::find_if(challenges.begin(), challenges.end(), [&](const Challenge& c) {
        return Text::equalsCaseInsensitive(c.scheme, challenge_.scheme) && isSupported(c);
    });
    if (same == challenges.end()) {
        invalidError_ = HTTPStreamError::network(HTTPStreamError::kAuthenticationTypeUnsupported,
                                                 "The server no longer offers the authentication scheme");
        return;
    }
    if (scheme_ == Scheme::NTLM) return ntlmResponseArrived(*same);
    auto stale = same->parameters.find("stale");
    if (algorithm_ && stale != same->parameters.end() && Text::equalsCaseInsensitive(stale->second, "true") &&
        !staleRefreshUsed_) {
        // Only the nonce expired: take the new one and go on.
        staleRefreshUsed_ = true;
        challenge_ = *same;
        algorithm_ = digestAlgorithm(challenge_);
        nonceCount_ = 0;
        return;
    }
    invalidError_ = refusalError();
}

Error HTTPAuthentication::refusalError() const {
    return lastUser_.empty()
               ? HTTPStreamError::network(HTTPStreamError::kAuthenticationBadUserName, "The user name was not accepted")
               : HTTPStreamError::network(HTTPStreamError::kAuthenticationBadPassword,
                                          "The user name or password was not accepted");
}

// Called with mutex_ held, for a 401/407 that still offers NTLM.
void HTTPAuthentication::ntlmResponseArrived(const Challenge& challenge) {
    const bool expectingChallenge = ntlmStep_ == NTLMStep::NegotiateSent;
    ntlmStep_ = NTLMStep::Start;
    ntlmChallenge_.reset();
    if (expectingChallenge && !challenge.token68.empty()) {
        auto bytes = Base64::decode(challenge.token68);
        auto parsed = bytes ? NTLM::parseChallenge(*bytes) : std::nullopt;
        if (!parsed) {
            invalidError_ = HTTPStreamError::network(HTTPStreamError::kAuthenticationTypeUnsupported,
                                                     "The server's NTLM challenge cannot be read");
        } else if (parsed->targetInfo.empty() && !(parsed->flags & NTLM::kNegotiateExtendedSessionSecurity)) {
            invalidError_ = HTTPStreamError::network(HTTPStreamError::kAuthenticationTypeUnsupported,
                                                     "The server accepts only NTLM responses that are not safe");
        } else {
            ntlmChallenge_ = std::move(parsed);
            ntlmStep_ = NTLMStep::Challenged;
        }
        return;
    }
    invalidError_ = refusalError();
}

}  // namespace clipora::platform
