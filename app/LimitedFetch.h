#pragma once

#include <cstddef>
#include <memory>
#include <optional>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora {

// A synchronous load with a ceiling on the body, for the few places that read
// a whole remote document on a worker thread (the versions list, the link
// shortener). It runs the calling thread's run loop in a private mode until
// the load ends; a body announced or received beyond the ceiling stops the
// load with an error instead of growing without bound.
class LimitedFetch {
public:
    // The domain and code of the "body too large" failure.
    static constexpr const char* kErrorDomain = "LimitedFetchErrorDomain";
    static constexpr std::int64_t kErrorBodyTooLarge = 1;

    struct Result {
        // The body of the final response (also for an HTTP error status).
        std::optional<platform::Data> body;
        std::shared_ptr<platform::HTTPURLResponse> response;
        std::optional<platform::Error> error;

        int statusCode() const { return response ? response->statusCode() : 0; }
    };

    LimitedFetch() = delete;

    static Result fetch(const platform::URLRequest& request, std::size_t maxBodyBytes);
};

}  // namespace clipora
