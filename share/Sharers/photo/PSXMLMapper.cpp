#include "share/Sharers/photo/PSXMLMapper.h"

#include <map>

#include "platform/foundation/Text.h"
#include "platform/foundation/XMLParser.h"

namespace clipora {

using platform::Text;
using platform::Value;

struct PSXMLMapper::Node {
    struct Slot {
        bool isArray = false;
        std::vector<std::shared_ptr<Node>> elements;
    };
    std::map<std::string, std::string> attributes;
    std::optional<std::string> text;
    std::map<std::string, Slot> children;
};

PSXMLMapper::PSXMLMapper() = default;
PSXMLMapper::~PSXMLMapper() = default;

std::optional<Value> PSXMLMapper::dictionaryMappedFromXMLData(const platform::Data& data) {
    auto mapper = std::make_shared<PSXMLMapper>();
    mapper->root_ = std::make_shared<Node>();
    mapper->current_ = mapper->root_;
    auto parser = std::make_shared<platform::XMLParser>(data);
    parser->setDelegate(mapper);
    if (!parser->parse() || mapper->failureReason_) return std::nullopt;
    return toValue(*mapper->root_);
}

std::string PSXMLMapper::textContent(const Value& element) {
    const Value* text = element.find(kTextKey);
    return text && text->string() ? *text->string() : std::string();
}

void PSXMLMapper::stop(platform::XMLParser& parser, const char* reason) {
    // Recorded and the parse stopped: nothing is thrown through the
    // parser's C callbacks.
    if (!failureReason_) failureReason_ = reason;
    parser.abortParsing();
}

void PSXMLMapper::parserDidStartElementNamespaceURIQualifiedNameAttributes(platform::XMLParser& parser,
                                                                           const std::string& elementName,
                                                                           const std::string&, const std::string&,
                                                                           const Attributes& attributes) {
    if (failureReason_) return;
    auto node = std::make_shared<Node>();
    node->attributes = attributes;
    auto existing = current_->children.find(elementName);
    if (existing != current_->children.end()) {
        // A second element of the name: an array holds them all.
        existing->second.isArray = true;
        existing->second.elements.push_back(node);
    } else if (current_->attributes.contains(elementName) || elementName == kTextKey) {
        stop(parser, kFaultyStructureReason);
        return;
    } else {
        const bool plural = lastStartedName_.size() > elementName.size() &&
                            Text::hasPrefix(lastStartedName_, elementName) && Text::hasSuffix(lastStartedName_, "s");
        current_->children.emplace(elementName, Node::Slot{plural, {node}});
    }
    stack_.push_back(current_);
    current_ = node;
    lastStartedName_ = elementName;
}

void PSXMLMapper::parserDidEndElementNamespaceURIQualifiedName(platform::XMLParser& parser, const std::string&,
                                                               const std::string&, const std::string&) {
    if (failureReason_) return;
    if (stack_.empty()) {
        stop(parser, kUnbalancedClosingReason);
        return;
    }
    current_ = stack_.back();
    stack_.pop_back();
}

void PSXMLMapper::parserFoundCharacters(platform::XMLParser&, const std::string& characters) {
    if (failureReason_ || !current_) return;
    if (!current_->text) current_->text.emplace();
    *current_->text += characters;
}

// Recursion is bounded: the parser stops a document whose elements nest
// deeper than XMLParser::kMaxElementDepth, so neither this walk nor the
// release of the node tree goes deeper than that.
Value PSXMLMapper::toValue(const Node& node) {
    Value::Dictionary dictionary;
    for (const auto& [name, value] : node.attributes) dictionary[name] = Value(value);
    if (node.text) dictionary[kTextKey] = Value(*node.text);
    for (const auto& [name, slot] : node.children) {
        if (slot.isArray) {
            Value::Array elements;
            for (const auto& element : slot.elements) elements.push_back(toValue(*element));
            dictionary[name] = Value(std::move(elements));
        } else {
            dictionary[name] = toValue(*slot.elements.front());
        }
    }
    return Value(std::move(dictionary));
}

}  // namespace clipora
