#include "share/json/JCArray.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"
#include "share/json/JCPool.h"

namespace clipora {

namespace {

[[noreturn]] void throwBeyondBounds(const char* operation, std::size_t index, std::size_t bound) {
    throw platform::Exception(
        platform::Exception::kRangeName,
        platform::Text::format("*** -[JCArray %s]: index (%lu) beyond bounds (%lu)", operation, index, bound));
}

}  // namespace

JCArray* JCArray::make(JCPool& pool, const JCValue* values, std::size_t count, bool isMutable) {
    auto* objects = pool.allocateArray<JCValue>(count);
    auto* array = new (pool.allocate(sizeof(JCArray), alignof(JCArray)))
        JCArray(pool, objects, static_cast<std::uint32_t>(count), isMutable);
    for (std::size_t i = 0; i < count; ++i) new (&objects[i]) JCValue(array->adopt(values[i]));
    return array;
}

const JCValue& JCArray::objectAtIndex(std::size_t index) const {
    if (index >= count_) throwBeyondBounds("objectAtIndex", index, count_);
    return objects_[index];
}

void JCArray::getObjectsRange(JCValue* destination, std::size_t location, std::size_t length) const {
    if (destination == nullptr && length > 0)
        throw platform::Exception(
            platform::Exception::kRangeName,
            platform::Text::format(
                "*** -[JCArray getObjectsRange]: pointer to objects array is NULL but range length is %lu",
                location + length));
    if (location + length > count_ || location + length < location)
        throwBeyondBounds("getObjectsRange", location + length, count_);
    std::copy_n(objects_ + location, length, destination);
}

void JCArray::insertObjectAtIndex(const JCValue& object, std::size_t index) {
    checkMutable("JCArray", "insertObjectAtIndex");
    if (index > count_) throwBeyondBounds("insertObjectAtIndex", index, count_ + 1);
    if (count_ + 1 >= capacity_) {
        // The pool never gives memory back, so the slots grow by half again
        // (at least 16) rather than a fixed step.
        const std::size_t capacity = capacity_ + std::max<std::size_t>(16, capacity_ / 2);
        if (capacity > std::numeric_limits<std::uint32_t>::max())
            throw platform::Exception(platform::Exception::kMallocName, "Unable to resize objects array.");
        auto* objects = pool_->allocateArray<JCValue>(capacity);
        std::uninitialized_copy_n(objects_, count_, objects);
        objects_ = objects;
        capacity_ = static_cast<std::uint32_t>(capacity);
    }
    const JCValue adopted = adopt(object);
    std::copy_backward(objects_ + index, objects_ + count_, objects_ + count_ + 1);
    objects_[index] = adopted;
    ++count_;
    countMutation();
}

void JCArray::removeObjectAtIndex(std::size_t index) {
    checkMutable("JCArray", "removeObjectAtIndex");
    if (index >= count_) throwBeyondBounds("removeObjectAtIndex", index, count_);
    std::copy(objects_ + index + 1, objects_ + count_, objects_ + index);
    --count_;
    countMutation();
}

void JCArray::replaceObjectAtIndexWithObject(std::size_t index, const JCValue& object) {
    checkMutable("JCArray", "replaceObjectAtIndexWithObject");
    if (index >= count_) throwBeyondBounds("replaceObjectAtIndexWithObject", index, count_);
    objects_[index] = adopt(object);
    countMutation();
}

std::shared_ptr<JCArray> JCArray::retained() const {
    return std::shared_ptr<JCArray>(sharedPool(), const_cast<JCArray*>(this));
}

std::shared_ptr<JCArray> JCArray::copyInto(bool isMutable) const {
    auto pool = std::make_shared<JCPool>(pool_->bytesUsed() / 2 + 256);
    JCArray* copy = make(*pool, objects_, count_, isMutable);
    return std::shared_ptr<JCArray>(std::move(pool), copy);
}

std::shared_ptr<const JCArray> JCArray::copy() const { return isMutable() ? copyInto(false) : retained(); }

std::shared_ptr<JCArray> JCArray::mutableCopy() const { return copyInto(true); }

platform::Value JCArray::toValue() const {
    platform::Value::Array values;
    values.reserve(count_);
    for (const JCValue& value : *this) values.push_back(value.toValue());
    return platform::Value(std::move(values));
}

}  // namespace clipora
