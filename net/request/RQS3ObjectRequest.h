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
    static std::shared_ptr<RQS3ObjectRequest> HEADRequestWithBucketKey(const std::string& bucket,
                                                                       const std::string& key);
    static std::shared_ptr<RQS3ObjectRequest> COPYRequestFromBucketKeyToBucketKey(const std::string& sourceBucket,
                                                                                  const std::string& sourceKey,
                                                                                  const std::string& bucket,
                                                                                  const std::string& key);

    std::string bucket() const { return bucket_.get(); }
    void setBucket(std::string value) { bucket_.set(std::move(value)); }
    std::string key() const { return key_.get(); }
    void setKey(std::string value) { key_.set(std::move(value)); }
    std::string sourceBucket() const { return sourceBucket_.get(); }
    void setSourceBucket(std::string value) { sourceBucket_.set(std::move(value)); }
    std::string sourceKey() const { return sourceKey_.get(); }
    void setSourceKey(std::string value) { sourceKey_.set(std::move(value)); }
    // The stored type; else the body file's type; else "application/octet-stream".
    std::string mimeType() const;
    void setMimeType(std::string value) { mimeType_.set(std::move(value)); }
    std::string subResource() const { return subResource_.get(); }
    void setSubResource(std::string value) { subResource_.set(std::move(value)); }
    std::string storageClass() const { return storageClass_.get(); }
    void setStorageClass(std::string value) { storageClass_.set(std::move(value)); }

    void buildURL() override;
    std::string canonicalizedResource() const override;
    std::map<std::string, std::string> S3Headers() const override;
    std::string stringToSignForHeadersResource(const std::string& headers, const std::string& resource) override;

protected:
    // A copy's result and a sub-resource (such as "acl") are the service's
    // documents; any other successful reply is the object itself.
    bool successReplyIsDocument() const override { return !sourceKey().empty() || !subResource().empty(); }
    std::shared_ptr<RQS3Request> makeEmpty(std::optional<platform::URL> url) const override {
        return std::make_shared<RQS3ObjectRequest>(std::move(url));
    }
    void copyS3SettingsTo(RQS3Request& other) const override;

private:
    RQLockedProperty<std::string> bucket_{propertyMutex()};
    RQLockedProperty<std::string> key_{propertyMutex()};
    RQLockedProperty<std::string> sourceBucket_{propertyMutex()};
    RQLockedProperty<std::string> sourceKey_{propertyMutex()};
    RQLockedProperty<std::string> mimeType_{propertyMutex()};
    RQLockedProperty<std::string> subResource_{propertyMutex()};
    RQLockedProperty<std::string> storageClass_{propertyMutex()};
};

}  // namespace clipora
