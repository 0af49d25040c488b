#pragma once

#include <map>
#include <string>

#include "platform/foundation/Error.h"

namespace clipora::platform {

class XMLParser;

// What an XMLParser reports while it reads a document. Every operation is
// optional; the default does nothing. Calls arrive on the thread that runs
// XMLParser::parse, in document order. Any of them may call
// XMLParser::abortParsing to stop the parse.
class XMLParserDelegate {
public:
    // Attribute name (as written, prefix included) -> value.
    using Attributes = std::map<std::string, std::string>;

    virtual ~XMLParserDelegate() = default;

    // An element starts. With namespace processing, `elementName` is the local
    // name, `namespaceURI` the element's namespace (empty when it has none) and
    // `qualifiedName` the name as written ("prefix:local"). Without it,
    // `elementName` and `qualifiedName` are both the name as written and
    // `namespaceURI` is empty.
    virtual void parserDidStartElementNamespaceURIQualifiedNameAttributes(XMLParser& parser,
                                                                          const std::string& elementName,
                                                                          const std::string& namespaceURI,
                                                                          const std::string& qualifiedName,
                                                                          const Attributes& attributes) {
        (void)parser, (void)elementName, (void)namespaceURI, (void)qualifiedName, (void)attributes;
    }

    // An element ends; the names as for its start.
    virtual void parserDidEndElementNamespaceURIQualifiedName(XMLParser& parser, const std::string& elementName,
                                                              const std::string& namespaceURI,
                                                              const std::string& qualifiedName) {
        (void)parser, (void)elementName, (void)namespaceURI, (void)qualifiedName;
    }

    // Character data (UTF-8), entity and character references replaced. All
    // text between two element boundaries comes in one call.
    virtual void parserFoundCharacters(XMLParser& parser, const std::string& characters) {
        (void)parser, (void)characters;
    }

    // The document is malformed; the parse stops after this call. Not called
    // when a delegate aborted the parse.
    virtual void parserParseErrorOccurred(XMLParser& parser, const Error& error) { (void)parser, (void)error; }
};

}  // namespace clipora::platform
