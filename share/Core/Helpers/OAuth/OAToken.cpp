#include "share/Core/Helpers/OAuth/OAToken.h"

#include "share/Core/Helpers/OAuth/OAURLEncoding.h"

namespace clipora {

OAToken OAToken::initWithHTTPResponseBody(std::string_view body) {
    OAToken token{std::string(), std::string()};
    for (auto& [name, value] : OAURLEncoding::decodePairs(body, false)) {
        if (name == "oauth_token") {
            token.setKey(value);
        } else if (name == "oauth_token_secret") {
            token.setSecret(value);
        } else if (name == "oauth_session_handle") {
            token.setSessionHandle(value);
        }
    }
    return token;
}

}  // namespace clipora
