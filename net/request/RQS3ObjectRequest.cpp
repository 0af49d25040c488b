#include "net/request/RQS3ObjectRequest.h"

#include "net/request/RQS3BucketObject.h"

namespace clipora {

using namespace platform;

std::shared_ptr<RQS3ObjectRequest> RQS3ObjectRequest::requestWithBucketKey(const std::string& bucket,
                                                                           const std::string& key) {
    auto request = std::make_shared<RQS3ObjectRequest>(std::nullopt);
    request->setBucket(bucket);
    request->setKey(key);
    return request;
}

std::shared_ptr<RQS3ObjectRequest> RQS3ObjectRequest::requestWithBucketKeySubResource(const std::string& bucket,
                                                                                      const std::string& key,
                                                                                      const std::string& subResource) {
    auto request = requestWithBucketKey(bucket, key);
    request->setSubResource(subResource);
    return request;
}

std::shared_ptr<RQS3ObjectRequest> RQS3ObjectRequest::PUTRequestForDataWithBucketKey(const Data& data,
                                                                                     const std::string& bucket,
                                                                                     const std::string& key) {
    auto request = requestWithBucketKey(bucket, key);
    request->appendPostData(data);
    request->setRequestMethod("PUT");
    return request;
}

std::shared_ptr<RQS3ObjectRequest> RQS3ObjectRequest::PUTRequestForFileWithBucketKey(const std::string& path,
                                                                                     const std::string& bucket,
                                                                                     const std::string& key) {
    auto request = requestWithBucketKey(bucket, key);
    request->setPostBodyFilePath(path);
    request->setShouldStreamPostDataFromDisk(true);
    request->setRequestMethod("PUT");
    request->setMimeType(mimeTypeForFileAtPath(path).value_or("application/octet-stream"));
    return request;
}

std::shared_ptr<RQS3ObjectRequest> RQS3ObjectRequest::DELETERequestWithBucketKey(const std::string& bucket,
                                                                                 const std::string& key) {
    auto request = requestWithBucketKey(bucket, key);
    request->setRequestMethod("DELETE");
    return request;
}

std::shared_ptr<RQS3ObjectRequest> RQS3ObjectRequest::HEADRequestWithBucketKey(const std::string& bucket,
                                                                               const std::string& key) {
    auto request = requestWithBucketKey(bucket, key);
    request->setRequestMethod("HEAD");
    return request;
}

std::shared_ptr<RQS3ObjectRequest> RQS3ObjectRequest::COPYRequestFromBucketKeyToBucketKey(
    const std::string& sourceBucket, const std::string& sourceKey, const std::string& bucket, const std::string& key) {
    auto request = requestWithBucketKey(bucket, key);
    request->setRequestMethod("PUT");
    request->setSourceBucket(sourceBucket);
    request->setSourceKey(sourceKey);
    return request;
}

std::string RQS3ObjectRequest::mimeType() const {
    if (auto stored = mimeType_.get(); !stored.empty()) return stored;
    if (auto file = postBodyFilePath(); !file.empty())
        return mimeTypeForFileAtPath(file).value_or("application/octet-stream");
    return "application/octet-stream";
}

void RQS3ObjectRequest::buildURL() {
    auto base = bucketAddress(bucket());
    if (!base) return;
    std::string address = *base + stringByURLEncodingForS3Path(key());
    if (!subResource().empty()) address += "?" + subResource();
    setURL(URL::fromString(address));
}

std::string RQS3ObjectRequest::canonicalizedResource() const {
    std::string resource = "/" + bucket() + stringByURLEncodingForS3Path(key());
    if (!subResource().empty()) resource += "?" + subResource();
    return resource;
}

std::map<std::string, std::string> RQS3ObjectRequest::S3Headers() const {
    auto headers = RQS3Request::S3Headers();
    if (!sourceKey().empty()) headers["x-amz-copy-source"] = sourceBucket() + stringByURLEncodingForS3Path(sourceKey());
    if (!storageClass().empty()) headers["x-amz-storage-class"] = storageClass();
    return headers;
}

std::string RQS3ObjectRequest::stringToSignForHeadersResource(const std::string& headers, const std::string& resource) {
    if (requestMethod() == "PUT" && sourceKey().empty()) {
        const std::string type = mimeType();
        addRequestHeaderValue("Content-Type", type);
        return "PUT\n\n" + type + "\n" + dateString() + "\n" + headers + resource;
    }
    return RQS3Request::stringToSignForHeadersResource(headers, resource);
}

void RQS3ObjectRequest::copyS3SettingsTo(RQS3Request& other) const {
    RQS3Request::copyS3SettingsTo(other);
    if (auto* request = dynamic_cast<RQS3ObjectRequest*>(&other)) {
        request->setBucket(bucket());
        request->setKey(key());
        request->setMimeType(mimeType_.get());
        request->setSourceBucket(sourceBucket());
        request->setSourceKey(sourceKey());
        request->setSubResource(subResource());
        request->setStorageClass(storageClass());
    }
}

std::shared_ptr<RQS3ObjectRequest> RQS3BucketObject::GETRequest() const {
    return RQS3ObjectRequest::requestWithBucketKey(bucket, key);
}

std::shared_ptr<RQS3ObjectRequest> RQS3BucketObject::PUTRequestWithFile(const std::string& path) const {
    return RQS3ObjectRequest::PUTRequestForFileWithBucketKey(path, bucket, key);
}

std::shared_ptr<RQS3ObjectRequest> RQS3BucketObject::DELETERequest() const {
    auto request = GETRequest();
    request->setRequestMethod("DELETE");
    return request;
}

}  // namespace clipora
