#include "social/json/SNJsonWriter.h"

#include <cxxabi.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <typeinfo>

#include "platform/foundation/Object.h"
#include "platform/foundation/Text.h"
#include "social/json/SNJsonProxy.h"

namespace clipora {

using platform::Value;

namespace {

// Characters that a string cannot hold unescaped: controls, quote, backslash.
constexpr std::array<bool, 256> kNeedsEscape = [] {
    std::array<bool, 256> table{};
    for (int ch = 0; ch < 32; ++ch) table[static_cast<std::size_t>(ch)] = true;
    table['"'] = true;
    table['\\'] = true;
    return table;
}();

}  // namespace

std::string SNJsonWriter::className(const platform::Object& object) {
    const char* mangled = typeid(object).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     std::free);
    return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangled);
}

namespace {

// The name a value's kind goes by in "not supported" errors.
std::string unsupportedName(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Data: return "Data";
    case Value::Kind::Date: return "Date";
    case Value::Kind::Object: return SNJsonWriter::className(*value.object());
    case Value::Kind::Real: {
        const double real = *value.real();
        return std::isnan(real) ? "nan" : real > 0 ? "inf" : "-inf";
    }
    default: return "value";
    }
}

// Room for the longest integer or shortest-form double, plus ".0".
constexpr std::size_t kNumberRoom = 40;

}  // namespace

std::optional<std::string> SNJsonWriter::stringWithFragment(const Value& value) {
    clearErrorTrace();
    depth_ = 0;
    proxyDepth_ = 0;
    // A little above the last size, so that a document of the same shape
    // fits without growing.
    Output out(lastSize_ + lastSize_ / 8 + 256);
    if (!appendValueInto(value, out)) return std::nullopt;
    lastSize_ = out.size();
    return out.take();
}

std::optional<std::string> SNJsonWriter::stringWithObject(const Value& value) {
    const Value* current = &value;
    Value proxied;
    // Follow proxies that stand for other proxies, but not round in a circle.
    for (unsigned hops = 0; hops < kHardMaxDepth; ++hops) {
        if (current->isDictionary() || current->isArray()) {
            auto text = stringWithFragment(*current);
            if (text || hops == 0) return text;
            break;  // a proxy that cannot be written
        }
        const auto proxy = current->objectAs<SNJsonProxy>();
        if (!proxy) break;
        proxied = Value(proxy->proxyForJson());
        current = &proxied;
    }
    clearErrorTrace();
    addErrorWithCodeDescription(kErrorNotContainer, "Not valid type for JSON");
    return std::nullopt;
}

bool SNJsonWriter::enterContainer() {
    if (depth_ + 1 > effectiveMaxDepth()) {
        addErrorWithCodeDescription(kErrorDepth, "Nested too deep");
        return false;
    }
    ++depth_;
    return true;
}

bool SNJsonWriter::appendValueInto(const Value& value, Output& out) {
    switch (value.kind()) {
    case Value::Kind::Dictionary: return appendDictionaryInto(*value.dictionary(), out);
    case Value::Kind::Array: return appendArrayInto(*value.array(), out);
    case Value::Kind::String: appendStringInto(*value.string(), out); return true;
    case Value::Kind::Bool:
        if (*value.boolean()) {
            out.put("true", 4);
        } else {
            out.put("false", 5);
        }
        return true;
    case Value::Kind::Null: out.put("null", 4); return true;
    case Value::Kind::Integer: {
        char* at = out.reserve(kNumberRoom);
        const auto result = value.isUnsignedInteger() ? std::to_chars(at, at + kNumberRoom, *value.unsignedInteger())
                                                      : std::to_chars(at, at + kNumberRoom, *value.integer());
        out.advanceTo(result.ptr);
        return true;
    }
    case Value::Kind::Real: {
        const double real = *value.real();
        if (!std::isfinite(real)) break;  // no JSON text for NaN or infinities
        char* at = out.reserve(kNumberRoom);
        char* end = std::to_chars(at, at + kNumberRoom, real).ptr;
        // Keep a fraction or an exponent so that the text reads back as a real.
        if (std::find_if(at, end, [](char ch) { return ch == '.' || ch == 'e'; }) == end) {
            *end++ = '.';
            *end++ = '0';
        }
        out.advanceTo(end);
        return true;
    }
    case Value::Kind::Object: {
        const auto proxy = value.objectAs<SNJsonProxy>();
        if (!proxy) break;
        // A proxy may stand for itself; the hard depth cap ends that.
        if (proxyDepth_ + 1 > kHardMaxDepth) {
            addErrorWithCodeDescription(kErrorDepth, "Nested too deep");
            return false;
        }
        ++proxyDepth_;
        const bool written = appendValueInto(proxy->proxyForJson(), out);
        --proxyDepth_;
        return written;
    }
    case Value::Kind::Data:
    case Value::Kind::Date: break;
    }
    addErrorWithCodeDescription(
        kErrorUnsupported, platform::Text::format("JSON serialisation not supported for %@", unsupportedName(value)));
    return false;
}

bool SNJsonWriter::appendArrayInto(const Value::Array& array, Output& out) {
    if (!enterContainer()) return false;
    out.put('[');
    bool first = true;
    for (const Value& item : array) {
        if (!first) out.put(',');
        first = false;
        if (humanReadable_) indent(out);
        if (!appendValueInto(item, out)) return false;
    }
    --depth_;
    if (humanReadable_ && !array.empty()) indent(out);
    out.put(']');
    return true;
}

bool SNJsonWriter::appendDictionaryInto(const Value::Dictionary& dictionary, Output& out) {
    if (!enterContainer()) return false;
    out.put('{');
    // Keys are always texts, and the dictionary keeps them in ascending
    // byte order, so sortKeys needs no work of its own.
    bool first = true;
    for (const auto& [key, item] : dictionary) {
        if (!first) out.put(',');
        first = false;
        if (humanReadable_) indent(out);
        appendStringInto(key, out);
        if (humanReadable_) {
            out.put(" : ", 3);
        } else {
            out.put(':');
        }
        if (!appendValueInto(item, out)) {
            addErrorWithCodeDescription(kErrorUnsupported,
                                        platform::Text::format("Unsupported value for key %@ in object", key));
            return false;
        }
    }
    --depth_;
    if (humanReadable_ && !dictionary.empty()) indent(out);
    out.put('}');
    return true;
}

void SNJsonWriter::appendStringInto(const std::string& text, Output& out) {
    const char* p = text.data();
    const char* end = p + text.size();
    // Room for the text and its quotes; an escape asks for more as it comes.
    char* o = out.reserve(text.size() + 2);
    *o++ = '"';
    for (;;) {
        // Runs without characters to escape are copied whole.
        const char* run = p;
        while (p < end && !kNeedsEscape[static_cast<unsigned char>(*p)]) ++p;
        std::memcpy(o, run, static_cast<std::size_t>(p - run));
        o += p - run;
        if (p == end) break;
        const auto ch = static_cast<unsigned char>(*p++);
        // Six bytes for the escape, and the rest of the text with its closing quote.
        out.advanceTo(o);
        o = out.reserve(6 + static_cast<std::size_t>(end - p) + 1);
        *o++ = '\\';
        switch (ch) {
        case '"': *o++ = '"'; break;
        case '\\': *o++ = '\\'; break;
        case '\b': *o++ = 'b'; break;
        case '\t': *o++ = 't'; break;
        case '\n': *o++ = 'n'; break;
        case '\f': *o++ = 'f'; break;
        case '\r': *o++ = 'r'; break;
        default: {
            static constexpr char kHex[] = "0123456789abcdef";
            const char escape[] = {'u', '0', '0', kHex[ch >> 4], kHex[ch & 0xF]};
            std::memcpy(o, escape, sizeof escape);
            o += sizeof escape;
        }
        }
    }
    *o++ = '"';
    out.advanceTo(o);
}

void SNJsonWriter::indent(Output& out) const {
    const std::size_t width = static_cast<std::size_t>(depth_) * 2;
    char* o = out.reserve(width + 1);
    *o++ = '\n';
    std::memset(o, ' ', width);
    out.advanceTo(o + width);
}

}  // namespace clipora
