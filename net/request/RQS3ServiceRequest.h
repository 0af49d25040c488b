#pragma once

#include <vector>

#include "net/request/RQS3Bucket.h"
#include "net/request/RQS3Request.h"

namespace clipora {

// Lists the account's buckets (GET on the service host).
class RQS3ServiceRequest : public RQS3Request {
public:
    using RQS3Request::RQS3Request;
    static std::shared_ptr<RQS3ServiceRequest> serviceRequest();

    std::vector<RQS3Bucket> buckets() const { return buckets_.get(); }
    std::string ownerID() const { return ownerID_.get(); }
    std::string ownerName() const { return ownerName_.get(); }

    void buildURL() override;

protected:
    void elementStarted(const std::string& name) override;
    void elementEnded(platform::XMLParser& parser, const std::string& name) override;
    std::shared_ptr<RQS3Request> makeEmpty(std::optional<platform::URL> url) const override {
        return std::make_shared<RQS3ServiceRequest>(std::move(url));
    }

private:
    RQLockedProperty<std::vector<RQS3Bucket>> buckets_{propertyMutex()};
    std::optional<RQS3Bucket> currentBucket_;
    RQLockedProperty<std::string> ownerID_{propertyMutex()};
    RQLockedProperty<std::string> ownerName_{propertyMutex()};
};

}  // namespace clipora
