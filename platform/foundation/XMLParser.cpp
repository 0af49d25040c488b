#include "platform/foundation/XMLParser.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <utility>

#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

// Separates namespace URI, local name and prefix in the names expat reports
// with namespace processing on. U+0001 cannot occur in an XML 1.0 document.
constexpr char kNamespaceSeparator = '\x01';

struct Names {
    std::string local;
    std::string namespaceURI;
    std::string qualified;
};

Names splitName(const char* raw, bool processNamespaces) {
    std::string name(raw);
    if (!processNamespaces) return {name, {}, name};
    const auto first = name.find(kNamespaceSeparator);
    if (first == std::string::npos) return {name, {}, name};  // no namespace
    Names names;
    names.namespaceURI = name.substr(0, first);
    const auto second = name.find(kNamespaceSeparator, first + 1);
    if (second == std::string::npos) {
        names.local = name.substr(first + 1);
        names.qualified = names.local;
    } else {
        names.local = name.substr(first + 1, second - first - 1);
        names.qualified = name.substr(second + 1) + ":" + names.local;
    }
    return names;
}

struct ExpatDeleter {
    void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

}  // namespace

// expat's C callbacks, with the XMLParser as user data.
struct XMLParser::Callbacks {
    static XMLParser& self(void* userData) { return *static_cast<XMLParser*>(userData); }

    // An exception must not unwind through expat's C frames: it is kept, the
    // parse stopped, and parse() throws it again once expat has returned.
    template <class Body>
    static void guarded(XMLParser& parser, Body body) {
        try {
            body();
        } catch (...) {
            if (!parser.pendingException_) parser.pendingException_ = std::current_exception();
            parser.abortParsing();
        }
    }

    static void startElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
        XMLParser& parser = self(userData);
        guarded(parser, [&] {
            if (parser.aborted_) return;
            if (++parser.depth_ > kMaxElementDepth) {
                parser.tooDeep_ = true;
                parser.abortParsing();
                return;
            }
            parser.flushCharacters();
            if (parser.aborted_) return;
            auto delegate = parser.delegate_.lock();
            if (!delegate) return;
            const Names names = splitName(name, parser.processNamespaces_);
            XMLParserDelegate::Attributes map;
            for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
                map[splitName(a[0], parser.processNamespaces_).qualified] = a[1];
            }
            delegate->parserDidStartElementNamespaceURIQualifiedNameAttributes(parser, names.local, names.namespaceURI,
                                                                               names.qualified, map);
        });
    }

    static void endElement(void* userData, const XML_Char* name) {
        XMLParser& parser = self(userData);
        guarded(parser, [&] {
            if (parser.aborted_) return;
            --parser.depth_;
            parser.flushCharacters();
            if (parser.aborted_) return;
            auto delegate = parser.delegate_.lock();
            if (!delegate) return;
            const Names names = splitName(name, parser.processNamespaces_);
            delegate->parserDidEndElementNamespaceURIQualifiedName(parser, names.local, names.namespaceURI,
                                                                   names.qualified);
        });
    }

    static void characters(void* userData, const XML_Char* text, int length) {
        XMLParser& parser = self(userData);
        if (parser.aborted_) return;
        guarded(parser, [&] { parser.characters_.append(text, static_cast<std::size_t>(length)); });
    }

    // Never load anything: the reference expands to nothing and the parse
    // goes on.
    static int externalEntity(XML_Parser, const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
        return XML_STATUS_OK;
    }
};

XMLParser::XMLParser(Data bytes) : bytes_(std::move(bytes)) {}

XMLParser::XMLParser(std::string_view text) : bytes_(text.begin(), text.end()) {}

XMLParser::~XMLParser() = default;

void XMLParser::flushCharacters() {
    if (characters_.empty()) return;
    const std::string text = std::exchange(characters_, {});
    if (auto delegate = delegate_.lock()) delegate->parserFoundCharacters(*this, text);
}

bool XMLParser::parse() {
    // A delegate may drop the last reference to this parser from a callback.
    const auto keepAlive = weak_from_this().lock();

    error_.reset();
    aborted_ = false;
    tooDeep_ = false;
    depth_ = 0;
    pendingException_ = nullptr;
    characters_.clear();

    std::unique_ptr<XML_ParserStruct, ExpatDeleter> owner(
        processNamespaces_ ? XML_ParserCreateNS(nullptr, kNamespaceSeparator) : XML_ParserCreate(nullptr));
    if (!owner) {
        error_ = Error::withDescription(std::string(kErrorDomain), XML_ERROR_NO_MEMORY, "Out of memory");
        return false;
    }
    XML_Parser expat = owner.get();
    expat_ = expat;
    XML_SetUserData(expat, this);
    if (processNamespaces_) XML_SetReturnNSTriplet(expat, 1);
    XML_SetElementHandler(expat, &Callbacks::startElement, &Callbacks::endElement);
    XML_SetCharacterDataHandler(expat, &Callbacks::characters);
    XML_SetExternalEntityRefHandler(expat, &Callbacks::externalEntity);
    XML_SetParamEntityParsing(expat, XML_PARAM_ENTITY_PARSING_NEVER);

    bool ok = true;
    std::size_t offset = 0;
    do {
        const std::size_t chunk = std::min<std::size_t>(bytes_.size() - offset, INT_MAX / 2);
        const bool isFinal = offset + chunk == bytes_.size();
        const auto* start = reinterpret_cast<const char*>(bytes_.data()) + offset;
        if (XML_Parse(expat, start, static_cast<int>(chunk), isFinal ? 1 : 0) != XML_STATUS_OK) {
            ok = false;
            break;
        }
        offset += chunk;
    } while (offset < bytes_.size());

    if (ok && !aborted_) flushCharacters();

    if (pendingException_) {
        expat_ = nullptr;
        characters_.clear();
        std::rethrow_exception(std::exchange(pendingException_, nullptr));
    }
    if (tooDeep_) {
        error_ = Error::withDescription(std::string(kErrorDomain), kTooDeepErrorCode,
                                        Text::format("XML elements nest deeper than %zu levels", kMaxElementDepth));
        ok = false;
        characters_.clear();
        if (auto delegate = delegate_.lock()) delegate->parserParseErrorOccurred(*this, *error_);
    } else if (aborted_) {
        error_ = Error::withDescription(std::string(kErrorDomain), kAbortedErrorCode, "The parse was aborted");
        ok = false;
    } else if (!ok) {
        const XML_Error code = XML_GetErrorCode(expat);
        const auto line = static_cast<std::int64_t>(XML_GetCurrentLineNumber(expat));
        const auto column = static_cast<std::int64_t>(XML_GetCurrentColumnNumber(expat));
        const char* message = XML_ErrorString(code);
        Error error(std::string(kErrorDomain), code,
                    {{std::string(Error::kLocalizedDescriptionKey),
                      Value(Text::format("XML parse error at line %lld, column %lld: %s", line, column,
                                         message ? message : "unknown error"))},
                     {std::string(kLineNumberKey), Value(line)},
                     {std::string(kColumnNumberKey), Value(column)}});
        error_ = error;
        characters_.clear();
        if (auto delegate = delegate_.lock()) delegate->parserParseErrorOccurred(*this, error);
    }
    expat_ = nullptr;
    return ok;
}

void XMLParser::abortParsing() {
    if (aborted_) return;
    aborted_ = true;
    if (expat_ != nullptr) XML_StopParser(expat_, XML_FALSE);
}

std::int64_t XMLParser::lineNumber() const {
    return expat_ ? static_cast<std::int64_t>(XML_GetCurrentLineNumber(expat_)) : 0;
}

std::int64_t XMLParser::columnNumber() const {
    return expat_ ? static_cast<std::int64_t>(XML_GetCurrentColumnNumber(expat_)) : 0;
}

}  // namespace clipora::platform
