#include "share/json/JCObject.h"

#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"
#include "share/json/JCArray.h"
#include "share/json/JCDictionary.h"
#include "share/json/JCPool.h"

namespace clipora {

std::string JCObject::description() const { return toValue().description(); }

bool JCObject::isEqual(const platform::Object& other) const {
    const auto* collection = dynamic_cast<const JCObject*>(&other);
    return collection && toValue() == collection->toValue();
}

void JCObject::checkMutable(const char* className, const char* operation) const {
    if (mutations_ == 0)
        throw platform::Exception(
            platform::Exception::kInternalInconsistencyName,
            platform::Text::format("*** -[%s %s]: mutating method sent to immutable object", className, operation));
}

JCValue JCObject::adopt(const JCValue& value) const {
    switch (value.kind()) {
    case JCValue::Kind::String: {
        const JCString* string = value.string();
        return string->size() == 0 ? value : JCValue(JCString::make(*pool_, string->view(), string->hash()));
    }
    case JCValue::Kind::Array: {
        const JCArray* array = value.array();
        return JCValue(JCArray::make(*pool_, array->begin(), array->count(), isMutable()));
    }
    case JCValue::Kind::Dictionary: {
        const JCDictionary* source = value.dictionary();
        JCDictionary* copy = JCDictionary::make(*pool_, source->count(), isMutable());
        for (std::size_t slot = 0; slot < source->capacity(); ++slot) {
            const JCHashTableEntry& entry = source->entryAtSlot(slot);
            if (!entry.key) continue;
            copy->insert(entry.keyHash, JCString::make(*pool_, entry.key->view(), entry.keyHash),
                         copy->adopt(entry.object));
        }
        return JCValue(static_cast<const JCDictionary*>(copy));
    }
    default: return value;
    }
}

std::shared_ptr<JCPool> JCObject::sharedPool() const { return pool_->shared_from_this(); }

}  // namespace clipora
