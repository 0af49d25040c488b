#include "share/json/JCValue.h"

#include <cstring>
#include <limits>

#include "share/json/JCArray.h"
#include "share/json/JCDictionary.h"

namespace clipora {

JCValue JCValue::unsignedInteger(std::uint64_t value) {
    if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return JCValue(static_cast<std::int64_t>(value));
    JCValue result;
    result.kind_ = Kind::UnsignedInteger;
    result.u_.unsignedInteger = value;
    return result;
}

platform::Value JCValue::toValue() const {
    switch (kind_) {
    case Kind::Null: return platform::Value();
    case Kind::Bool: return platform::Value(u_.boolean);
    case Kind::Integer: return platform::Value(static_cast<long long>(u_.integer));
    case Kind::UnsignedInteger: return platform::Value(static_cast<unsigned long long>(u_.unsignedInteger));
    case Kind::Real: return platform::Value(u_.real);
    case Kind::String: return platform::Value(text());
    case Kind::Array: return array()->toValue();
    case Kind::Dictionary: return dictionary()->toValue();
    }
    return platform::Value();
}

bool operator==(const JCValue& a, const JCValue& b) {
    if (a.kind_ != b.kind_) return false;
    switch (a.kind_) {
    case JCValue::Kind::Null: return true;
    case JCValue::Kind::Bool: return a.u_.boolean == b.u_.boolean;
    case JCValue::Kind::Integer: return a.u_.integer == b.u_.integer;
    case JCValue::Kind::UnsignedInteger: return a.u_.unsignedInteger == b.u_.unsignedInteger;
    case JCValue::Kind::Real: return a.u_.real == b.u_.real;
    case JCValue::Kind::String: return a.text() == b.text();
    case JCValue::Kind::Array: {
        const JCArray* x = a.array();
        const JCArray* y = b.array();
        if (x->count() != y->count()) return false;
        for (std::size_t i = 0; i < x->count(); ++i)
            if (!(x->objectAtIndex(i) == y->objectAtIndex(i))) return false;
        return true;
    }
    case JCValue::Kind::Dictionary: {
        const JCDictionary* x = a.dictionary();
        const JCDictionary* y = b.dictionary();
        if (x->count() != y->count()) return false;
        for (std::size_t slot = 0; slot < x->capacity(); ++slot) {
            const JCHashTableEntry& entry = x->entryAtSlot(slot);
            if (!entry.key) continue;
            const JCValue* other = y->objectForKey(entry.key->view());
            if (!other || !(entry.object == *other)) return false;
        }
        return true;
    }
    }
    return false;
}

}  // namespace clipora
