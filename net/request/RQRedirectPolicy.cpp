#include "net/request/RQRedirectPolicy.h"

#include "platform/foundation/Text.h"

namespace clipora {

using platform::Text;
using platform::URL;

std::optional<URL> RQRedirectPolicy::target(int status, const std::optional<std::string>& location, const URL& base) {
    if (!location || (status != 301 && status != 302 && status != 303 && status != 307)) return std::nullopt;
    auto resolved = URL::fromString(*location, base);
    if (!resolved || !resolved->hasAuthority()) return std::nullopt;
    return URL::fromString(resolved->absoluteString());
}

bool RQRedirectPolicy::keepsMethod(int status, bool rfc2616Behaviour) {
    return status == 307 || (rfc2616Behaviour && status != 303);
}

platform::HTTPHeaders RQRedirectPolicy::headersKeptWhenBecomingGET(const platform::HTTPHeaders& headers) {
    platform::HTTPHeaders kept;
    if (auto agent = headers.value("User-Agent")) kept.set("User-Agent", *agent);
    if (auto accept = headers.value("Accept")) kept.set("Accept", *accept);
    return kept;
}

void RQRedirectPolicy::removeOriginBoundHeaders(platform::HTTPHeaders& headers) {
    headers.remove("Authorization");
    headers.remove("Cookie");
}

bool RQRedirectPolicy::sameOrigin(const std::optional<URL>& a, const std::optional<URL>& b) {
    return !a || !b || a->isSameOrigin(*b);
}

}  // namespace clipora
