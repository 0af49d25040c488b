#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/foundation/XMLParser.h"
#include "platform/foundation/XMLParserDelegate.h"

namespace clipora {

// Turns an XML reply of the network's REST interface into the tree the JSON
// codec produces. Made with std::make_shared and set as the delegate of a
// platform::XMLParser over the reply; after the parse, read rootName(),
// rootObject() and parseError().
//
// An element's value when it ends:
//   - no children and nothing but whitespace: null;
//   - text: that text, whole;
//   - children, without list="true": a dictionary child name -> child value
//     (a later child of the same name replaces an earlier one);
//   - list="true": an array of the children's values in document order, a
//     child holding text becoming the dictionary {child name -> text}.
// Text before a child element wins: the element becomes that text and the
// child is dropped.
class FBXMLHandler : public platform::XMLParserDelegate {
public:
    FBXMLHandler() = default;

    void parserDidStartElementNamespaceURIQualifiedNameAttributes(platform::XMLParser& parser,
                                                                  const std::string& elementName,
                                                                  const std::string& namespaceURI,
                                                                  const std::string& qualifiedName,
                                                                  const Attributes& attributes) override;
    void parserDidEndElementNamespaceURIQualifiedName(platform::XMLParser& parser, const std::string& elementName,
                                                      const std::string& namespaceURI,
                                                      const std::string& qualifiedName) override;
    void parserFoundCharacters(platform::XMLParser& parser, const std::string& characters) override;
    void parserParseErrorOccurred(platform::XMLParser& parser, const platform::Error& error) override;

    // The innermost open element's name; empty when none is open.
    const std::string& topName() const;
    // The innermost open element's value so far (nullptr when none is open).
    // With create, a null placeholder first becomes an empty dictionary.
    platform::Value* topObject(bool create);
    // The value of the element enclosing the innermost one, nullptr when there
    // is none; a null placeholder there becomes an empty dictionary.
    platform::Value* topContainer();
    // Puts the characters collected since the last element boundary into the
    // innermost value, unless they are only whitespace; then forgets them.
    void flushCharacters();

    // The root element's value and name once it has ended well; absent after
    // a parse error.
    const std::optional<platform::Value>& rootObject() const { return rootObject_; }
    const std::optional<std::string>& rootName() const { return rootName_; }
    const std::optional<platform::Error>& parseError() const { return parseError_; }

private:
    std::vector<platform::Value> stack_;
    std::vector<std::string> nameStack_;
    std::optional<platform::Value> rootObject_;
    std::optional<std::string> rootName_;
    std::optional<std::string> chars_;
    std::optional<platform::Error> parseError_;
};

}  // namespace clipora
