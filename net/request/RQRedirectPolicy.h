#pragma once

#include <optional>
#include <string>

#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/URL.h"

namespace clipora {

// Which answers the request engine follows, where to, with what, and what
// stays behind when the origin changes. Pure functions, safe on any thread;
// the request applies them on its own thread.
class RQRedirectPolicy {
public:
    // Redirects followed for one request; the next one fails it (code 9).
    static constexpr int kMaximumRedirects = 5;

    // The URL a 301, 302, 303 or 307 answer sends the request to: its
    // "Location" resolved against `base`, when that names a host.
    static std::optional<platform::URL> target(int status, const std::optional<std::string>& location,
                                               const platform::URL& base);
    // Whether the redirected request keeps its method and body: always for
    // 307; for 301 and 302 only with the RFC 2616 behaviour; never for 303.
    static bool keepsMethod(int status, bool rfc2616Behaviour);
    // The headers a request that becomes a body-less GET takes along:
    // "User-Agent" and "Accept".
    static platform::HTTPHeaders headersKeptWhenBecomingGET(const platform::HTTPHeaders& headers);
    // Headers meant for one origin only, dropped when a redirect changes it.
    static void removeOriginBoundHeaders(platform::HTTPHeaders& headers);

    // URL::isSameOrigin, with a missing URL counting as the same origin.
    static bool sameOrigin(const std::optional<platform::URL>& a, const std::optional<platform::URL>& b);
};

}  // namespace clipora
