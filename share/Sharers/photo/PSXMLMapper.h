#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/foundation/XMLParserDelegate.h"

namespace clipora {

// Turns the photo service's XML replies into nested dictionaries: each
// element is a dictionary of its attributes under its name in its parent,
// its text under "_text"; a name that occurs more than once under one
// parent holds an array, and so does a child whose parent's name is its own
// plus "s" ("photo" under "photos"), even when it occurs once.
class PSXMLMapper : public platform::XMLParserDelegate {
public:
    static constexpr const char* kTextKey = "_text";
    static constexpr const char* kExceptionName = "PSXMLMapperException";
    static constexpr const char* kFaultyStructureReason = "Faulty XML structure";
    static constexpr const char* kUnbalancedClosingReason = "Unbalanced XML element tag closing";

    PSXMLMapper();
    ~PSXMLMapper() override;

    // The root dictionary, or none when the bytes are not well-formed XML
    // or do not map (the mapping failure is recorded, never thrown).
    static std::optional<platform::Value> dictionaryMappedFromXMLData(const platform::Data& data);
    // The "_text" entry of a mapped element (empty when it has none).
    static std::string textContent(const platform::Value& element);

    // The failure that stopped the last mapping, if any.
    const std::optional<std::string>& failureReason() const { return failureReason_; }

    void parserDidStartElementNamespaceURIQualifiedNameAttributes(platform::XMLParser& parser,
                                                                  const std::string& elementName,
                                                                  const std::string& namespaceURI,
                                                                  const std::string& qualifiedName,
                                                                  const Attributes& attributes) override;
    void parserDidEndElementNamespaceURIQualifiedName(platform::XMLParser& parser, const std::string& elementName,
                                                      const std::string& namespaceURI,
                                                      const std::string& qualifiedName) override;
    void parserFoundCharacters(platform::XMLParser& parser, const std::string& characters) override;

private:
    struct Node;
    void stop(platform::XMLParser& parser, const char* reason);
    static platform::Value toValue(const Node& node);

    std::shared_ptr<Node> root_;
    std::vector<std::shared_ptr<Node>> stack_;
    std::shared_ptr<Node> current_;
    std::string lastStartedName_;
    std::optional<std::string> failureReason_;
};

}  // namespace clipora
