#include "platform/cfnetwork/HTTPHeaders.h"

#include <algorithm>

namespace clipora::platform {

namespace {

bool isTokenChar(unsigned char c) {
    if (c >= '0' && c <= '9') return true;
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') return true;
    switch (c) {
    case '!':
    case '#':
    case '$':
    case '%':
    case '&':
    case '\'':
    case '*':
    case '+':
    case '-':
    case '.':
    case '^':
    case '_':
    case '`':
    case '|':
    case '~': return true;
    default: return false;
    }
}

unsigned char lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c | 0x20) : c; }

}  // namespace

bool HTTPHeaders::isValidName(std::string_view name) {
    if (name.empty()) return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return isTokenChar(static_cast<unsigned char>(c)); });
}

bool HTTPHeaders::isValidValue(std::string_view value) {
    return std::none_of(value.begin(), value.end(), [](char ch) {
        auto c = static_cast<unsigned char>(ch);
        return (c < 0x20 && c != '\t') || c == 0x7f;
    });
}

bool HTTPHeaders::equalNames(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

const HTTPHeaders::Field* HTTPHeaders::find(std::string_view name) const {
    for (const auto& f : fields_) {
        if (equalNames(f.name, name)) return &f;
    }
    return nullptr;
}

HTTPHeaders::Field* HTTPHeaders::find(std::string_view name) {
    return const_cast<Field*>(static_cast<const HTTPHeaders*>(this)->find(name));
}

bool HTTPHeaders::set(std::string_view name, std::string_view value) {
    if (!isValidName(name) || !isValidValue(value)) return false;
    if (Field* f = find(name)) {
        f->values.assign(1, std::string(value));
    } else {
        fields_.push_back(Field{std::string(name), {std::string(value)}});
    }
    return true;
}

bool HTTPHeaders::add(std::string_view name, std::string_view value) {
    if (!isValidName(name) || !isValidValue(value)) return false;
    if (Field* f = find(name)) {
        f->values.emplace_back(value);
    } else {
        fields_.push_back(Field{std::string(name), {std::string(value)}});
    }
    return true;
}

bool HTTPHeaders::remove(std::string_view name) {
    auto it = std::find_if(fields_.begin(), fields_.end(), [&](const Field& f) { return equalNames(f.name, name); });
    if (it == fields_.end()) return false;
    fields_.erase(it);
    return true;
}

std::optional<std::string> HTTPHeaders::value(std::string_view name) const {
    const Field* f = find(name);
    if (!f) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < f->values.size(); ++i) {
        if (i) out += ", ";
        out += f->values[i];
    }
    return out;
}

std::vector<std::string> HTTPHeaders::values(std::string_view name) const {
    const Field* f = find(name);
    return f ? f->values : std::vector<std::string>{};
}

std::optional<std::string> HTTPHeaders::spelling(std::string_view name) const {
    const Field* f = find(name);
    if (!f) return std::nullopt;
    return f->name;
}

std::vector<std::pair<std::string, std::string>> HTTPHeaders::joined() const {
    std::vector<std::pair<std::string, std::string>> out;
    out.reserve(fields_.size());
    for (const auto& f : fields_) out.emplace_back(f.name, *value(f.name));
    return out;
}

bool operator==(const HTTPHeaders& a, const HTTPHeaders& b) {
    if (a.fields_.size() != b.fields_.size()) return false;
    for (std::size_t i = 0; i < a.fields_.size(); ++i) {
        if (!HTTPHeaders::equalNames(a.fields_[i].name, b.fields_[i].name) ||
            a.fields_[i].values != b.fields_[i].values)
            return false;
    }
    return true;
}

}  // namespace clipora::platform
