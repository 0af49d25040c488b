#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"

namespace clipora {

class SXOAuthView;

// Told how a web authorization page ended.
class SXOAuthViewDelegate {
public:
    using QueryParams = std::map<std::string, std::string>;

    virtual ~SXOAuthViewDelegate() = default;
    // The callback address was reached (success, with its query parameters
    // taken as they stand, none without a query), or the page failed.
    virtual void tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(
        const std::shared_ptr<SXOAuthView>& view, bool success, const std::optional<QueryParams>& queryParams,
        const std::optional<platform::Error>& error) = 0;
    virtual void tokenAuthorizeCancelledView(const std::shared_ptr<SXOAuthView>& view) = 0;
    // The address the service sends the browser to after authorization.
    virtual std::optional<platform::URL> authorizeCallbackURL() const = 0;
};

}  // namespace clipora
