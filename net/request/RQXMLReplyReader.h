#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/foundation/XMLParserDelegate.h"

namespace clipora {

// The parser delegate of the storage clients' XML replies: it keeps the
// text of the element being read and the names of the open elements, and
// hands each element's start and end to the class that reads the reply.
class RQXMLReplyReader : public platform::XMLParserDelegate {
public:
    // Reads `body` with `delegate`: no namespace processing, and external
    // entities are never loaded. False when the document is malformed or the
    // delegate stopped the parse; `error` then says why.
    static bool parse(const platform::Data& body, const std::shared_ptr<platform::XMLParserDelegate>& delegate,
                      std::optional<platform::Error>* error = nullptr);

    void parserDidStartElementNamespaceURIQualifiedNameAttributes(platform::XMLParser& parser,
                                                                  const std::string& elementName,
                                                                  const std::string& namespaceURI,
                                                                  const std::string& qualifiedName,
                                                                  const Attributes& attributes) final;
    void parserDidEndElementNamespaceURIQualifiedName(platform::XMLParser& parser, const std::string& elementName,
                                                      const std::string& namespaceURI,
                                                      const std::string& qualifiedName) final;
    void parserFoundCharacters(platform::XMLParser& parser, const std::string& characters) final;

protected:
    // An element starts (its text starts empty).
    virtual void elementStarted(const std::string& name) { (void)name; }
    // An element ends: elementText() is its text, openElements() no longer
    // holds it (their last is its parent).
    virtual void elementEnded(platform::XMLParser& parser, const std::string& name) { (void)parser, (void)name; }

    void resetReader();
    const std::string& elementText() const { return text_; }
    // The text as a count or size: 0 when it is negative or no number.
    std::uint64_t elementUnsignedValue() const;
    const std::vector<std::string>& openElements() const { return open_; }

private:
    std::string text_;
    std::vector<std::string> open_;
};

}  // namespace clipora
