#include "net/request/RQS3ServiceRequest.h"

namespace clipora {

using namespace platform;

std::shared_ptr<RQS3ServiceRequest> RQS3ServiceRequest::serviceRequest() {
    return std::make_shared<RQS3ServiceRequest>(std::nullopt);
}

void RQS3ServiceRequest::buildURL() { setURL(URL::fromString(requestScheme() + "://" + S3Host())); }

void RQS3ServiceRequest::parserDidStartElementNamespaceURIQualifiedNameAttributes(XMLParser& parser,
                                                                                 const std::string& elementName,
                                                                                 const std::string& namespaceURI,
                                                                                 const std::string& qualifiedName,
                                                                                 const Attributes& attributes) {
    // The owner comes before the buckets.
    if (elementName == "Bucket") currentBucket_ = RQS3Bucket::bucketWithOwnerIDOwnerName(ownerID(), ownerName());
    RQS3Request::parserDidStartElementNamespaceURIQualifiedNameAttributes(parser, elementName, namespaceURI,
                                                                         qualifiedName, attributes);
}

void RQS3ServiceRequest::parserDidEndElementNamespaceURIQualifiedName(XMLParser& parser, const std::string& elementName,
                                                                     const std::string& namespaceURI,
                                                                     const std::string& qualifiedName) {
    const std::string text = currentXMLElementContent();
    if (elementName == "Bucket" && currentBucket_) {
        auto list = get(buckets_);
        list.push_back(*currentBucket_);
        put(buckets_, std::move(list));
        currentBucket_.reset();
    } else if (elementName == "Name" && currentBucket_) {
        currentBucket_->name = text;
    } else if (elementName == "CreationDate" && currentBucket_) {
        currentBucket_->creationDate = dateFromReplyString(text);
    } else if (elementName == "ID") {
        put(ownerID_, text);
    } else if (elementName == "DisplayName") {
        put(ownerName_, text);
    }
    RQS3Request::parserDidEndElementNamespaceURIQualifiedName(parser, elementName, namespaceURI, qualifiedName);
}

}  // namespace clipora
