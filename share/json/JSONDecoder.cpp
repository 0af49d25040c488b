#include "share/json/JSONDecoder.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <system_error>
#include <utility>

#include "platform/foundation/Exception.h"
#include "platform/foundation/InvalidArgumentException.h"
#include "platform/foundation/Text.h"
#include "share/json/JCArray.h"
#include "share/json/JCDictionary.h"
#include "share/json/JCPool.h"
#include "share/json/JCUTF8.h"
#include "social/json/SNJsonScan.h"

namespace clipora {

namespace {

enum class Token : std::uint8_t {
    End,     // no bytes left (nothing recorded)
    Failed,  // an error was recorded
    Number,
    String,
    OpenBrace,
    CloseBrace,
    OpenBracket,
    CloseBracket,
    Colon,
    Comma,
    True,
    False,
    Null,
};

bool startsValue(Token token) {
    switch (token) {
    case Token::Number:
    case Token::String:
    case Token::OpenBrace:
    case Token::OpenBracket:
    case Token::True:
    case Token::False:
    case Token::Null: return true;
    default: return false;
    }
}

int hexDigit(unsigned char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

bool isDigit(unsigned char ch) { return ch >= '0' && ch <= '9'; }

constexpr const char* kUnexpectedToken =
    "Unexpected token, wanted '{', '}', '[', ']', ',', ':', 'true', 'false', 'null', '\"STRING\"', 'NUMBER'.";
constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD
// Strings up to this length go through the token cache; longer ones are
// rarely repeated and go straight into the document.
constexpr std::size_t kMaxCachedLength = 64;
constexpr std::size_t kCacheSize = 1024;
// The cache's own pool is replaced (and the cache emptied) once it holds this
// much, so that a long-lived decoder does not grow without end.
constexpr std::size_t kCachePoolLimit = std::size_t{1} << 20;

}  // namespace

struct JSONDecoder::ParseState {
    struct CacheItem {
        const JCString* string = nullptr;
        std::uint32_t hash = 0;
    };

    unsigned options = 0;
    const unsigned char* begin = nullptr;
    const unsigned char* end = nullptr;
    const unsigned char* p = nullptr;
    std::size_t line = 1;
    const unsigned char* tokenStart = nullptr;
    std::size_t tokenLine = 1;
    JCValue tokenValue;

    bool failed = false;
    std::string errorMessage;
    std::size_t errorIndex = 0;
    std::size_t errorLine = 0;

    bool isMutable = false;
    unsigned depth = 0;
    std::shared_ptr<JCPool> pool;
    std::shared_ptr<JCPool> cachePool;
    std::array<CacheItem, kCacheSize> cache{};
    std::array<std::uint8_t, kCacheSize> ages{};
    std::uint32_t random = 1;
    std::vector<JCValue> stack;
    std::string scratch;

    // ---- Errors ---------------------------------------------------------

    // Only the first error of a parse is kept.
    void fail(std::string message, const unsigned char* at, std::size_t atLine) {
        if (failed) return;
        failed = true;
        errorMessage = std::move(message);
        errorIndex = static_cast<std::size_t>(at - begin);
        errorLine = atLine;
    }
    void failHere(std::string message, const unsigned char* at) { fail(std::move(message), at, line); }
    void failAtToken(std::string message) { fail(std::move(message), tokenStart, tokenLine); }

    std::string tokenText() const {
        return std::string(reinterpret_cast<const char*>(tokenStart), static_cast<std::size_t>(p - tokenStart));
    }

    // "Expected a value or a ']', not ':'", from the things allowed here.
    void failExpected(const std::vector<const char*>& allowed) {
        const std::string token = tokenText();
        std::string message;
        if (allowed.size() == 1) {
            message = platform::Text::format("Expected %s, not '%s'", allowed[0], token);
        } else if (allowed.size() == 2) {
            message = platform::Text::format("Expected %s or %s, not '%s'", allowed[0], allowed[1], token);
        } else {
            message =
                platform::Text::format("Expected %s, %s, or %s, not '%s", allowed[0], allowed[1], allowed[2], token);
        }
        failAtToken(std::move(message));
    }

    // ---- White space and line ends --------------------------------------

    // The length of the line end at q (CR LF counts as one), or 0.
    std::size_t lineEndAt(const unsigned char* q) const {
        if (*q == '\n') return 1;
        if (*q == '\r') return q + 1 < end && q[1] == '\n' ? 2 : 1;
        if (options & kParseOptionUnicodeNewlines) {
            if (*q == 0xE2 && end - q >= 3 && q[1] == 0x80 && (q[2] == 0xA8 || q[2] == 0xA9)) return 3;
            if (*q == 0xC2 && end - q >= 2 && q[1] == 0x85) return 2;
        }
        return 0;
    }

    void skipWhiteSpace() {
        while (p < end) {
            const unsigned char ch = *p;
            if (ch == ' ' || ch == '\t') {
                ++p;
                continue;
            }
            if (const std::size_t length = lineEndAt(p)) {
                p += length;
                ++line;
                continue;
            }
            if ((options & kParseOptionComments) && ch == '/' && end - p >= 2) {
                if (p[1] == '*') {
                    // Runs to the next "*/"; one left open ends at the end.
                    p += 2;
                    while (p < end && !(p[0] == '*' && p + 1 < end && p[1] == '/')) {
                        if (const std::size_t length = lineEndAt(p)) {
                            p += length;
                            ++line;
                        } else {
                            ++p;
                        }
                    }
                    if (p < end) p += 2;
                    continue;
                }
                if (p[1] == '/') {
                    p += 2;
                    while (p < end && lineEndAt(p) == 0) ++p;
                    continue;
                }
            }
            return;
        }
    }

    // ---- Tokens ---------------------------------------------------------

    Token readToken() {
        skipWhiteSpace();
        tokenStart = p;
        tokenLine = line;
        if (p == end) return Token::End;
        const auto remaining = end - p;
        switch (*p) {
        case '{': ++p; return Token::OpenBrace;
        case '}': ++p; return Token::CloseBrace;
        case '[': ++p; return Token::OpenBracket;
        case ']': ++p; return Token::CloseBracket;
        case ':': ++p; return Token::Colon;
        case ',': ++p; return Token::Comma;
        // A literal needs one more byte after it (which is not looked at
        // here: it is the next token's business).
        case 't':
            if (remaining >= 5 && std::memcmp(p, "true", 4) == 0) {
                p += 4;
                return Token::True;
            }
            break;
        case 'f':
            if (remaining >= 6 && std::memcmp(p, "false", 5) == 0) {
                p += 5;
                return Token::False;
            }
            break;
        case 'n':
            if (remaining >= 5 && std::memcmp(p, "null", 4) == 0) {
                p += 4;
                return Token::Null;
            }
            break;
        case '"': return readString();
        case '-':
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9': return readNumber();
        default: break;
        }
        failHere(kUnexpectedToken, p);
        return Token::Failed;
    }

    Token readNumber() {
        const unsigned char* q = p;
        const auto invalid = [&](const unsigned char* at) {
            failHere("Invalid number.", at);
            return Token::Failed;
        };
        const bool negative = *q == '-';
        if (negative) ++q;
        if (q == end) return invalid(q);
        if (*q == '0') {
            ++q;
        } else if (isDigit(*q)) {
            while (q < end && isDigit(*q)) ++q;
        } else {
            return invalid(q);
        }
        bool isReal = false;
        if (q < end && *q == '.') {
            isReal = true;
            ++q;
            if (q == end || !isDigit(*q)) return invalid(q);
            while (q < end && isDigit(*q)) ++q;
        }
        if (q < end && (*q == 'e' || *q == 'E')) {
            isReal = true;
            ++q;
            if (q < end && (*q == '+' || *q == '-')) ++q;
            if (q == end || !isDigit(*q)) return invalid(q);
            while (q < end && isDigit(*q)) ++q;
        }
        // A number needs a byte after it to be known complete.
        if (q == end) return invalid(q);

        const char* first = reinterpret_cast<const char*>(p);
        const char* last = reinterpret_cast<const char*>(q);
        const std::string_view text(first, static_cast<std::size_t>(last - first));
        const unsigned char* start = p;
        p = q;
        if (isReal || text == "-0") {
            double value = 0;
            const auto result = std::from_chars(first, last, value);
            if (result.ec == std::errc::result_out_of_range) {
                const std::string copy(text);
                const double rounded = std::strtod(copy.c_str(), nullptr);
                failHere(platform::Text::format("The value '%s' could not be represented as a 'double' due to %s.",
                                                copy, rounded == 0 ? "underflow" : "overflow"),
                         start);
                return invalid(start);
            }
            if (result.ec != std::errc() || result.ptr != last) {
                failHere("The conversion function did not consume all of the number tokens characters.", start);
                return invalid(start);
            }
            tokenValue = JCValue(value);
            return Token::Number;
        }
        // Digits accumulate as an unsigned magnitude, with overflow checked.
        std::uint64_t magnitude = 0;
        bool overflow = false;
        for (const char* d = first + (negative ? 1 : 0); d < last; ++d) {
            const auto digit = static_cast<std::uint64_t>(*d - '0');
            if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
                overflow = true;
                break;
            }
            magnitude = magnitude * 10 + digit;
        }
        if (negative) {
            constexpr auto kLimit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1;
            if (overflow || magnitude > kLimit) {
                failHere(
                    platform::Text::format("The value '%s' exceeded the minimum value that could be represented: %lld.",
                                           text, std::numeric_limits<std::int64_t>::min()),
                    start);
                return invalid(start);
            }
            tokenValue = JCValue(static_cast<std::int64_t>(0 - magnitude));
            return Token::Number;
        }
        if (overflow) {
            failHere(
                platform::Text::format("The value '%s' exceeded the maximum value that could be represented: %llu.",
                                       text, std::numeric_limits<std::uint64_t>::max()),
                start);
            return invalid(start);
        }
        tokenValue = JCValue::unsignedInteger(magnitude);
        return Token::Number;
    }

    // Plain bytes and valid UTF-8 up to the closing quote are taken as they
    // stand; the first escape or UTF-8 fault switches to copying the
    // decoded text into the scratch buffer.
    Token readString() {
        const unsigned char* start = p + 1;
        const unsigned char* q = start;
        const bool loose = options & kParseOptionLooseUnicode;
        bool copying = false;
        for (;;) {
            const unsigned char* run = q;
            q = reinterpret_cast<const unsigned char*>(
                SNJsonScan::skipPlainRun(reinterpret_cast<const char*>(q), reinterpret_cast<const char*>(end)));
            if (copying) scratch.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(q - run));
            if (q == end) {
                failHere("Invalid string.", q);
                return Token::Failed;
            }
            const unsigned char ch = *q;
            if (ch == '"') {
                p = q + 1;
                return makeString(copying ? std::string_view(scratch)
                                          : std::string_view(reinterpret_cast<const char*>(start),
                                                             static_cast<std::size_t>(q - start)));
            }
            if (ch < 0x20) {
                failHere(platform::Text::format("Invalid character < 0x20 found in string: 0x%2.2x.", ch), q);
                return Token::Failed;
            }
            if (!copying) {
                if (ch >= 0x80) {
                    const int length = JCUTF8::sequenceLength(q, end, nullptr);
                    if (length > 0) {
                        q += length;
                        continue;
                    }
                }
                scratch.assign(reinterpret_cast<const char*>(start), static_cast<std::size_t>(q - start));
                copying = true;
            }
            if (ch >= 0x80) {
                const int length = JCUTF8::sequenceLength(q, end, nullptr);
                if (length > 0) {
                    scratch.append(reinterpret_cast<const char*>(q), static_cast<std::size_t>(length));
                    q += length;
                    continue;
                }
                if (length == JCUTF8::kCutOff) {
                    failHere("End of buffer reached while parsing UTF8 in \"\" string.", q);
                    return Token::Failed;
                }
                if (!loose) {
                    failHere("Illegal UTF8 sequence found in \"\" string.", q);
                    return Token::Failed;
                }
                // Loose: one replacement, then on at the next byte that does
                // not continue the broken sequence.
                scratch.append(kReplacement);
                ++q;
                while (q < end && (*q & 0xC0) == 0x80) ++q;
                continue;
            }
            // A backslash.
            const unsigned char* escape = q;
            if (++q == end) {
                failHere("Invalid string.", q);
                return Token::Failed;
            }
            switch (*q) {
            case '"':
            case '\\':
            case '/': scratch.push_back(static_cast<char>(*q++)); continue;
            case 'b':
                scratch.push_back('\b');
                ++q;
                continue;
            case 'f':
                scratch.push_back('\f');
                ++q;
                continue;
            case 'n':
                scratch.push_back('\n');
                ++q;
                continue;
            case 'r':
                scratch.push_back('\r');
                ++q;
                continue;
            case 't':
                scratch.push_back('\t');
                ++q;
                continue;
            case 'u': break;
            default: failHere("Invalid escape sequence found in \"\" string.", q); return Token::Failed;
            }
            ++q;
            std::uint32_t unit = 0;
            if (!readHexQuad(q, unit)) return Token::Failed;
            std::uint32_t codePoint = unit;
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                if (!(q < end && *q == '\\' && q + 1 < end && q[1] == 'u')) {
                    if (q == end) {
                        failHere("Invalid string.", q);
                        return Token::Failed;
                    }
                    if (!loose) {
                        failHere(
                            "Required a second \\u Unicode escape sequence following a surrogate \\u Unicode escape "
                            "sequence.",
                            q);
                        return Token::Failed;
                    }
                    // Loose: a replacement, and what follows is read as usual.
                    scratch.append(kReplacement);
                    continue;
                }
                q += 2;
                std::uint32_t low = 0;
                if (!readHexQuad(q, low)) return Token::Failed;
                if (low < 0xDC00 || low > 0xDFFF) {
                    if (!illegalEscape(escape, loose)) return Token::Failed;
                    continue;
                }
                codePoint = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                if (!illegalEscape(escape, loose)) return Token::Failed;
                continue;
            }
            if (!JCUTF8::isAllowedCodePoint(codePoint) || codePoint == 0) {
                if (!illegalEscape(escape, loose)) return Token::Failed;
                continue;
            }
            JCUTF8::append(scratch, codePoint);
        }
    }

    // Records the fault, or in loose mode writes U+FFFD in its place.
    bool illegalEscape(const unsigned char* escape, bool loose) {
        if (loose) {
            scratch.append(kReplacement);
            return true;
        }
        failHere("Illegal \\u Unicode escape sequence.", escape);
        return false;
    }

    bool readHexQuad(const unsigned char*& q, std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i, ++q) {
            if (q == end) {
                failHere("Invalid string.", q);
                return false;
            }
            const int digit = hexDigit(*q);
            if (digit < 0) {
                failHere(
                    platform::Text::format(
                        "Unexpected character found in \\u Unicode escape sequence.  Found '%c', expected [0-9a-fA-F].",
                        static_cast<char>(*q)),
                    q);
                return false;
            }
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        return true;
    }

    // ---- Token cache ----------------------------------------------------

    std::uint32_t stepRandom() {
        random = (random >> 1) ^ ((random & 1) ? 0x80200003u : 0u);
        return random & (kCacheSize - 1);
    }

    Token makeString(std::string_view text) {
        if (text.empty()) {
            tokenValue = JCValue(JCString::empty());
        } else if (text.size() > kMaxCachedLength) {
            tokenValue = JCValue(JCString::make(*pool, text));
        } else {
            tokenValue = JCValue(cachedString(text));
        }
        return Token::String;
    }

    // The cached string with this text, or a new one that takes a slot whose
    // owner was not seen for a while. Ages double (plus one) on every hit and
    // halve as probes pass over them or the random walk picks them.
    const JCString* cachedString(std::string_view text) {
        const std::uint32_t hash = JCString::hashBytes(text);
        std::size_t index = hash & (kCacheSize - 1);
        std::size_t chosen = kCacheSize;
        for (std::size_t probe = 1; probe <= 4; ++probe) {
            CacheItem& item = cache[index];
            if (!item.string) {
                if (chosen == kCacheSize) chosen = index;
                break;
            }
            if (item.hash == hash && item.string->view() == text) {
                ages[index] = static_cast<std::uint8_t>(ages[index] * 2 + 1);
                return item.string;
            }
            if (chosen == kCacheSize) {
                if (ages[index] == 0) {
                    chosen = index;
                } else {
                    ages[index] >>= 1;
                    ages[stepRandom()] >>= 1;
                    ages[stepRandom()] >>= 1;
                }
            }
            index = (hash + (text.size() + 8) * probe) & (kCacheSize - 1);
        }
        if (chosen == kCacheSize) return JCString::make(*pool, text, hash);
        if (cachePool->bytesUsed() > kCachePoolLimit) {
            clearCache();
            pool->keepAlive(cachePool);
        }
        const JCString* string = JCString::make(*cachePool, text, hash);
        cache[chosen] = CacheItem{string, hash};
        ages[chosen] = 0;
        return string;
    }

    void clearCache() {
        cache.fill(CacheItem{});
        ages.fill(0);
        cachePool = std::make_shared<JCPool>(64 * 1024);
    }

    // ---- Building -------------------------------------------------------

    // The value a token starts (containers recursively); false on failure.
    bool buildValue(Token token, JCValue& value) {
        switch (token) {
        case Token::Number:
        case Token::String: value = tokenValue; return true;
        case Token::True: value = JCValue(true); return true;
        case Token::False: value = JCValue(false); return true;
        case Token::Null: value = JCValue(); return true;
        case Token::OpenBracket: return buildArray(value);
        case Token::OpenBrace: return buildDictionary(value);
        default: return false;
        }
    }

    bool enter() {
        if (depth >= kMaxDepth) {
            failAtToken("nesting too deep");
            return false;
        }
        ++depth;
        return true;
    }

    bool abandon(std::size_t base) {
        stack.resize(base);
        --depth;
        return false;
    }

    bool buildArray(JCValue& value) {
        if (!enter()) return false;
        const std::size_t base = stack.size();
        bool valueAllowed = true, commaAllowed = false, closeAllowed = true;
        for (;;) {
            const Token token = readToken();
            if (token == Token::End || token == Token::Failed) return abandon(base);
            if (startsValue(token)) {
                if (!valueAllowed) {
                    failAtToken("Unexpected value.");
                    return abandon(base);
                }
                JCValue element;
                if (!buildValue(token, element)) return abandon(base);
                stack.push_back(element);
                valueAllowed = false;
                commaAllowed = closeAllowed = true;
            } else if (token == Token::CloseBracket) {
                if (!closeAllowed) {
                    failAtToken("Unexpected ']'.");
                    return abandon(base);
                }
                const std::size_t count = stack.size() - base;
                auto* objects = pool->allocateArray<JCValue>(count);
                std::uninitialized_copy(stack.begin() + static_cast<std::ptrdiff_t>(base), stack.end(), objects);
                value = JCValue(static_cast<const JCArray*>(makeArray(*pool, objects, count, isMutable)));
                stack.resize(base);
                --depth;
                return true;
            } else if (token == Token::Comma) {
                if (!commaAllowed) {
                    failAtToken("Unexpected ','.");
                    return abandon(base);
                }
                valueAllowed = true;
                commaAllowed = closeAllowed = false;
            } else {
                std::vector<const char*> allowed;
                if (valueAllowed) allowed.push_back("a value");
                if (commaAllowed) allowed.push_back("a comma");
                if (closeAllowed) allowed.push_back("a ']'");
                failExpected(allowed);
                return abandon(base);
            }
        }
    }

    bool buildDictionary(JCValue& value) {
        if (!enter()) return false;
        const std::size_t base = stack.size();
        enum class Want { KeyOrClose, Key, Colon, Value, CommaOrClose } want = Want::KeyOrClose;
        bool closeAllowedAtPairStart = true;
        for (;;) {
            const Token token = readToken();
            if (token == Token::End || token == Token::Failed) return abandon(base);
            switch (want) {
            case Want::KeyOrClose:
            case Want::Key:
                if (token == Token::String) {
                    closeAllowedAtPairStart = want == Want::KeyOrClose;
                    stack.push_back(tokenValue);
                    want = Want::Colon;
                } else if (token == Token::CloseBrace && want == Want::KeyOrClose) {
                    value = JCValue(static_cast<const JCDictionary*>(finishDictionary(base)));
                    return true;
                } else if (token == Token::CloseBrace) {
                    failAtToken("Unexpected '}'.");
                    return abandon(base);
                } else if (token == Token::Comma) {
                    failAtToken("Unexpected ','.");
                    return abandon(base);
                } else if (want == Want::KeyOrClose) {
                    failExpected({"a \"STRING\"", "a '}'"});
                    return abandon(base);
                } else {
                    failExpected({"a \"STRING\""});
                    return abandon(base);
                }
                break;
            case Want::Colon:
                if (token != Token::Colon) {
                    failAtToken("Expected ':'.");
                    return abandon(base);
                }
                want = Want::Value;
                break;
            case Want::Value: {
                if (!startsValue(token)) {
                    if (closeAllowedAtPairStart) {
                        failExpected({"a value", "a '}'"});
                    } else {
                        failExpected({"a value"});
                    }
                    return abandon(base);
                }
                JCValue element;
                if (!buildValue(token, element)) return abandon(base);
                stack.push_back(element);
                want = Want::CommaOrClose;
                break;
            }
            case Want::CommaOrClose:
                if (token == Token::Comma) {
                    want = Want::Key;
                } else if (token == Token::CloseBrace) {
                    value = JCValue(static_cast<const JCDictionary*>(finishDictionary(base)));
                    return true;
                } else if (token == Token::String) {
                    failAtToken("Unexpected string.");
                    return abandon(base);
                } else if (startsValue(token)) {
                    failAtToken("Unexpected value.");
                    return abandon(base);
                } else {
                    failExpected({"a comma", "a '}'"});
                    return abandon(base);
                }
                break;
            }
        }
    }

    JCDictionary* finishDictionary(std::size_t base) {
        const std::size_t pairs = (stack.size() - base) / 2;
        JCDictionary* dictionary = makeDictionary(*pool, pairs, isMutable);
        // In order, so that a later duplicate key replaces the earlier pair.
        for (std::size_t i = base; i < stack.size(); i += 2) {
            const JCString* key = stack[i].string();
            insertPair(*dictionary, key, stack[i + 1]);
        }
        stack.resize(base);
        --depth;
        return dictionary;
    }

    // ---- One parse ------------------------------------------------------

    std::shared_ptr<JCObject> run(const char* bytes, std::size_t length, bool mutableResult) {
        begin = reinterpret_cast<const unsigned char*>(bytes);
        end = begin + length;
        p = tokenStart = begin;
        line = tokenLine = 1;
        failed = false;
        errorMessage.clear();
        isMutable = mutableResult;
        depth = 0;
        stack.clear();
        // Room for the containers and the strings that are not cached: about
        // the size of the text itself.
        pool = std::make_shared<JCPool>(length + length / 4 + 1024);
        pool->keepAlive(cachePool);

        JCValue root;
        bool built = false;
        if (p < end) {
            const Token token = readToken();
            if (token == Token::End) {
                failHere(kUnexpectedToken, p);
            } else if (token == Token::OpenBracket || token == Token::OpenBrace) {
                built = buildValue(token, root);
            } else if (token != Token::Failed) {
                failAtToken("Expected either '[' or '{'.");
            }
        }
        if (!built) {
            if (p == end) failHere("Reached the end of the buffer.", p);
            failHere("Unable to parse JSON.", p);
        } else if (!(options & kParseOptionPermitTextAfterValidJSON)) {
            skipWhiteSpace();
            if (p != end) {
                failHere(
                    "A valid JSON object was parsed but there were additional non-white-space characters remaining.",
                    p);
                built = false;
            }
        }
        std::shared_ptr<JCPool> document = std::move(pool);
        stack.clear();
        begin = end = p = tokenStart = nullptr;
        if (!built) return nullptr;
        JCObject* object = root.isArray() ? static_cast<JCObject*>(root.mutableArray())
                                          : static_cast<JCObject*>(root.mutableDictionary());
        return std::shared_ptr<JCObject>(std::move(document), object);
    }

    platform::Error error() const {
        platform::Value::Dictionary userInfo;
        userInfo.emplace(std::string(platform::Error::kLocalizedDescriptionKey), platform::Value(errorMessage));
        userInfo.emplace(std::string(kAtIndexKey), platform::Value(static_cast<unsigned long long>(errorIndex)));
        userInfo.emplace(std::string(kLineNumberKey), platform::Value(static_cast<unsigned long long>(errorLine)));
        return platform::Error(std::string(kErrorDomain), kErrorCode, std::move(userInfo));
    }
};

JSONDecoder::JSONDecoder(unsigned parseOptions) : options_(parseOptions) {
    if (parseOptions > kParseOptionValidFlags) throw platform::InvalidArgumentException("Invalid parse options.");
    state_ = std::make_unique<ParseState>();
    state_->options = options_;
    state_->clearCache();
}

JSONDecoder::~JSONDecoder() = default;

std::shared_ptr<JSONDecoder> JSONDecoder::decoderWithParseOptions(unsigned parseOptions) {
    return std::make_shared<JSONDecoder>(parseOptions);
}

void JSONDecoder::clearCache() { state_->clearCache(); }

std::shared_ptr<JCObject> JSONDecoder::parse(const char* bytes, std::size_t length, bool isMutable,
                                             std::optional<platform::Error>* error) {
    if (!state_) throw platform::Exception(platform::Exception::kInternalInconsistencyName, "parseState is NULL.");
    if (bytes == nullptr) throw platform::InvalidArgumentException("The string argument is NULL.");
    auto result = state_->run(bytes, length, isMutable);
    if (error) {
        if (result) {
            error->reset();
        } else {
            *error = state_->error();
        }
    }
    return result;
}

std::shared_ptr<JCObject> JSONDecoder::objectWithUTF8StringLengthError(const char* bytes, std::size_t length,
                                                                       std::optional<platform::Error>* error) {
    return parse(bytes, length, false, error);
}

std::shared_ptr<JCObject> JSONDecoder::mutableObjectWithUTF8StringLengthError(const char* bytes, std::size_t length,
                                                                              std::optional<platform::Error>* error) {
    return parse(bytes, length, true, error);
}

namespace {
// A data object's bytes; an empty one has no pointer of its own.
const char* bytesOf(const platform::Data* data) {
    if (data == nullptr) throw platform::InvalidArgumentException("The jsonData argument is NULL.");
    return data->empty() ? "" : reinterpret_cast<const char*>(data->data());
}
}  // namespace

std::shared_ptr<JCObject> JSONDecoder::objectWithDataError(const platform::Data* data,
                                                           std::optional<platform::Error>* error) {
    const char* bytes = bytesOf(data);
    return parse(bytes, data->size(), false, error);
}

std::shared_ptr<JCObject> JSONDecoder::mutableObjectWithDataError(const platform::Data* data,
                                                                  std::optional<platform::Error>* error) {
    const char* bytes = bytesOf(data);
    return parse(bytes, data->size(), true, error);
}

std::shared_ptr<JCObject> JSONDecoder::objectFromJSONStringWithParseOptionsError(
    std::string_view text, unsigned parseOptions, std::optional<platform::Error>* error) {
    JSONDecoder decoder(parseOptions);
    return decoder.parse(text.empty() ? "" : text.data(), text.size(), false, error);
}

std::shared_ptr<JCObject> JSONDecoder::mutableObjectFromJSONStringWithParseOptionsError(
    std::string_view text, unsigned parseOptions, std::optional<platform::Error>* error) {
    JSONDecoder decoder(parseOptions);
    return decoder.parse(text.empty() ? "" : text.data(), text.size(), true, error);
}

std::shared_ptr<JCObject> JSONDecoder::objectFromJSONDataWithParseOptionsError(const platform::Data& data,
                                                                               unsigned parseOptions,
                                                                               std::optional<platform::Error>* error) {
    JSONDecoder decoder(parseOptions);
    return decoder.objectWithDataError(&data, error);
}

std::shared_ptr<JCObject> JSONDecoder::mutableObjectFromJSONDataWithParseOptionsError(
    const platform::Data& data, unsigned parseOptions, std::optional<platform::Error>* error) {
    JSONDecoder decoder(parseOptions);
    return decoder.mutableObjectWithDataError(&data, error);
}

JCValue JSONDecoder::rootValue(const JCObject& object) {
    if (const auto* array = dynamic_cast<const JCArray*>(&object)) return JCValue(array);
    if (const auto* dictionary = dynamic_cast<const JCDictionary*>(&object)) return JCValue(dictionary);
    return JCValue();
}

JCArray* JSONDecoder::makeArray(JCPool& pool, JCValue* objects, std::size_t count, bool isMutable) {
    return new (pool.allocate(sizeof(JCArray), alignof(JCArray)))
        JCArray(pool, objects, static_cast<std::uint32_t>(count), isMutable);
}

JCDictionary* JSONDecoder::makeDictionary(JCPool& pool, std::size_t pairs, bool isMutable) {
    return JCDictionary::make(pool, pairs, isMutable);
}

void JSONDecoder::insertPair(JCDictionary& dictionary, const JCString* key, const JCValue& value) {
    dictionary.insert(key->hash(), key, value);
}

}  // namespace clipora
