#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Error.h"

namespace clipora {

// What the JSON parser and writer share: the nesting limit, the current
// nesting depth and the trace of errors of the last call.
//
// Every failure appends one error to the trace; each new error carries the
// one appended before it as its underlying error, so the last error of a
// trace is the most general one and leads down to the first (innermost).
class SNJsonBase {
public:
    static constexpr std::string_view kErrorDomain = "org.wendrel.JSON.ErrorDomain";

    // Error codes of kErrorDomain.
    static constexpr std::int64_t kErrorUnsupported = 1;  // value cannot be written
    static constexpr std::int64_t kErrorBadNumber = 2;
    static constexpr std::int64_t kErrorParse = 3;
    static constexpr std::int64_t kErrorNotContainer = 4;      // top level is not an object or array
    static constexpr std::int64_t kErrorControlCharacter = 5;  // raw control character in a string
    static constexpr std::int64_t kErrorUnicode = 6;           // bad \u escape
    static constexpr std::int64_t kErrorDepth = 7;
    static constexpr std::int64_t kErrorEscape = 8;
    static constexpr std::int64_t kErrorTrailingComma = 9;
    static constexpr std::int64_t kErrorGarbage = 10;  // text after the value
    static constexpr std::int64_t kErrorEndOfInput = 11;
    static constexpr std::int64_t kErrorNoInput = 12;

    static constexpr unsigned kDefaultMaxDepth = 512;
    // Parsing and writing recurse once per nesting level, so nesting is
    // always capped here to keep the stack safe, whatever maxDepth says
    // (maxDepth 0 means "no limit of the caller's own").
    static constexpr unsigned kHardMaxDepth = 2048;

    SNJsonBase() = default;
    virtual ~SNJsonBase() = default;
    SNJsonBase(const SNJsonBase&) = default;
    SNJsonBase& operator=(const SNJsonBase&) = default;
    SNJsonBase(SNJsonBase&&) = default;
    SNJsonBase& operator=(SNJsonBase&&) = default;

    // Appends an error of kErrorDomain with that code and localized
    // description; its underlying error is the trace's previous last error.
    void addErrorWithCodeDescription(std::int64_t code, std::string description);
    void clearErrorTrace();
    // Empty until the first error after the last clear.
    const std::vector<platform::Error>& errorTrace() const { return errorTrace_; }

    // The nesting depth reached by the running (or last failed) call; 0 after
    // a successful one.
    unsigned depth() const { return depth_; }

    // 512 by default; 0 switches the caller's limit off (kHardMaxDepth stays).
    virtual unsigned maxDepth() const { return maxDepth_; }
    virtual void setMaxDepth(unsigned maxDepth) { maxDepth_ = maxDepth; }

protected:
    // The nesting depth that may not be exceeded: maxDepth, bounded by
    // kHardMaxDepth.
    unsigned effectiveMaxDepth() const {
        return maxDepth_ == 0 || maxDepth_ > kHardMaxDepth ? kHardMaxDepth : maxDepth_;
    }
    void setErrorTrace(std::vector<platform::Error> trace) { errorTrace_ = std::move(trace); }

    unsigned depth_ = 0;

private:
    std::vector<platform::Error> errorTrace_;
    unsigned maxDepth_ = kDefaultMaxDepth;
};

}  // namespace clipora
