#include "platform/foundation/Value.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/foundation/InvalidArgumentException.h"
#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

std::int64_t saturatingTruncate(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
    if (d <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

std::string realText(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
    return std::string(buffer, result.ptr);
}

bool needsQuotes(const std::string& s) {
    if (s.empty()) return true;
    for (unsigned char c : s) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!plain) return true;
    }
    return false;
}

std::string quoted(const std::string& s) {
    if (!needsQuotes(s)) return s;
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    out += '"';
    return out;
}

void describe(const Value& value, int depth, bool inCollection, std::string& out) {
    const std::string indent(static_cast<std::size_t>(depth) * 4, ' ');
    const std::string inner(static_cast<std::size_t>(depth + 1) * 4, ' ');
    if (const auto* array = value.array()) {
        out += "(\n";
        for (std::size_t i = 0; i < array->size(); ++i) {
            out += inner;
            describe((*array)[i], depth + 1, true, out);
            if (i + 1 < array->size()) out += ',';
            out += '\n';
        }
        out += indent;
        out += ')';
    } else if (const auto* dictionary = value.dictionary()) {
        out += "{\n";
        for (const auto& [key, item] : *dictionary) {
            out += inner;
            out += quoted(key);
            out += " = ";
            describe(item, depth + 1, true, out);
            out += ";\n";
        }
        out += indent;
        out += '}';
    } else if (const auto* string = value.string()) {
        out += inCollection ? quoted(*string) : *string;
    } else {
        out += value.description();
    }
}

}  // namespace

Value::Value() = default;
Value::Value(std::nullptr_t) {}
Value::Value(bool b) : storage_(b) {}
Value::Value(int i) : storage_(Integer{i, false}) {}
Value::Value(long i) : storage_(Integer{static_cast<std::int64_t>(i), false}) {}
Value::Value(long long i) : storage_(Integer{static_cast<std::int64_t>(i), false}) {}
Value::Value(unsigned int u) : storage_(Integer{static_cast<std::int64_t>(u), true}) {}
Value::Value(unsigned long u) : storage_(Integer{static_cast<std::int64_t>(u), true}) {}
Value::Value(unsigned long long u) : storage_(Integer{static_cast<std::int64_t>(u), true}) {}
Value::Value(double d) : storage_(d) {}
Value::Value(const char* s) {
    if (s) storage_ = std::string(s);
}
Value::Value(std::string s) : storage_(std::move(s)) {}
Value::Value(std::string_view s) : storage_(std::string(s)) {}
Value::Value(platform::Data d) : storage_(std::move(d)) {}
Value::Value(platform::Date d) : storage_(d) {}
Value::Value(Array a) : storage_(ValueBox<Array>(std::move(a))) {}
Value::Value(Dictionary d) : storage_(ValueBox<Dictionary>(std::move(d))) {}
Value::Value(std::shared_ptr<platform::Object> o) {
    if (o) storage_ = std::move(o);
}

Value::Value(const Value&) = default;
Value::Value(Value&&) noexcept = default;
Value& Value::operator=(const Value&) = default;
Value& Value::operator=(Value&&) noexcept = default;
Value::~Value() = default;

Value Value::makeArray(std::initializer_list<Value> items) { return Value(Array(items)); }

Value Value::makeDictionary(std::initializer_list<std::pair<const std::string, Value>> items) {
    return Value(Dictionary(items.begin(), items.end()));
}

const Value& Value::null() {
    static const Value* instance = new Value();
    return *instance;
}

Value::Kind Value::kind() const {
    return std::visit(Overloaded{
                          [](const std::monostate&) { return Kind::Null; },
                          [](const bool&) { return Kind::Bool; },
                          [](const Integer&) { return Kind::Integer; },
                          [](const double&) { return Kind::Real; },
                          [](const std::string&) { return Kind::String; },
                          [](const platform::Data&) { return Kind::Data; },
                          [](const platform::Date&) { return Kind::Date; },
                          [](const ValueBox<Array>&) { return Kind::Array; },
                          [](const ValueBox<Dictionary>&) { return Kind::Dictionary; },
                          [](const std::shared_ptr<platform::Object>&) { return Kind::Object; },
                      },
                      storage_);
}

bool Value::isUnsignedInteger() const {
    const auto* i = std::get_if<Integer>(&storage_);
    return i && i->isUnsigned;
}

bool Value::isNumber() const {
    auto k = kind();
    return k == Kind::Bool || k == Kind::Integer || k == Kind::Real;
}

std::optional<bool> Value::boolean() const {
    if (const auto* b = std::get_if<bool>(&storage_)) return *b;
    return std::nullopt;
}

std::optional<std::int64_t> Value::integer() const {
    const auto* i = std::get_if<Integer>(&storage_);
    if (!i || (i->isUnsigned && i->bits < 0)) return std::nullopt;
    return i->bits;
}

std::optional<std::uint64_t> Value::unsignedInteger() const {
    const auto* i = std::get_if<Integer>(&storage_);
    if (!i || (!i->isUnsigned && i->bits < 0)) return std::nullopt;
    return static_cast<std::uint64_t>(i->bits);
}

std::optional<double> Value::real() const {
    if (const auto* d = std::get_if<double>(&storage_)) return *d;
    return std::nullopt;
}

std::optional<platform::Date> Value::date() const {
    if (const auto* d = std::get_if<platform::Date>(&storage_)) return *d;
    return std::nullopt;
}

const std::string* Value::string() const { return std::get_if<std::string>(&storage_); }
std::string* Value::string() { return std::get_if<std::string>(&storage_); }
const platform::Data* Value::data() const { return std::get_if<platform::Data>(&storage_); }
platform::Data* Value::data() { return std::get_if<platform::Data>(&storage_); }

const Value::Array* Value::array() const {
    const auto* box = std::get_if<ValueBox<Array>>(&storage_);
    return box ? &box->get() : nullptr;
}

Value::Array* Value::array() {
    auto* box = std::get_if<ValueBox<Array>>(&storage_);
    return box ? &box->get() : nullptr;
}

const Value::Dictionary* Value::dictionary() const {
    const auto* box = std::get_if<ValueBox<Dictionary>>(&storage_);
    return box ? &box->get() : nullptr;
}

Value::Dictionary* Value::dictionary() {
    auto* box = std::get_if<ValueBox<Dictionary>>(&storage_);
    return box ? &box->get() : nullptr;
}

std::shared_ptr<platform::Object> Value::object() const {
    if (const auto* o = std::get_if<std::shared_ptr<platform::Object>>(&storage_)) return *o;
    return nullptr;
}

std::int64_t Value::longLongValue() const {
    if (const auto* b = std::get_if<bool>(&storage_)) return *b ? 1 : 0;
    if (const auto* i = std::get_if<Integer>(&storage_)) return i->bits;
    if (const auto* d = std::get_if<double>(&storage_)) return saturatingTruncate(*d);
    if (const auto* s = std::get_if<std::string>(&storage_)) return Text::longLongValue(*s);
    return 0;
}

int Value::intValue() const { return static_cast<int>(longLongValue()); }

std::uint64_t Value::unsignedLongLongValue() const {
    if (const auto* d = std::get_if<double>(&storage_)) {
        if (*d >= 18446744073709551615.0) return std::numeric_limits<std::uint64_t>::max();
        if (*d >= 0) return static_cast<std::uint64_t>(*d);
    }
    return static_cast<std::uint64_t>(longLongValue());
}

double Value::doubleValue() const {
    if (const auto* b = std::get_if<bool>(&storage_)) return *b ? 1.0 : 0.0;
    if (const auto* i = std::get_if<Integer>(&storage_)) {
        return i->isUnsigned ? static_cast<double>(static_cast<std::uint64_t>(i->bits)) : static_cast<double>(i->bits);
    }
    if (const auto* d = std::get_if<double>(&storage_)) return *d;
    if (const auto* s = std::get_if<std::string>(&storage_)) return Text::doubleValue(*s);
    return 0.0;
}

bool Value::boolValue() const {
    if (const auto* b = std::get_if<bool>(&storage_)) return *b;
    if (const auto* i = std::get_if<Integer>(&storage_)) return i->bits != 0;
    if (const auto* d = std::get_if<double>(&storage_)) return *d != 0.0;
    if (const auto* s = std::get_if<std::string>(&storage_)) return Text::boolValue(*s);
    return false;
}

std::string Value::description() const {
    return std::visit(Overloaded{
                          [](const std::monostate&) -> std::string { return "<null>"; },
                          [](const bool& b) -> std::string { return b ? "1" : "0"; },
                          [](const Integer& i) -> std::string {
                              return i.isUnsigned ? std::to_string(static_cast<std::uint64_t>(i.bits))
                                                  : std::to_string(i.bits);
                          },
                          [](const double& d) { return realText(d); },
                          [](const std::string& s) { return s; },
                          [](const platform::Data& data) {
                              static const char* digits = "0123456789abcdef";
                              std::string out = "<";
                              for (std::size_t i = 0; i < data.size(); ++i) {
                                  if (i > 0 && i % 4 == 0) out += ' ';
                                  out += digits[data[i] >> 4];
                                  out += digits[data[i] & 15];
                              }
                              out += '>';
                              return out;
                          },
                          [](const platform::Date& d) { return d.description(); },
                          [this](const ValueBox<Array>&) {
                              std::string out;
                              describe(*this, 0, false, out);
                              return out;
                          },
                          [this](const ValueBox<Dictionary>&) {
                              std::string out;
                              describe(*this, 0, false, out);
                              return out;
                          },
                          [](const std::shared_ptr<platform::Object>& o) { return o->description(); },
                      },
                      storage_);
}

std::size_t Value::count() const {
    if (const auto* a = array()) return a->size();
    if (const auto* d = dictionary()) return d->size();
    return 0;
}

const Value* Value::at(std::size_t index) const {
    const auto* a = array();
    return a && index < a->size() ? &(*a)[index] : nullptr;
}

Value* Value::at(std::size_t index) {
    auto* a = array();
    return a && index < a->size() ? &(*a)[index] : nullptr;
}

const Value* Value::find(std::string_view key) const {
    const auto* d = dictionary();
    if (!d) return nullptr;
    auto it = d->find(key);
    return it == d->end() ? nullptr : &it->second;
}

Value* Value::find(std::string_view key) {
    auto* d = dictionary();
    if (!d) return nullptr;
    auto it = d->find(key);
    return it == d->end() ? nullptr : &it->second;
}

void Value::append(Value item) {
    if (isNull()) storage_ = ValueBox<Array>();
    auto* a = array();
    if (!a) throw InvalidArgumentException("append to a value that is not an array");
    a->push_back(std::move(item));
}

void Value::set(std::string key, Value item) {
    if (isNull()) storage_ = ValueBox<Dictionary>();
    auto* d = dictionary();
    if (!d) throw InvalidArgumentException("set a key on a value that is not a dictionary");
    (*d)[std::move(key)] = std::move(item);
}

bool Value::remove(std::string_view key) {
    auto* d = dictionary();
    if (!d) return false;
    auto it = d->find(key);
    if (it == d->end()) return false;
    d->erase(it);
    return true;
}

bool operator==(const Value& a, const Value& b) {
    if (a.storage_.index() != b.storage_.index()) return false;
    return std::visit(
        Overloaded{
            [](const std::monostate&, const std::monostate&) { return true; },
            [](const Value::Integer& x, const Value::Integer& y) {
                // Same bits mean the same number unless exactly one side is
                // unsigned and the bits are negative as signed (>= 2^63 vs < 0).
                return x.bits == y.bits && (x.isUnsigned == y.isUnsigned || x.bits >= 0);
            },
            [](const ValueBox<Value::Array>& x, const ValueBox<Value::Array>& y) { return x.get() == y.get(); },
            [](const ValueBox<Value::Dictionary>& x, const ValueBox<Value::Dictionary>& y) {
                return x.get() == y.get();
            },
            [](const std::shared_ptr<Object>& x, const std::shared_ptr<Object>& y) { return x == y || x->isEqual(*y); },
            []<class T>(const T& x, const T& y) { return x == y; },
            [](const auto&, const auto&) { return false; },
        },
        a.storage_, b.storage_);
}

}  // namespace clipora::platform
