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

    std::string bucket() const { return get(bucket_); }
    void setBucket(std::string value) { put(bucket_, std::move(value)); }
    std::string subResource() const { return get(subResource_); }
    void setSubResource(std::string value) { put(subResource_, std::move(value)); }
    std::string prefix() const { return get(prefix_); }
    void setPrefix(std::string value) { put(prefix_, std::move(value)); }
    std::string marker() const { return get(marker_); }
    void setMarker(std::string value) { put(marker_, std::move(value)); }
    std::string delimiter() const { return get(delimiter_); }
    void setDelimiter(std::string value) { put(delimiter_, std::move(value)); }
    // Used when greater than 0.
    int maxResultCount() const { return get(maxResultCount_); }
    void setMaxResultCount(int value) { put(maxResultCount_, value); }

    std::vector<RQS3BucketObject> objects() const { return get(objects_); }
    std::vector<std::string> commonPrefixes() const { return get(commonPrefixes_); }
    bool isTruncated() const { return get(isTruncated_); }

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
    std::string bucket_;
    std::string subResource_;
    std::string prefix_;
    std::string marker_;
    std::string delimiter_;
    int maxResultCount_ = 0;
    std::optional<RQS3BucketObject> currentObject_;
    std::vector<RQS3BucketObject> objects_;
    std::vector<std::string> commonPrefixes_;
    bool isTruncated_ = false;
};

}  // namespace clipora
