#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/request/RQCloudFilesContainer.h"
#include "net/request/RQXMLReplyReader.h"

namespace clipora {

// Reads a container listing: one "container" element per container with
// "name", "count", "bytes", "cdn_enabled", "ttl", "cdn_url",
// "log_retention", "referrer_acl" and "useragent_acl"; the flags are set
// when their text is "True".
class RQCloudFilesContainerXMLParserDelegate : public RQXMLReplyReader {
public:
    const std::vector<RQCloudFilesContainer>& containerObjects() const { return containerObjects_; }

protected:
    void elementStarted(const std::string& name) override;
    void elementEnded(platform::XMLParser& parser, const std::string& name) override;

private:
    std::optional<RQCloudFilesContainer> currentObject_;
    std::vector<RQCloudFilesContainer> containerObjects_;
};

}  // namespace clipora
