#pragma once

#include "net/request/RQS3Request.h"

namespace clipora {

// One object of a bucket: read (GET), stored from data or a file (PUT),
// copied from another object (PUT with a source), deleted or inspected.
class RQS3ObjectRequest : public RQS3Request {
public:
    using RQS3Request::RQS3Request;
    static std::shared_ptr<RQS3ObjectRequest> requestWithBucketKey(const std::string& bucket, const std::string& key);
    static std::shared_ptr<RQS3ObjectRequest> requestWithBucketKeySubResource(const std::string& bucket,
                                                                              const std::string& key,
                                                                              const std::string& subResource);
    static std::shared_ptr<RQS3ObjectRequest> PUTRequestForDataWithBucketKey(const platform::Data& data,
                                                                             const std::string& bucket,
                                                                             const std::string& key);
    static std::shared_ptr<RQS3ObjectRequest> PUTRequestForFileWithBucketKey(const std::string& path,
                                                                             const std::string& bucket,
                                                                             const std::string& key);
    static std::shared_ptr<RQS3ObjectRequest> DELETERequestWithBucketKey(const std::string& bucket,
                                                                         const std::string& key);
    static std::shared_ptr<RQS3ObjectRequest> HEADRequestWithBucketKey(const std::string& bucket, const std::string& key);
    static std::shared_ptr<RQS3ObjectRequest> COPYRequestFromBucketKeyToBucketKey(const std::string& sourceBucket,
                                                                                  const std::string& sourceKey,
                                                                                  const std::string& bucket,
                                                                                  const std::string& key);

    std::string bucket() const { return get(bucket_); }
    void setBucket(std::string value) { put(bucket_, std::move(value)); }
    std::string key() const { return get(key_); }
    void setKey(std::string value) { put(key_, std::move(value)); }
    std::string sourceBucket() const { return get(sourceBucket_); }
    void setSourceBucket(std::string value) { put(sourceBucket_, std::move(value)); }
    std::string sourceKey() const { return get(sourceKey_); }
    void setSourceKey(std::string value) { put(sourceKey_, std::move(value)); }
    // The stored type; else the body file's type; else "application/octet-stream".
    std::string mimeType() const;
    void setMimeType(std::string value) { put(mimeType_, std::move(value)); }
    std::string subResource() const { return get(subResource_); }
    void setSubResource(std::string value) { put(subResource_, std::move(value)); }
    std::string storageClass() const { return get(storageClass_); }
    void setStorageClass(std::string value) { put(storageClass_, std::move(value)); }

    void buildURL() override;
    std::string canonicalizedResource() const override;
    std::map<std::string, std::string> S3Headers() const override;
    std::string stringToSignForHeadersResource(const std::string& headers, const std::string& resource) override;

protected:
    std::shared_ptr<RQS3Request> makeEmpty(std::optional<platform::URL> url) const override {
        return std::make_shared<RQS3ObjectRequest>(std::move(url));
    }
    void copyS3SettingsTo(RQS3Request& other) const override;

private:
    std::string bucket_;
    std::string key_;
    std::string sourceBucket_;
    std::string sourceKey_;
    std::string mimeType_;
    std::string subResource_;
    std::string storageClass_;
};

}  // namespace clipora
