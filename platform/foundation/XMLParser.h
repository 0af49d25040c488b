#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/foundation/XMLParserDelegate.h"

struct XML_ParserStruct;  // expat's parser, kept out of this header

namespace clipora::platform {

// An event-driven (SAX) XML parser over bytes in memory, on expat.
//
// Safety: external entities (general or parameter, including an external DTD
// subset) are never loaded; a reference to one expands to nothing. Internal
// entities are expanded under expat's amplification limits, so an entity bomb
// ends in a parse error instead of exhausting memory.
//
// The input encoding is read from the byte-order mark or the XML declaration
// (UTF-8, UTF-16, ISO-8859-1 and US-ASCII); everything reported is UTF-8.
//
// Elements nest at most kMaxElementDepth deep: a deeper document fails with
// kTooDeepErrorCode as soon as the first element past the limit starts, so a
// delegate that builds a tree (and later walks, copies or frees it
// recursively) never holds more than that many levels.
class XMLParser : public std::enable_shared_from_this<XMLParser> {
public:
    static constexpr std::string_view kErrorDomain = "XMLParserErrorDomain";
    // The code of parserError() after abortParsing(). Other codes are expat's
    // error numbers.
    static constexpr std::int64_t kAbortedErrorCode = 512;
    // The code of parserError() for a document nested deeper than
    // kMaxElementDepth elements.
    static constexpr std::int64_t kTooDeepErrorCode = 513;
    static constexpr std::size_t kMaxElementDepth = 512;
    // User-info keys of a parse error (1-based line, 0-based column).
    static constexpr std::string_view kLineNumberKey = "lineNumber";
    static constexpr std::string_view kColumnNumberKey = "columnNumber";

    explicit XMLParser(Data bytes);
    explicit XMLParser(std::string_view text);
    ~XMLParser();
    XMLParser(const XMLParser&) = delete;
    XMLParser& operator=(const XMLParser&) = delete;

    std::shared_ptr<XMLParserDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<XMLParserDelegate> delegate) { delegate_ = std::move(delegate); }

    // Off by default: names are reported as written and "xmlns" attributes are
    // ordinary attributes.
    bool shouldProcessNamespaces() const { return processNamespaces_; }
    void setShouldProcessNamespaces(bool on) { processNamespaces_ = on; }

    // Reads the whole document, reporting to the delegate. True when the
    // document was well-formed and the parse was not aborted; otherwise
    // parserError() says why. Each call parses the bytes again from the start.
    // An exception thrown by the delegate stops the parse and leaves parse().
    bool parse();

    // From a delegate callback: stop the parse. No further callbacks arrive,
    // parse() answers false and parserError() has kAbortedErrorCode.
    void abortParsing();

    // The error of the last parse, if it failed.
    const std::optional<Error>& parserError() const { return error_; }

    // Position of the event being reported (0 outside a parse).
    std::int64_t lineNumber() const;
    std::int64_t columnNumber() const;

private:
    struct Callbacks;
    friend struct Callbacks;

    void flushCharacters();

    Data bytes_;
    std::weak_ptr<XMLParserDelegate> delegate_;
    bool processNamespaces_ = false;
    std::optional<Error> error_;

    // State of a running parse.
    XML_ParserStruct* expat_ = nullptr;  // not owned: parse() owns it while it runs
    bool aborted_ = false;
    bool tooDeep_ = false;
    std::size_t depth_ = 0;  // elements open at the event being reported
    std::string characters_;
    std::exception_ptr pendingException_;  // thrown by a delegate, rethrown by parse()
};

}  // namespace clipora::platform
