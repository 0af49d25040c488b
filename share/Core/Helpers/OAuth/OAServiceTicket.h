#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace clipora {

namespace platform {
class HTTPURLResponse;
}

class OAMutableURLRequest;

// The result of a signed exchange: the request, the response (when there
// was one), the reply bytes and whether it succeeded (status below 400).
class OAServiceTicket {
public:
    OAServiceTicket(std::shared_ptr<OAMutableURLRequest> request, std::shared_ptr<platform::HTTPURLResponse> response,
                    std::optional<platform::Data> data, bool didSucceed)
        : request_(std::move(request)), response_(std::move(response)), data_(std::move(data)),
          didSucceed_(didSucceed) {}

    const std::shared_ptr<OAMutableURLRequest>& request() const { return request_; }
    const std::shared_ptr<platform::HTTPURLResponse>& response() const { return response_; }
    const std::optional<platform::Data>& data() const { return data_; }
    bool didSucceed() const { return didSucceed_; }
    // The reply as UTF-8 text; none without data.
    std::optional<std::string> body() const {
        if (!data_) return std::nullopt;
        return std::string(data_->begin(), data_->end());
    }

private:
    std::shared_ptr<OAMutableURLRequest> request_;
    std::shared_ptr<platform::HTTPURLResponse> response_;
    std::optional<platform::Data> data_;
    bool didSucceed_;
};

}  // namespace clipora
