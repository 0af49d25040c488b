#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "share/Core/SXRequest.h"
#include "share/Core/SXSharer.h"

namespace clipora {

// The base of sharers that keep a user name (or e-mail) and password from
// the login form in the keychain and mostly speak to their service with
// plain HTTPS requests: the service addresses, the request plumbing and the
// login form's outcome. Main thread only.
class SXPlainRequestSharer : public SXSharer {
public:
    using Finished = void (SXPlainRequestSharer::*)(const std::shared_ptr<SXRequest>& request);

    // The address of one of the service's endpoints: the base configured
    // under `key` (a host application, or a test, points the service
    // elsewhere) or the service's own `defaultBase`, followed by `path`.
    static std::optional<platform::URL> serviceURL(std::string_view key, std::string_view defaultBase,
                                                   std::string_view path);
    // The HTTP status of the request's reply; 0 when none came.
    static int statusOf(const std::shared_ptr<SXRequest>& request);
    // "Basic" authorization header fields for the user name and password.
    static platform::Value::Dictionary basicAuthorization(const std::string& user, const std::string& password);

protected:
    // Starts the request (kept as the sharer's `request`); `finished` is
    // called with it while the sharer lives. A missing URL finishes at once
    // without success.
    void startRequest(const std::optional<platform::URL>& url, std::optional<std::string> body,
                      const std::string& method, Finished finished, platform::Value::Dictionary headers = {});
    template <class T>
    void startRequest(const std::optional<platform::URL>& url, std::optional<std::string> body,
                      const std::string& method, void (T::*finished)(const std::shared_ptr<SXRequest>&),
                      platform::Value::Dictionary headers = {}) {
        startRequest(url, std::move(body), method, static_cast<Finished>(finished), std::move(headers));
    }

    // "Logging In..." unless quiet; the form is kept as the pending form.
    void beginLogin(const std::shared_ptr<SXFormController>& form);
    // The login's answer: the pending form saves (storing the credentials
    // and sharing again) and the login is reported, or the alert "Login
    // Error" with the message is shown and the form stays open for another
    // try (the attempt ends when the user logs in or cancels).
    void endLogin(bool success, const std::string& failureMessage);

    // The stored credential of the login form's key ("" when none).
    std::string credential(const std::string& key) const;
};

}  // namespace clipora
