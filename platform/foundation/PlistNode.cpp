#include "platform/foundation/PlistNode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace clipora::platform {

namespace {

constexpr char kBinaryMagic[] = "bplist00";
constexpr std::size_t kMagicLength = 8;
constexpr std::uint8_t kDateMarker = 0x33;  // object kind 3 (date), 8-byte payload

std::uint64_t doubleBits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

double bitsToDouble(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

plist_t fromValueAt(const Value& value, bool forXML, std::string* problem, int depth);

std::uint64_t readBigEndian(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value = (value << 8) | bytes[i];
    return value;
}

// libplist aborts the process (an assertion) when a string or dictionary
// key it hands out holds a NUL character, which only a damaged or hostile
// binary list contains. Such lists are refused before libplist sees them.
// Answers false for a list whose object table cannot be walked at all.
bool binaryStringsAreClean(const std::uint8_t* bytes, std::size_t length) {
    constexpr std::size_t kTrailer = 32;
    if (length < kMagicLength + kTrailer) return false;
    const std::uint8_t* trailer = bytes + length - kTrailer;
    std::size_t offsetSize = trailer[6];
    std::uint64_t objectCount = readBigEndian(trailer + 8, 8);
    std::uint64_t tableOffset = readBigEndian(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || tableOffset >= length) return false;
    if (objectCount > (length - tableOffset) / offsetSize) return false;
    for (std::uint64_t i = 0; i < objectCount; ++i) {
        std::uint64_t offset = readBigEndian(bytes + tableOffset + i * offsetSize, offsetSize);
        if (offset >= length) return false;
        std::uint8_t marker = bytes[offset];
        unsigned kind = marker >> 4;
        if (kind != 0x5 && kind != 0x6) continue;  // ASCII and UTF-16 strings
        std::uint64_t count = marker & 0x0F;
        std::uint64_t start = offset + 1;
        if (count == 0x0F) {
            if (start >= length || (bytes[start] >> 4) != 0x1) return false;
            std::size_t intSize = std::size_t{1} << (bytes[start] & 0x0F);
            if (intSize > 8 || start + 1 + intSize > length) return false;
            count = readBigEndian(bytes + start + 1, intSize);
            start += 1 + intSize;
        }
        std::uint64_t unit = kind == 0x5 ? 1 : 2;
        if (count > (length - start) / unit) return false;
        for (std::uint64_t c = 0; c < count; ++c) {
            const std::uint8_t* at = bytes + start + c * unit;
            if (at[0] == 0 && (unit == 1 || at[1] == 0)) return false;
        }
    }
    return true;
}
std::optional<Value> toValueAt(plist_t node, std::string* problem, int depth);

// The object count that a binary object's marker announces, and where its
// payload starts; std::nullopt when the count runs past the end.
std::optional<std::pair<std::uint64_t, std::size_t>> binaryCount(const std::uint8_t* bytes, std::size_t length,
                                                                 std::size_t offset) {
    std::uint64_t count = bytes[offset] & 0x0F;
    std::size_t start = offset + 1;
    if (count == 0x0F) {
        if (start >= length || (bytes[start] >> 4) != 0x1) return std::nullopt;
        std::size_t intSize = std::size_t{1} << (bytes[start] & 0x0F);
        if (intSize > 8 || start + 1 + intSize > length) return std::nullopt;
        count = readBigEndian(bytes + start + 1, intSize);
        start += 1 + intSize;
    }
    return std::pair{count, start};
}

// True when no chain of arrays, sets and dictionaries from the top object
// is longer than `limit` and no container holds itself. Each object is
// measured once (its height is kept), so shared objects cost nothing more,
// and the walk keeps its own stack.
bool binaryNestingWithin(const std::uint8_t* bytes, std::size_t length, int limit) {
    constexpr std::size_t kTrailer = 32;
    const std::uint8_t* trailer = bytes + length - kTrailer;  // the caller checked the length
    const std::size_t offsetSize = trailer[6];
    const std::size_t refSize = trailer[7];
    const std::uint64_t objectCount = readBigEndian(trailer + 8, 8);
    const std::uint64_t top = readBigEndian(trailer + 16, 8);
    const std::uint64_t tableOffset = readBigEndian(trailer + 24, 8);
    if (refSize < 1 || refSize > 8 || top >= objectCount) return false;

    constexpr int kUnseen = -1, kOpen = -2;
    std::vector<int> height(static_cast<std::size_t>(objectCount), kUnseen);
    struct Frame {
        std::uint64_t object;
        std::size_t refs;     // where its references start
        std::uint64_t count;  // how many it has
        std::uint64_t next = 0;
        int tallest = 0;  // of the children measured so far
    };
    std::vector<Frame> stack;
    // Opens a container (answers false for a broken one); other objects are
    // leaves of height 0.
    auto open = [&](std::uint64_t object) {
        const std::uint64_t offset = readBigEndian(bytes + tableOffset + object * offsetSize, offsetSize);
        const unsigned kind = bytes[offset] >> 4;
        if (kind != 0xA && kind != 0xB && kind != 0xC && kind != 0xD) {
            height[object] = 0;
            return true;
        }
        auto counted = binaryCount(bytes, length, offset);
        if (!counted) return false;
        auto [count, start] = *counted;
        if (kind == 0xD) {
            if (count > length) return false;
            count *= 2;  // keys, then values
        }
        if (count > (length - start) / refSize) return false;
        if (static_cast<int>(stack.size()) >= limit) return false;
        height[object] = kOpen;
        stack.push_back({object, start, count});
        return true;
    };
    if (!open(top)) return false;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.count) {
            height[frame.object] = frame.tallest + 1;
            const int done = frame.tallest + 1;
            stack.pop_back();
            if (!stack.empty()) stack.back().tallest = std::max(stack.back().tallest, done);
            continue;
        }
        const std::uint64_t child = readBigEndian(bytes + frame.refs + frame.next * refSize, refSize);
        ++frame.next;
        if (child >= objectCount || height[child] == kOpen) return false;
        if (height[child] == kUnseen) {
            if (!open(child)) return false;
            if (height[child] == kOpen) continue;  // measured when its frame closes
        }
        stack.back().tallest = std::max(stack.back().tallest, height[child]);
    }
    return true;
}

// True when the elements of an XML text nest at most `limit` deep. The
// count must not depend on how a parser reads markup, so a document is
// refused where readings could differ: a '<' inside any markup (a tag,
// comment, CDATA section, declaration or processing instruction) or a '>'
// inside a quoted attribute value. Property lists never hold either.
bool xmlNestingWithin(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        const std::string_view rest = text.substr(at);
        std::string_view close = ">";
        if (rest.starts_with("<!--"))
            close = "-->";
        else if (rest.starts_with("<![CDATA["))
            close = "]]>";
        std::size_t end = text.find(close, at + 1);
        if (end == std::string_view::npos) return true;  // unfinished: the parser refuses it
        const std::string_view markup = text.substr(at + 1, end - at - 1);
        if (markup.find('<') != std::string_view::npos) return false;
        at = end + close.size();
        if (close != ">" || rest.starts_with("<?") || rest.starts_with("<!")) continue;
        if (rest.starts_with("</")) {
            if (depth > 0) --depth;
            continue;
        }
        char quote = 0;
        for (char c : markup) {
            if (quote && c == quote)
                quote = 0;
            else if (!quote && (c == '"' || c == '\''))
                quote = c;
        }
        if (quote) return false;  // the '>' that ends the tag would be quoted
        if (!markup.ends_with('/') && ++depth > limit) return false;
    }
    return true;
}

void setProblem(std::string* problem, std::string text) {
    if (problem) *problem = std::move(text);
}

}  // namespace

PlistNode::~PlistNode() {
    if (node_) plist_free(node_);
}

PlistNode& PlistNode::operator=(PlistNode&& other) noexcept {
    if (this != &other) {
        if (node_) plist_free(node_);
        node_ = other.release();
    }
    return *this;
}

PlistNode PlistNode::parse(const std::uint8_t* bytes, std::size_t length) {
    if (!bytes || length == 0 || length > std::numeric_limits<std::uint32_t>::max()) return PlistNode();
    plist_t node = nullptr;
    const char* text = reinterpret_cast<const char*>(bytes);
    if (length >= kMagicLength && std::memcmp(text, kBinaryMagic, kMagicLength) == 0) {
        if (!binaryStringsAreClean(bytes, length) || !binaryNestingWithin(bytes, length, PlistNode::kMaxDepth))
            return PlistNode();
        plist_from_bin(text, static_cast<std::uint32_t>(length), &node);
    } else {
        // XML cannot carry a NUL character; refuse one rather than let it
        // reach a string.
        if (std::memchr(bytes, 0, length)) return PlistNode();
        // The "plist" element and a leaf inside the innermost container
        // come on top of the containers.
        if (!xmlNestingWithin(std::string_view(text, length), PlistNode::kMaxDepth + 2)) return PlistNode();
        plist_from_xml(text, static_cast<std::uint32_t>(length), &node);
    }
    return PlistNode(node);
}

std::optional<Data> PlistNode::toBinary(plist_t node) {
    if (!node) return std::nullopt;
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(node, &bytes, &length);
    if (!bytes) return std::nullopt;
    Data data(reinterpret_cast<std::uint8_t*>(bytes), reinterpret_cast<std::uint8_t*>(bytes) + length);
    plist_to_bin_free(bytes);
    return data;
}

std::optional<Data> PlistNode::toXML(plist_t node) {
    if (!node) return std::nullopt;
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(node, &bytes, &length);
    if (!bytes) return std::nullopt;
    Data data(reinterpret_cast<std::uint8_t*>(bytes), reinterpret_cast<std::uint8_t*>(bytes) + length);
    plist_to_xml_free(bytes);
    return data;
}

plist_t PlistNode::newDate(Date date) {
    // "bplist00", the date object at offset 8, a one-entry offset table at 17
    // and the 32-byte trailer (offset size 1, reference size 1, one object,
    // top object 0, offset table at 17).
    std::uint8_t bytes[kMagicLength + 9 + 1 + 32] = {};
    std::memcpy(bytes, kBinaryMagic, kMagicLength);
    bytes[8] = kDateMarker;
    std::uint64_t bits = doubleBits(date.timeIntervalSinceReferenceDate());
    for (int i = 0; i < 8; ++i) bytes[9 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    bytes[17] = 8;
    std::uint8_t* trailer = bytes + 18;
    trailer[6] = 1;
    trailer[7] = 1;
    trailer[15] = 1;
    trailer[31] = 17;
    plist_t node = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(bytes), sizeof bytes, &node);
    return node;
}

std::optional<Date> PlistNode::dateValue(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_DATE) return std::nullopt;
    // Serialize a detached copy so that only this node is written.
    PlistNode copy(plist_copy(node));
    auto bytes = toBinary(copy.get());
    if (!bytes || bytes->size() < kMagicLength + 9 || (*bytes)[kMagicLength] != kDateMarker) return std::nullopt;
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = (bits << 8) | (*bytes)[kMagicLength + 1 + i];
    return Date(bitsToDouble(bits));
}

plist_t PlistNode::newData(const Data& data) {
    static const char kNothing = 0;
    const char* bytes = data.empty() ? &kNothing : reinterpret_cast<const char*>(data.data());
    return plist_new_data(bytes, data.size());
}

std::string PlistNode::stringValue(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) return {};
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return text ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

std::string PlistNode::keyValue(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_KEY) return {};
    char* text = nullptr;
    plist_get_key_val(node, &text);
    std::string result = text ? text : "";
    std::free(text);
    return result;
}

plist_t PlistNode::fromValue(const Value& value, bool forXML, std::string* problem) {
    return fromValueAt(value, forXML, problem, 0);
}

std::optional<Value> PlistNode::toValue(plist_t node, std::string* problem) { return toValueAt(node, problem, 0); }

namespace {

// `depth` counts the containers around the value.
plist_t fromValueAt(const Value& value, bool forXML, std::string* problem, int depth) {
    if ((value.isArray() || value.isDictionary()) && depth >= PlistNode::kMaxDepth) {
        setProblem(problem, "nested too deeply");
        return nullptr;
    }
    switch (value.kind()) {
    case Value::Kind::Null: setProblem(problem, "a null value has no property-list form"); return nullptr;
    case Value::Kind::Object: setProblem(problem, "an object has no property-list form"); return nullptr;
    case Value::Kind::Bool: return plist_new_bool(*value.boolean() ? 1 : 0);
    case Value::Kind::Integer:
        if (value.isUnsignedInteger()) {
            std::uint64_t u = *value.unsignedInteger();
            if (forXML && u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                setProblem(problem, "an unsigned integer above 2^63-1 has no XML property-list form");
                return nullptr;
            }
            return plist_new_uint(u);
        }
        return plist_new_uint(static_cast<std::uint64_t>(*value.integer()));
    case Value::Kind::Real: return plist_new_real(*value.real());
    case Value::Kind::String: return plist_new_string(value.string()->c_str());
    case Value::Kind::Data: {
        const Data& data = *value.data();
        return PlistNode::newData(data);
    }
    case Value::Kind::Date: {
        plist_t node = PlistNode::newDate(*value.date());
        if (!node) setProblem(problem, "date could not be converted");
        return node;
    }
    case Value::Kind::Array: {
        PlistNode array(plist_new_array());
        for (const Value& item : *value.array()) {
            plist_t child = fromValueAt(item, forXML, problem, depth + 1);
            if (!child) return nullptr;
            plist_array_append_item(array.get(), child);
        }
        return array.release();
    }
    case Value::Kind::Dictionary: {
        PlistNode dict(plist_new_dict());
        for (const auto& [key, item] : *value.dictionary()) {
            plist_t child = fromValueAt(item, forXML, problem, depth + 1);
            if (!child) return nullptr;
            plist_dict_set_item(dict.get(), key.c_str(), child);
        }
        return dict.release();
    }
    }
    setProblem(problem, "unknown value kind");
    return nullptr;
}

std::optional<Value> toValueAt(plist_t node, std::string* problem, int depth) {
    if (!node) {
        setProblem(problem, "missing node");
        return std::nullopt;
    }
    const plist_type type = plist_get_node_type(node);
    if ((type == PLIST_ARRAY || type == PLIST_DICT) && depth >= PlistNode::kMaxDepth) {
        setProblem(problem, "nested too deeply");
        return std::nullopt;
    }
    switch (type) {
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return Value(static_cast<long long>(static_cast<std::int64_t>(u)));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING: return Value(PlistNode::stringValue(node));
    case PLIST_DATA: {
        std::uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        if (!bytes) return Value(Data());
        return Value(
            Data(reinterpret_cast<const std::uint8_t*>(bytes), reinterpret_cast<const std::uint8_t*>(bytes) + length));
    }
    case PLIST_DATE: {
        auto date = PlistNode::dateValue(node);
        if (!date) {
            setProblem(problem, "unreadable date");
            return std::nullopt;
        }
        return Value(*date);
    }
    case PLIST_ARRAY: {
        Value::Array items;
        std::uint32_t count = plist_array_get_size(node);
        items.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            auto item = toValueAt(plist_array_get_item(node, i), problem, depth + 1);
            if (!item) return std::nullopt;
            items.push_back(std::move(*item));
        }
        return Value(std::move(items));
    }
    case PLIST_DICT: {
        Value::Dictionary entries;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            if (!item) {
                std::free(key);
                break;
            }
            std::string name = key ? key : "";
            std::free(key);
            auto converted = toValueAt(item, problem, depth + 1);
            if (!converted) {
                std::free(it);
                return std::nullopt;
            }
            entries.insert_or_assign(std::move(name), std::move(*converted));
        }
        std::free(it);
        return Value(std::move(entries));
    }
    case PLIST_UID: setProblem(problem, "a UID has no value form"); return std::nullopt;
    case PLIST_KEY:
    case PLIST_NONE: break;
    }
    setProblem(problem, "unexpected node kind");
    return std::nullopt;
}

}  // namespace

}  // namespace clipora::platform
