#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace clipora::platform {

// The header fields of one HTTP message: names match case-insensitively, the
// first spelling seen is kept, and fields keep the order they were first added
// in. A name can carry several values (a response's repeated fields); value()
// joins them with ", ", which is how HTTP folds repeated fields, while
// values() keeps them apart for the one field that must not be folded
// ("Set-Cookie", whose expiry dates contain commas).
class HTTPHeaders {
public:
    struct Field {
        std::string name;
        std::vector<std::string> values;
    };

    HTTPHeaders() = default;

    // True when the text may stand as a field name (an HTTP token) or a
    // field value (no CR, LF or NUL; other control bytes but tab refused).
    static bool isValidName(std::string_view name);
    static bool isValidValue(std::string_view value);
    static bool equalNames(std::string_view a, std::string_view b);

    // Replaces every value of the field with one value, keeping the field's
    // place and first spelling; a new field goes last. Refuses (false) a name
    // or value that is not valid.
    bool set(std::string_view name, std::string_view value);
    // Adds a further value to the field (a repeated field).
    bool add(std::string_view name, std::string_view value);
    // Removes the field; false when it was absent.
    bool remove(std::string_view name);
    void clear() { fields_.clear(); }

    bool contains(std::string_view name) const { return find(name) != nullptr; }
    // The values joined with ", ", or nothing when the field is absent.
    std::optional<std::string> value(std::string_view name) const;
    std::vector<std::string> values(std::string_view name) const;
    // The name as the sender spelled it, when present.
    std::optional<std::string> spelling(std::string_view name) const;

    const std::vector<Field>& fields() const { return fields_; }
    // Every field as (name, joined value) in order.
    std::vector<std::pair<std::string, std::string>> joined() const;
    std::size_t size() const { return fields_.size(); }
    bool empty() const { return fields_.empty(); }

    friend bool operator==(const HTTPHeaders& a, const HTTPHeaders& b);

private:
    const Field* find(std::string_view name) const;
    Field* find(std::string_view name);

    std::vector<Field> fields_;
};

}  // namespace clipora::platform
