#pragma once

#include <cstdint>
#include <vector>

#include "net/request/RQS3BucketObject.h"
#include "net/request/RQS3Request.h"

namespace clipora {

// A bucket: created (PUT), deleted (DELETE) or listed (GET, with prefix,
// marker, delimiter and a maximum count), optionally on a sub-resource.
class RQS3BucketRequest : public RQS3Request {
public:
    using RQS3Request::RQS3Request;
    static std::shared_ptr<RQS3BucketRequest> requestWithBucket(const std::string& bucket);
    static std::shared_ptr<RQS3BucketRequest> requestWithBucketSubResource(const std::string& bucket,
                                                                           const std::string& subResource);
    static std::shared_ptr<RQS3BucketRequest> PUTRequestWithBucket(const std::string& bucket);
    static std::shared_ptr<RQS3BucketRequest> DELETERequestWithBucket(const std::string& bucket);

    std::string bucket() const { return bucket_.get(); }
    void setBucket(std::string value) { bucket_.set(std::move(value)); }
    std::string subResource() const { return subResource_.get(); }
    void setSubResource(std::string value) { subResource_.set(std::move(value)); }
    std::string prefix() const { return prefix_.get(); }
    void setPrefix(std::string value) { prefix_.set(std::move(value)); }
    std::string marker() const { return marker_.get(); }
    void setMarker(std::string value) { marker_.set(std::move(value)); }
    std::string delimiter() const { return delimiter_.get(); }
    void setDelimiter(std::string value) { delimiter_.set(std::move(value)); }
    // Used when greater than 0.
    int maxResultCount() const { return maxResultCount_.get(); }
    void setMaxResultCount(int value) { maxResultCount_.set(value); }

    std::vector<RQS3BucketObject> objects() const { return objects_.get(); }
    std::vector<std::string> commonPrefixes() const { return commonPrefixes_.get(); }
    bool isTruncated() const { return isTruncated_.get(); }

    std::string canonicalizedResource() const override;
    void buildURL() override;

protected:
    void elementStarted(const std::string& name) override;
    void elementEnded(platform::XMLParser& parser, const std::string& name) override;
    std::shared_ptr<RQS3Request> makeEmpty(std::optional<platform::URL> url) const override {
        return std::make_shared<RQS3BucketRequest>(std::move(url));
    }
    void copyS3SettingsTo(RQS3Request& other) const override;

private:
    RQLockedProperty<std::string> bucket_{propertyMutex()};
    RQLockedProperty<std::string> subResource_{propertyMutex()};
    RQLockedProperty<std::string> prefix_{propertyMutex()};
    RQLockedProperty<std::string> marker_{propertyMutex()};
    RQLockedProperty<std::string> delimiter_{propertyMutex()};
    RQLockedProperty<int> maxResultCount_{propertyMutex(), 0};
    std::optional<RQS3BucketObject> currentObject_;
    RQLockedProperty<std::vector<RQS3BucketObject>> objects_{propertyMutex()};
    RQLockedProperty<std::vector<std::string>> commonPrefixes_{propertyMutex()};
    RQLockedProperty<bool> isTruncated_{propertyMutex(), false};
};

}  // namespace clipora
