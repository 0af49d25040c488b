#include "net/request/RQS3BucketRequest.h"

#include "platform/foundation/Text.h"

namespace clipora {

using namespace platform;

std::shared_ptr<RQS3BucketRequest> RQS3BucketRequest::requestWithBucket(const std::string& bucket) {
    auto request = std::make_shared<RQS3BucketRequest>(std::nullopt);
    request->setBucket(bucket);
    return request;
}

std::shared_ptr<RQS3BucketRequest> RQS3BucketRequest::requestWithBucketSubResource(const std::string& bucket,
                                                                                   const std::string& subResource) {
    auto request = requestWithBucket(bucket);
    request->setSubResource(subResource);
    return request;
}

std::shared_ptr<RQS3BucketRequest> RQS3BucketRequest::PUTRequestWithBucket(const std::string& bucket) {
    auto request = requestWithBucket(bucket);
    request->setRequestMethod("PUT");
    return request;
}

std::shared_ptr<RQS3BucketRequest> RQS3BucketRequest::DELETERequestWithBucket(const std::string& bucket) {
    auto request = requestWithBucket(bucket);
    request->setRequestMethod("DELETE");
    return request;
}

std::string RQS3BucketRequest::canonicalizedResource() const {
    if (!subResource().empty()) return "/" + bucket() + "/?" + subResource();
    return "/" + bucket() + "/";
}

void RQS3BucketRequest::buildURL() {
    auto base = bucketAddress(bucket());
    if (!base) return;
    std::string address = *base;
    if (!subResource().empty()) address += "/?" + subResource();
    // Parameter values are escaped whole, so none can add parameters of its own.
    std::vector<std::string> parameters;
    if (auto value = prefix(); !value.empty()) parameters.push_back("prefix=" + Text::percentEscape(value));
    if (auto value = marker(); !value.empty()) parameters.push_back("marker=" + Text::percentEscape(value));
    if (auto value = delimiter(); !value.empty()) parameters.push_back("delimiter=" + Text::percentEscape(value));
    if (maxResultCount() > 0) parameters.push_back("max-keys=" + std::to_string(maxResultCount()));
    if (!parameters.empty()) address += (subResource().empty() ? "?" : "&") + Text::join(parameters, "&");
    setURL(URL::fromString(address));
}

void RQS3BucketRequest::copyS3SettingsTo(RQS3Request& other) const {
    RQS3Request::copyS3SettingsTo(other);
    if (auto* request = dynamic_cast<RQS3BucketRequest*>(&other)) {
        request->setBucket(bucket());
        request->setSubResource(subResource());
        request->setPrefix(prefix());
        request->setMarker(marker());
        request->setMaxResultCount(maxResultCount());
        request->setDelimiter(delimiter());
    }
}

void RQS3BucketRequest::elementStarted(const std::string& name) {
    if (name == "Contents") currentObject_ = RQS3BucketObject::objectWithBucket(bucket());
}

void RQS3BucketRequest::elementEnded(XMLParser& parser, const std::string& name) {
    const std::string& text = elementText();
    const bool inCommonPrefixes = !openElements().empty() && openElements().back() == "CommonPrefixes";
    if (name == "Contents" && currentObject_) {
        auto list = objects_.get();
        list.push_back(*currentObject_);
        objects_.set(std::move(list));
        currentObject_.reset();
    } else if (currentObject_ && name == "Key") {
        currentObject_->key = text;
    } else if (currentObject_ && name == "ETag") {
        currentObject_->ETag = text;
    } else if (currentObject_ && name == "ID") {
        currentObject_->ownerID = text;
    } else if (currentObject_ && name == "DisplayName") {
        currentObject_->ownerName = text;
    } else if (currentObject_ && name == "LastModified") {
        currentObject_->lastModified = dateFromReplyString(text);
    } else if (currentObject_ && name == "Size") {
        currentObject_->size = elementUnsignedValue();
    } else if (name == "Prefix" && inCommonPrefixes) {
        auto list = commonPrefixes_.get();
        list.push_back(text);
        commonPrefixes_.set(std::move(list));
    } else if (name == "IsTruncated") {
        isTruncated_.set(text == "true");
    }
    RQS3Request::elementEnded(parser, name);
}

}  // namespace clipora
