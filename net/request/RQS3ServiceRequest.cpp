#include "net/request/RQS3ServiceRequest.h"

namespace clipora {

using namespace platform;

std::shared_ptr<RQS3ServiceRequest> RQS3ServiceRequest::serviceRequest() {
    return std::make_shared<RQS3ServiceRequest>(std::nullopt);
}

void RQS3ServiceRequest::buildURL() { setURL(URL::fromString(requestScheme() + "://" + S3Host())); }

void RQS3ServiceRequest::elementStarted(const std::string& name) {
    // The owner comes before the buckets.
    if (name == "Bucket") currentBucket_ = RQS3Bucket::bucketWithOwnerIDOwnerName(ownerID(), ownerName());
}

void RQS3ServiceRequest::elementEnded(XMLParser& parser, const std::string& name) {
    const std::string& text = elementText();
    if (name == "Bucket" && currentBucket_) {
        auto list = buckets_.get();
        list.push_back(*currentBucket_);
        buckets_.set(std::move(list));
        currentBucket_.reset();
    } else if (name == "Name" && currentBucket_) {
        currentBucket_->name = text;
    } else if (name == "CreationDate" && currentBucket_) {
        currentBucket_->creationDate = dateFromReplyString(text);
    } else if (name == "ID") {
        ownerID_.set(text);
    } else if (name == "DisplayName") {
        ownerName_.set(text);
    }
    RQS3Request::elementEnded(parser, name);
}

}  // namespace clipora
