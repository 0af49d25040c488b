#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <plist/plist.h>

#include "platform/foundation/Date.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// Owns one libplist node tree and frees it; plus the node-level helpers that
// the property-list and keyed-archive code share.
//
// libplist's own date accessors carry whole seconds in 32 bits (so the
// distant past and future, or anything before 1933 and after 2069, would be
// lost) and drop the sign of a fraction near the reference date. Dates are
// therefore made and read through a one-object binary property list, whose
// date is the exact 64-bit floating-point count of seconds.
class PlistNode {
public:
    PlistNode() = default;
    explicit PlistNode(plist_t node) : node_(node) {}
    ~PlistNode();
    PlistNode(PlistNode&& other) noexcept : node_(other.release()) {}
    PlistNode& operator=(PlistNode&& other) noexcept;
    PlistNode(const PlistNode&) = delete;
    PlistNode& operator=(const PlistNode&) = delete;

    plist_t get() const { return node_; }
    plist_t release() {
        plist_t node = node_;
        node_ = nullptr;
        return node;
    }
    explicit operator bool() const { return node_ != nullptr; }

    // Parses a binary or XML property list (chosen by the first bytes).
    // An empty node when the bytes are not one. XML documents with a DOCTYPE
    // that declares entities are refused by the parser; so are lists with a
    // NUL character inside a string (libplist would abort on them). libplist
    // builds, and frees, its tree recursively without a limit of its own, so
    // the nesting is measured on the bytes first: a list whose containers
    // nest deeper than kMaxDepth (or a binary list whose references loop) is
    // refused before libplist sees it.
    static PlistNode parse(const std::uint8_t* bytes, std::size_t length);
    // Serializes the tree; std::nullopt when libplist produces nothing.
    static std::optional<Data> toBinary(plist_t node);
    static std::optional<Data> toXML(plist_t node);

    // A date node holding exactly `date`, at any distance from the reference date.
    static plist_t newDate(Date date);
    // The exact date of a date node; std::nullopt for another kind of node.
    static std::optional<Date> dateValue(plist_t node);

    // A data node (empty data included).
    static plist_t newData(const Data& data);

    // The text of a string or key node (empty for other kinds).
    static std::string stringValue(plist_t node);
    static std::string keyValue(plist_t node);

    // Value -> node tree. Null and shared objects have no property-list form;
    // neither has an unsigned integer above INT64_MAX in XML (`forXML`).
    // nullptr with `problem` set when something cannot be converted.
    static plist_t fromValue(const Value& value, bool forXML, std::string* problem);
    // Node tree -> Value (integers as signed 64-bit; UIDs are refused).
    // std::nullopt with `problem` set when the tree holds something else or
    // nests deeper than kMaxDepth.
    static std::optional<Value> toValue(plist_t node, std::string* problem);

    // Arrays and dictionaries nest at most this deep: 512 containers one in
    // another are read and written, a 513th is refused.
    static constexpr int kMaxDepth = 512;

private:
    plist_t node_ = nullptr;
};

}  // namespace clipora::platform
