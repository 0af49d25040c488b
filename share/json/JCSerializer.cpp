#include "share/json/JCSerializer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/foundation/InvalidArgumentException.h"
#include "platform/foundation/Text.h"
#include "share/json/JCArray.h"
#include "share/json/JCDictionary.h"
#include "share/json/JCUTF8.h"
#include "share/json/JSONDecoder.h"
#include "social/json/SNJsonOutput.h"
#include "social/json/SNJsonScan.h"
#include "social/json/SNJsonWriter.h"

namespace clipora {

using platform::Value;

namespace {

// Room for the longest integer or "%.17g" double.
constexpr std::size_t kNumberRoom = 32;
constexpr char kHex[] = "0123456789abcdef";

// The name a value's class goes by in error messages.
std::string className(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Null: return "Null";
    case Value::Kind::Bool:
    case Value::Kind::Integer:
    case Value::Kind::Real: return "Number";
    case Value::Kind::String: return "String";
    case Value::Kind::Data: return "Data";
    case Value::Kind::Date: return "Date";
    case Value::Kind::Array: return "Array";
    case Value::Kind::Dictionary: return "Dictionary";
    case Value::Kind::Object: return SNJsonWriter::className(*value.object());
    }
    return "Value";
}

// A decoded collection carried by a platform value, as a JCValue.
std::optional<JCValue> decodedCollection(const Value& value) {
    const auto object = value.objectAs<JCObject>();
    if (!object) return std::nullopt;
    return JSONDecoder::rootValue(*object);
}

bool isSupported(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Data:
    case Value::Kind::Date: return false;
    case Value::Kind::Object: return decodedCollection(value).has_value();
    default: return true;
    }
}

}  // namespace

class JCSerializer::Writer {
public:
    Writer(unsigned serializeOptions, unsigned encodeOptions, const UnsupportedClassBlock* block,
           JCSerializerDelegate* delegate, JCSerializerDelegate::Selector selector, std::size_t sizeHint)
        : out_(sizeHint), pretty_(serializeOptions & kSerializeOptionPretty),
          escapeUnicode_(serializeOptions & kSerializeOptionEscapeUnicode),
          escapeSlash_(serializeOptions & kSerializeOptionEscapeForwardSlashes),
          topLevelQuotes_(!(encodeOptions & kEncodeStringWithoutQuotes)), block_(block), delegate_(delegate),
          selector_(selector) {}

    // ---- Platform values ----------------------------------------------

    bool write(const Value& value) {
        switch (value.kind()) {
        case Value::Kind::Null: out_.put("null", 4); return true;
        case Value::Kind::Bool: writeBool(*value.boolean()); return true;
        case Value::Kind::Integer:
            if (value.isUnsignedInteger()) {
                writeInteger(*value.unsignedInteger());
            } else {
                writeInteger(*value.integer());
            }
            return true;
        case Value::Kind::Real: return writeReal(*value.real());
        case Value::Kind::String: return writeString(*value.string());
        case Value::Kind::Array: return writeArray(*value.array());
        case Value::Kind::Dictionary: {
            if (!enter('{')) return false;
            // Kept in ascending key order already, which is also the
            // pretty form's order.
            bool first = true;
            for (const auto& [key, element] : *value.dictionary()) {
                separate(first);
                if (!writeKey(key) || !write(element)) return false;
            }
            leave('}');
            return true;
        }
        case Value::Kind::Object:
            if (const auto collection = decodedCollection(value)) return write(*collection);
            return writeUnsupported(value);
        case Value::Kind::Data:
        case Value::Kind::Date: return writeUnsupported(value);
        }
        return false;
    }

    // ---- Decoded values -------------------------------------------------

    bool write(const JCValue& value) {
        switch (value.kind()) {
        case JCValue::Kind::Null: out_.put("null", 4); return true;
        case JCValue::Kind::Bool: writeBool(value.boolean()); return true;
        case JCValue::Kind::Integer: writeInteger(value.integer()); return true;
        case JCValue::Kind::UnsignedInteger: writeInteger(value.unsignedValue()); return true;
        case JCValue::Kind::Real: return writeReal(value.real());
        case JCValue::Kind::String: return writeString(value.text());
        case JCValue::Kind::Array: return writeArray(*value.array());
        case JCValue::Kind::Dictionary: {
            const JCDictionary& dictionary = *value.dictionary();
            if (!enter('{')) return false;
            bool first = true;
            if (!pretty_) {
                // The dictionary's own (slot) order.
                for (std::size_t slot = 0; slot < dictionary.capacity(); ++slot) {
                    const JCHashTableEntry& entry = dictionary.entryAtSlot(slot);
                    if (!entry.key) continue;
                    separate(first);
                    if (!writeKey(entry.key->view()) || !write(entry.object)) return false;
                }
            } else {
                std::vector<const JCHashTableEntry*> entries;
                entries.reserve(dictionary.count());
                for (std::size_t slot = 0; slot < dictionary.capacity(); ++slot)
                    if (dictionary.entryAtSlot(slot).key) entries.push_back(&dictionary.entryAtSlot(slot));
                std::sort(entries.begin(), entries.end(),
                          [](const auto* a, const auto* b) { return a->key->view() < b->key->view(); });
                for (const JCHashTableEntry* entry : entries) {
                    separate(first);
                    if (!writeKey(entry->key->view()) || !write(entry->object)) return false;
                }
            }
            leave('}');
            return true;
        }
        }
        return false;
    }

    // A top-level string, with or without its quotes.
    bool writeTopLevelString(std::string_view text) { return writeString(text, topLevelQuotes_); }

    void fail(std::string message) {
        if (!error_) error_ = std::move(message);
    }
    const std::optional<std::string>& error() const { return error_; }
    SNJsonOutput& output() { return out_; }

private:
    template <class Elements>
    bool writeArray(const Elements& elements) {
        if (!enter('[')) return false;
        bool first = true;
        for (const auto& element : elements) {
            separate(first);
            if (!write(element)) return false;
        }
        leave(']');
        return true;
    }

    void writeBool(bool value) {
        if (value) {
            out_.put("true", 4);
        } else {
            out_.put("false", 5);
        }
    }

    template <class Integer>
    void writeInteger(Integer value) {
        char* at = out_.reserve(kNumberRoom);
        out_.advanceTo(std::to_chars(at, at + kNumberRoom, value).ptr);
    }

    bool writeReal(double value) {
        if (!std::isfinite(value)) {
            fail("Floating point values must be finite.  JSON does not support NaN or Infinity.");
            return false;
        }
        // The same text as printf's "%.17g", without its cost.
        char* at = out_.reserve(kNumberRoom);
        out_.advanceTo(std::to_chars(at, at + kNumberRoom, value, std::chars_format::general, 17).ptr);
        return true;
    }

    bool enter(char bracket) {
        if (depth_ >= kMaxDepth) {
            fail("nesting too deep");
            return false;
        }
        ++depth_;
        out_.put(bracket);
        if (pretty_) indent();
        return true;
    }

    void leave(char bracket) {
        --depth_;
        if (pretty_) indent();
        out_.put(bracket);
    }

    // Before each element: a comma from the second on, and the indentation.
    void separate(bool& first) {
        if (first) {
            first = false;
            return;
        }
        out_.put(',');
        if (pretty_) indent();
    }

    void indent() {
        const std::size_t width = static_cast<std::size_t>(depth_) * 2;
        char* o = out_.reserve(width + 1);
        *o++ = '\n';
        std::memset(o, ' ', width);
        out_.advanceTo(o + width);
    }

    bool writeKey(std::string_view key) {
        if (!writeString(key)) return false;
        if (pretty_) {
            out_.put(": ", 2);
        } else {
            out_.put(':');
        }
        return true;
    }

    bool writeString(std::string_view text, bool quotes = true) {
        const char* p = text.data();
        const char* end = p + text.size();
        // Room for the text and its quotes; escapes ask for more as they come.
        char* o = out_.reserve(text.size() + 2);
        if (quotes) *o++ = '"';
        for (;;) {
            const char* run = p;
            p = SNJsonScan::skipPlainRun(p, end);
            // The slash is plain to the scan; with its option it is escaped.
            if (escapeSlash_) {
                const char* slash = static_cast<const char*>(std::memchr(run, '/', static_cast<std::size_t>(p - run)));
                if (slash) p = slash;
            }
            std::memcpy(o, run, static_cast<std::size_t>(p - run));
            o += p - run;
            if (p == end) break;
            const auto ch = static_cast<unsigned char>(*p);
            // Twelve bytes for the longest escape, and the rest with a quote.
            out_.advanceTo(o);
            o = out_.reserve(12 + static_cast<std::size_t>(end - p) + 1);
            if (ch < 0x80) {
                ++p;
                *o++ = '\\';
                switch (ch) {
                case '"':
                case '\\':
                case '/': *o++ = static_cast<char>(ch); break;
                case '\b': *o++ = 'b'; break;
                case '\t': *o++ = 't'; break;
                case '\n': *o++ = 'n'; break;
                case '\f': *o++ = 'f'; break;
                case '\r': *o++ = 'r'; break;
                default: o = writeUnit(o - 1, ch);
                }
                continue;
            }
            const auto* bytes = reinterpret_cast<const unsigned char*>(p);
            const auto* bytesEnd = reinterpret_cast<const unsigned char*>(end);
            std::uint32_t codePoint = 0;
            const int length = JCUTF8::sequenceLength(bytes, bytesEnd, &codePoint, false);
            if (length <= 0) {
                // Bytes that are not UTF-8 cannot be written as they are:
                // each becomes "?", as a lossy conversion to UTF-8 would do.
                *o++ = '?';
                ++p;
                continue;
            }
            if (!escapeUnicode_) {
                std::memcpy(o, p, static_cast<std::size_t>(length));
                o += length;
            } else if (!JCUTF8::isAllowedCodePoint(codePoint)) {
                out_.advanceTo(o);
                fail("Error converting UTF8.");
                return false;
            } else if (codePoint > 0xFFFF) {
                o = writeUnit(o, (codePoint >> 10) + 0xD7C0);
                o = writeUnit(o, (codePoint & 0x3FF) | 0xDC00);
            } else {
                o = writeUnit(o, codePoint);
            }
            p += length;
        }
        if (quotes) *o++ = '"';
        out_.advanceTo(o);
        return true;
    }

    // "\u%4.4x".
    static char* writeUnit(char* o, std::uint32_t unit) {
        const char escape[] = {
            '\\', 'u', kHex[(unit >> 12) & 0xF], kHex[(unit >> 8) & 0xF], kHex[(unit >> 4) & 0xF], kHex[unit & 0xF]};
        std::memcpy(o, escape, sizeof escape);
        return o + sizeof escape;
    }

    bool writeUnsupported(const Value& object) {
        std::optional<Value> replacement;
        if (block_ && *block_) {
            replacement = (*block_)(object);
        } else if (delegate_ && selector_) {
            replacement = (delegate_->*selector_)(object);
        }
        if (!replacement) {
            fail(platform::Text::format("Unable to serialize object class %s.", className(object)));
            return false;
        }
        if (!isSupported(*replacement)) {
            fail(
                platform::Text::format("Unable to serialize object class %s that was returned by the unsupported class "
                                       "formatter.  Original object class was %s.",
                                       className(*replacement), className(object)));
            return false;
        }
        // Written as any value; what it holds may again need the hook.
        return write(*replacement);
    }

    SNJsonOutput out_;
    bool pretty_;
    bool escapeUnicode_;
    bool escapeSlash_;
    bool topLevelQuotes_;
    const UnsupportedClassBlock* block_;
    JCSerializerDelegate* delegate_;
    JCSerializerDelegate::Selector selector_;
    unsigned depth_ = 0;
    std::optional<std::string> error_;
};

std::optional<Value> JCSerializer::finish(Writer& writer, bool written, unsigned encodeOptions,
                                          std::optional<platform::Error>* error) {
    const unsigned encodeAs = encodeOptions & 7;
    if (written && encodeAs != kEncodeAsData && encodeAs != kEncodeAsString) writer.fail("Unknown encode as type.");
    if (writer.error() || !written) {
        if (error)
            *error = platform::Error::withDescription(std::string(JSONDecoder::kErrorDomain), JSONDecoder::kErrorCode,
                                                      writer.error().value_or("Unable to serialize object."));
        return std::nullopt;
    }
    lastSize_ = writer.output().size();
    std::string text = writer.output().take();
    if (encodeAs == kEncodeAsString) return Value(std::move(text));
    return Value(platform::Data(text.begin(), text.end()));
}

std::optional<Value> JCSerializer::serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
    const Value& object, unsigned serializeOptions, unsigned encodeOptions, const UnsupportedClassBlock& block,
    const std::shared_ptr<JCSerializerDelegate>& delegate, JCSerializerDelegate::Selector selector,
    std::optional<platform::Error>* error) {
    if (error) error->reset();
    if (delegate && !selector)
        throw platform::InvalidArgumentException(
            "The delegate argument is not NULL, but the selector argument is NULL.");
    Writer writer(serializeOptions, encodeOptions, &block, delegate.get(), selector, sizeHint());
    bool written = false;
    if ((encodeOptions & kEncodeOnlyCollections) && !object.isArray() && !object.isDictionary() &&
        !decodedCollection(object)) {
        writer.fail(platform::Text::format("Unable to serialize object class %s, expected a NSArray or NSDictionary.",
                                           className(object)));
    } else if ((encodeOptions & kEncodeOnlyString) && !object.isString()) {
        writer.fail(
            platform::Text::format("Unable to serialize object class %s, expected a NSString.", className(object)));
    } else if (object.isString()) {
        written = writer.writeTopLevelString(*object.string());
    } else {
        written = writer.write(object);
    }
    return finish(writer, written, encodeOptions, error);
}

std::optional<Value> JCSerializer::serializeValueOptionsEncodeOptionError(const JCValue& value,
                                                                          unsigned serializeOptions,
                                                                          unsigned encodeOptions,
                                                                          std::optional<platform::Error>* error) {
    if (error) error->reset();
    Writer writer(serializeOptions, encodeOptions, nullptr, nullptr, nullptr, sizeHint());
    bool written = false;
    if ((encodeOptions & kEncodeOnlyCollections) && !value.isArray() && !value.isDictionary()) {
        writer.fail(platform::Text::format("Unable to serialize object class %s, expected a NSArray or NSDictionary.",
                                           className(value.toValue())));
    } else if ((encodeOptions & kEncodeOnlyString) && !value.isString()) {
        writer.fail(platform::Text::format("Unable to serialize object class %s, expected a NSString.",
                                           className(value.toValue())));
    } else if (value.isString()) {
        written = writer.writeTopLevelString(value.text());
    } else {
        written = writer.write(value);
    }
    return finish(writer, written, encodeOptions, error);
}

std::size_t JCSerializer::sizeHint() const { return lastSize_ + lastSize_ / 8 + 4096; }

namespace {

std::optional<std::string> asString(std::optional<Value> value) {
    if (!value) return std::nullopt;
    return std::move(*value->string());
}

std::optional<platform::Data> asData(std::optional<Value> value) {
    if (!value) return std::nullopt;
    return std::move(*value->data());
}

constexpr unsigned kCollectionAsData = JCSerializer::kEncodeAsData | JCSerializer::kEncodeOnlyCollections;
constexpr unsigned kCollectionAsString = JCSerializer::kEncodeAsString | JCSerializer::kEncodeOnlyCollections;

}  // namespace

std::optional<platform::Data> JCSerializer::JSONDataWithOptionsError(const Value& collection, unsigned serializeOptions,
                                                                     std::optional<platform::Error>* error) {
    return asData(JCSerializer().serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
        collection, serializeOptions, kCollectionAsData, nullptr, nullptr, nullptr, error));
}

std::optional<std::string> JCSerializer::JSONStringWithOptionsError(const Value& collection, unsigned serializeOptions,
                                                                    std::optional<platform::Error>* error) {
    return asString(JCSerializer().serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
        collection, serializeOptions, kCollectionAsString, nullptr, nullptr, nullptr, error));
}

std::optional<std::string> JCSerializer::JSONStringWithOptionsSerializeUnsupportedClassesUsingBlockError(
    const Value& collection, unsigned serializeOptions, const UnsupportedClassBlock& block,
    std::optional<platform::Error>* error) {
    return asString(JCSerializer().serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
        collection, serializeOptions, kCollectionAsString, block, nullptr, nullptr, error));
}

std::optional<std::string> JCSerializer::JSONStringWithOptionsSerializeUnsupportedClassesUsingDelegateSelectorError(
    const Value& collection, unsigned serializeOptions, const std::shared_ptr<JCSerializerDelegate>& delegate,
    JCSerializerDelegate::Selector selector, std::optional<platform::Error>* error) {
    return asString(JCSerializer().serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
        collection, serializeOptions, kCollectionAsString, nullptr, delegate, selector, error));
}

std::optional<std::string> JCSerializer::JSONStringWithOptionsError(const JCValue& collection,
                                                                    unsigned serializeOptions,
                                                                    std::optional<platform::Error>* error) {
    return asString(JCSerializer().serializeValueOptionsEncodeOptionError(collection, serializeOptions,
                                                                          kCollectionAsString, error));
}

std::optional<platform::Data> JCSerializer::JSONDataWithOptionsError(const JCValue& collection,
                                                                     unsigned serializeOptions,
                                                                     std::optional<platform::Error>* error) {
    return asData(
        JCSerializer().serializeValueOptionsEncodeOptionError(collection, serializeOptions, kCollectionAsData, error));
}

std::optional<std::string> JCSerializer::JSONStringWithOptionsIncludeQuotesError(
    std::string_view text, unsigned serializeOptions, bool includeQuotes, std::optional<platform::Error>* error) {
    return asString(JCSerializer().serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
        Value(text), serializeOptions,
        kEncodeAsString | kEncodeOnlyString | (includeQuotes ? 0 : kEncodeStringWithoutQuotes), nullptr, nullptr,
        nullptr, error));
}

std::optional<platform::Data> JCSerializer::JSONDataWithOptionsIncludeQuotesError(
    std::string_view text, unsigned serializeOptions, bool includeQuotes, std::optional<platform::Error>* error) {
    return asData(JCSerializer().serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
        Value(text), serializeOptions,
        kEncodeAsData | kEncodeOnlyString | (includeQuotes ? 0 : kEncodeStringWithoutQuotes), nullptr, nullptr, nullptr,
        error));
}

}  // namespace clipora
