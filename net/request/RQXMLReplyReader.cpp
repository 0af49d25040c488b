#include "net/request/RQXMLReplyReader.h"

#include <algorithm>

#include "platform/foundation/Text.h"
#include "platform/foundation/XMLParser.h"

namespace clipora {

using namespace platform;

bool RQXMLReplyReader::parse(const Data& body, const std::shared_ptr<XMLParserDelegate>& delegate,
                             std::optional<Error>* error) {
    XMLParser parser(body);
    parser.setShouldProcessNamespaces(false);
    parser.setDelegate(delegate);
    const bool parsed = parser.parse();
    if (error) *error = parser.parserError();
    return parsed;
}

void RQXMLReplyReader::parserDidStartElementNamespaceURIQualifiedNameAttributes(XMLParser&,
                                                                                const std::string& elementName,
                                                                                const std::string&, const std::string&,
                                                                                const Attributes&) {
    text_.clear();
    open_.push_back(elementName);
    elementStarted(elementName);
}

void RQXMLReplyReader::parserFoundCharacters(XMLParser&, const std::string& characters) { text_ += characters; }

void RQXMLReplyReader::parserDidEndElementNamespaceURIQualifiedName(XMLParser& parser, const std::string& elementName,
                                                                    const std::string&, const std::string&) {
    if (!open_.empty()) open_.pop_back();
    elementEnded(parser, elementName);
}

void RQXMLReplyReader::resetReader() {
    text_.clear();
    open_.clear();
}

std::uint64_t RQXMLReplyReader::elementUnsignedValue() const {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(0, Text::longLongValue(text_)));
}

}  // namespace clipora
