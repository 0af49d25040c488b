#include "net/request/RQCloudFilesContainerXMLParserDelegate.h"

namespace clipora {

using namespace platform;

void RQCloudFilesContainerXMLParserDelegate::elementStarted(const std::string& name) {
    if (name == "container") currentObject_ = RQCloudFilesContainer::container();
}

void RQCloudFilesContainerXMLParserDelegate::elementEnded(XMLParser&, const std::string& name) {
    if (!currentObject_) return;
    const std::string& text = elementText();
    auto& container = *currentObject_;
    if (name == "name")
        container.name = text;
    else if (name == "cdn_url")
        container.cdnURL = text;
    else if (name == "referrer_acl")
        container.referrerACL = text;
    else if (name == "useragent_acl")
        container.useragentACL = text;
    else if (name == "count")
        container.count = elementUnsignedValue();
    else if (name == "bytes")
        container.bytes = elementUnsignedValue();
    else if (name == "ttl")
        container.ttl = elementUnsignedValue();
    else if (name == "cdn_enabled")
        container.cdnEnabled = text == "True";
    else if (name == "log_retention")
        container.logRetention = text == "True";
    else if (name == "container") {
        containerObjects_.push_back(std::move(container));
        currentObject_.reset();
    }
}

}  // namespace clipora
