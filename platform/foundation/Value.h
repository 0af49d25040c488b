#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/foundation/BlockPool.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"

namespace clipora::platform {

// Raw bytes (the platform's "data").
using Data = std::vector<std::uint8_t>;

class Value;

// Deep-copying holder used for the recursive kinds of Value (an array or a
// dictionary of values), in a block of the values' pool. Never empty but
// after being moved from.
template <class T>
class ValueBox {
public:
    ValueBox() : ptr_(make()) {}
    explicit ValueBox(T value) : ptr_(make(std::move(value))) {}
    ValueBox(const ValueBox& other) : ptr_(make(*other.ptr_)) {}
    ValueBox(ValueBox&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ValueBox& operator=(const ValueBox& other) {
        if (this != &other) ValueBox(other).swap(*this);
        return *this;
    }
    ValueBox& operator=(ValueBox&& other) noexcept {
        swap(other);
        return *this;
    }
    ~ValueBox() {
        if (ptr_) {
            ptr_->~T();
            PoolAllocator<T>().deallocate(ptr_, 1);
        }
    }

    T& get() { return *ptr_; }
    const T& get() const { return *ptr_; }

private:
    template <class... Args>
    static T* make(Args&&... args) {
        PoolAllocator<T> allocator;
        T* p = allocator.allocate(1);
        try {
            return ::new (static_cast<void*>(p)) T(std::forward<Args>(args)...);
        } catch (...) {
            allocator.deallocate(p, 1);
            throw;
        }
    }
    void swap(ValueBox& other) noexcept { std::swap(ptr_, other.ptr_); }

    T* ptr_;
};

// The platform's dynamic value: null, bool, integer (64-bit, exact; kept
// signed or unsigned), real (double), string (UTF-8), data, date, array,
// dictionary (string keys, sorted), or an opaque shared object.
//
// A Value is a value type: copying copies arrays and dictionaries deeply
// (shared objects are shared). Bool, integer and real stay distinct kinds.
// Null is a present value; absence is expressed with a null pointer from
// find() or std::optional<Value>.
class Value {
public:
    enum class Kind { Null, Bool, Integer, Real, String, Data, Date, Array, Dictionary, Object };

    using Array = std::vector<Value>;
    // Nodes come from the values' block pools: a parsed document makes and
    // frees them by the thousands. A node never moves once inserted.
    using Dictionary = std::map<std::string, Value, std::less<>, PoolAllocator<std::pair<const std::string, Value>>>;

    // Null.
    Value();
    Value(std::nullptr_t);
    Value(bool b);
    Value(int i);
    Value(long i);
    Value(long long i);
    Value(unsigned int u);
    Value(unsigned long u);
    Value(unsigned long long u);
    Value(double d);
    Value(const char* s);  // a null pointer gives Null
    Value(std::string s);
    Value(std::string_view s);
    Value(platform::Data d);
    Value(platform::Date d);
    Value(Array a);
    Value(Dictionary d);
    Value(std::shared_ptr<platform::Object> o);  // a null pointer gives Null
    // Other pointers would silently become bools.
    Value(const void*) = delete;

    Value(const Value&);
    Value(Value&&) noexcept;
    Value& operator=(const Value&);
    Value& operator=(Value&&) noexcept;
    ~Value();

    // Value::makeArray({1, "two"}), Value::makeDictionary({{"id", 1}, {"name", "x"}}).
    static Value makeArray(std::initializer_list<Value> items = {});
    static Value makeDictionary(std::initializer_list<std::pair<const std::string, Value>> items = {});
    // A shared Null, for functions that answer a reference.
    static const Value& null();

    Kind kind() const;
    bool isNull() const { return kind() == Kind::Null; }
    bool isBool() const { return kind() == Kind::Bool; }
    bool isInteger() const { return kind() == Kind::Integer; }
    bool isUnsignedInteger() const;  // an integer made from an unsigned type
    bool isReal() const { return kind() == Kind::Real; }
    // Bool, integer or real (a boxed number).
    bool isNumber() const;
    bool isString() const { return kind() == Kind::String; }
    bool isData() const { return kind() == Kind::Data; }
    bool isDate() const { return kind() == Kind::Date; }
    bool isArray() const { return kind() == Kind::Array; }
    bool isDictionary() const { return kind() == Kind::Dictionary; }
    bool isObject() const { return kind() == Kind::Object; }

    // Strict accessors: the content when the Value is of that kind, otherwise
    // std::nullopt / nullptr. integer() answers std::nullopt for an unsigned
    // integer above INT64_MAX; unsignedInteger() for a negative one.
    std::optional<bool> boolean() const;
    std::optional<std::int64_t> integer() const;
    std::optional<std::uint64_t> unsignedInteger() const;
    std::optional<double> real() const;
    std::optional<platform::Date> date() const;
    const std::string* string() const;
    std::string* string();
    const platform::Data* data() const;
    platform::Data* data();
    const Array* array() const;
    Array* array();
    const Dictionary* dictionary() const;
    Dictionary* dictionary();
    std::shared_ptr<platform::Object> object() const;
    template <class T>
    std::shared_ptr<T> objectAs() const {
        return std::dynamic_pointer_cast<T>(object());
    }

    // Lenient numeric readings, as the platform's number and text objects
    // answer them: bool -> 0/1, integer exact, real truncated toward zero
    // (saturating), string -> the Text readings (leading blanks, sign, leading
    // digits, 0 when none), anything else -> 0 / false.
    std::int64_t longLongValue() const;
    std::int64_t integerValue() const { return longLongValue(); }
    int intValue() const;  // longLongValue() narrowed with wrap-around like a C cast
    std::uint64_t unsignedLongLongValue() const;
    double doubleValue() const;
    // Number: non-zero. String: Text::boolValue. Otherwise false.
    bool boolValue() const;

    // The platform's text form ("%@"):
    //   string -> itself; integer -> decimal digits, never an exponent;
    //   bool -> "1" / "0"; real -> shortest text that reads back the same
    //   ("0.5", "2", "1e+20"); null -> "<null>"; data -> "<0a0b0c0d 0e>";
    //   date -> "2001-01-01 00:00:00 +0000"; object -> Object::description();
    //   array -> "(\n    a,\n    b\n)"; dictionary -> "{\n    k = v;\n}",
    //   nested collections indented by four spaces per level, and strings
    //   inside collections quoted when they hold anything but letters, digits
    //   and '_' (or are empty).
    std::string description() const;

    // Collections. Element and key access answers nullptr when absent or when
    // this Value is not of the needed kind.
    // Number of elements of an array or dictionary; 0 otherwise.
    std::size_t count() const;
    const Value* at(std::size_t index) const;
    Value* at(std::size_t index);
    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // Mutators. A Null value first becomes an empty array / dictionary; any
    // other kind throws InvalidArgumentException.
    void append(Value item);
    void set(std::string key, Value item);
    // Answers whether the key was there. No-op on other kinds.
    bool remove(std::string_view key);

    // Deep equality. Kinds must match (1, 1.0 and true differ), except that
    // signed and unsigned integers compare by numeric value. Reals compare with
    // ==; objects with Object::isEqual.
    friend bool operator==(const Value& a, const Value& b);
    friend bool operator!=(const Value& a, const Value& b) { return !(a == b); }

private:
    struct Integer {
        std::int64_t bits;  // the two's complement bits; read as unsigned when isUnsigned
        bool isUnsigned;
    };
    using Storage = std::variant<std::monostate, bool, Integer, double, std::string, platform::Data, platform::Date,
                                 ValueBox<Array>, ValueBox<Dictionary>, std::shared_ptr<platform::Object>>;
    Storage storage_;
};

}  // namespace clipora::platform
