#include "social/json/SNJsonWriter.h"

#include <cxxabi.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
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

std::string className(const platform::Object& object) {
    const char* mangled = typeid(object).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     std::free);
    return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangled);
}

// The name a value's kind goes by in "not supported" errors.
std::string unsupportedName(const Value& value) {
    switch (value.kind()) {
        case Value::Kind::Data: return "Data";
        case Value::Kind::Date: return "Date";
        case Value::Kind::Object: return className(*value.object());
        case Value::Kind::Real: {
            const double real = *value.real();
            return std::isnan(real) ? "nan" : real > 0 ? "inf" : "-inf";
        }
        default: return "value";
    }
}

void appendReal(double real, std::string& out) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, real);
    out.append(buffer, result.ptr);
    // Keep a fraction or an exponent so that the text reads back as a real.
    for (const char* p = buffer; p < result.ptr; ++p)
        if (*p == '.' || *p == 'e') return;
    out.append(".0");
}

}  // namespace

std::optional<std::string> SNJsonWriter::stringWithFragment(const Value& value) {
    clearErrorTrace();
    depth_ = 0;
    proxyDepth_ = 0;
    std::string out;
    out.reserve(128);
    if (!appendValueInto(value, out)) return std::nullopt;
    return out;
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

bool SNJsonWriter::appendValueInto(const Value& value, std::string& out) {
    switch (value.kind()) {
        case Value::Kind::Dictionary: return appendDictionaryInto(*value.dictionary(), out);
        case Value::Kind::Array: return appendArrayInto(*value.array(), out);
        case Value::Kind::String: appendStringInto(*value.string(), out); return true;
        case Value::Kind::Bool: out.append(*value.boolean() ? "true" : "false"); return true;
        case Value::Kind::Null: out.append("null"); return true;
        case Value::Kind::Integer: {
            char buffer[24];
            const auto result = value.isUnsignedInteger()
                                    ? std::to_chars(buffer, buffer + sizeof buffer, *value.unsignedInteger())
                                    : std::to_chars(buffer, buffer + sizeof buffer, *value.integer());
            out.append(buffer, result.ptr);
            return true;
        }
        case Value::Kind::Real: {
            const double real = *value.real();
            if (!std::isfinite(real)) break;  // no JSON text for NaN or infinities
            appendReal(real, out);
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
    addErrorWithCodeDescription(kErrorUnsupported,
                                platform::Text::format("JSON serialisation not supported for %@", unsupportedName(value)));
    return false;
}

bool SNJsonWriter::appendArrayInto(const Value::Array& array, std::string& out) {
    if (!enterContainer()) return false;
    out.push_back('[');
    bool first = true;
    for (const Value& item : array) {
        if (!first) out.push_back(',');
        first = false;
        if (humanReadable_) indent(out);
        if (!appendValueInto(item, out)) return false;
    }
    --depth_;
    if (humanReadable_ && !array.empty()) indent(out);
    out.push_back(']');
    return true;
}

bool SNJsonWriter::appendDictionaryInto(const Value::Dictionary& dictionary, std::string& out) {
    if (!enterContainer()) return false;
    out.push_back('{');
    // Keys are always texts, and the dictionary keeps them in ascending
    // byte order, so sortKeys needs no work of its own.
    bool first = true;
    for (const auto& [key, item] : dictionary) {
        if (!first) out.push_back(',');
        first = false;
        if (humanReadable_) indent(out);
        appendStringInto(key, out);
        if (humanReadable_) {
            out.append(" : ");
        } else {
            out.push_back(':');
        }
        if (!appendValueInto(item, out)) {
            addErrorWithCodeDescription(kErrorUnsupported,
                                        platform::Text::format("Unsupported value for key %@ in object", key));
            return false;
        }
    }
    --depth_;
    if (humanReadable_ && !dictionary.empty()) indent(out);
    out.push_back('}');
    return true;
}

void SNJsonWriter::appendStringInto(const std::string& text, std::string& out) {
    out.push_back('"');
    const char* p = text.data();
    const char* end = p + text.size();
    for (;;) {
        // Runs without characters to escape are copied whole.
        const char* run = p;
        while (p < end && !kNeedsEscape[static_cast<unsigned char>(*p)]) ++p;
        out.append(run, p);
        if (p == end) break;
        const auto ch = static_cast<unsigned char>(*p++);
        switch (ch) {
            case '"': out.append("\\\""); break;
            case '\\': out.append("\\\\"); break;
            case '\b': out.append("\\b"); break;
            case '\t': out.append("\\t"); break;
            case '\n': out.append("\\n"); break;
            case '\f': out.append("\\f"); break;
            case '\r': out.append("\\r"); break;
            default: {
                static constexpr char kHex[] = "0123456789abcdef";
                const char escape[] = {'\\', 'u', '0', '0', kHex[ch >> 4], kHex[ch & 0xF]};
                out.append(escape, sizeof escape);
            }
        }
    }
    out.push_back('"');
}

void SNJsonWriter::indent(std::string& out) const {
    out.push_back('\n');
    out.append(static_cast<std::size_t>(depth_) * 2, ' ');
}

}  // namespace clipora
