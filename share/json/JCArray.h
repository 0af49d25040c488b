#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "share/json/JCObject.h"
#include "share/json/JCValue.h"

namespace clipora {

class JSONDecoder;

// The decoder's array: its values in one block of its document's pool.
// Frozen unless decoded mutable; misuse throws the platform's exceptions
// with the texts of the platform's own collections.
class JCArray final : public JCObject {
public:
    std::size_t count() const { return count_; }
    // Throws a range exception for an index at or beyond count().
    const JCValue& objectAtIndex(std::size_t index) const;
    // Copies `length` values from `location` to `destination`.
    void getObjectsRange(JCValue* destination, std::size_t location, std::size_t length) const;

    // Changes (mutable arrays only). Values are copied into this array's
    // document, so nothing it holds can go away under it.
    void insertObjectAtIndex(const JCValue& object, std::size_t index);
    void addObject(const JCValue& object) { insertObjectAtIndex(object, count_); }
    void removeObjectAtIndex(std::size_t index);
    void replaceObjectAtIndexWithObject(std::size_t index, const JCValue& object);

    const JCValue* begin() const { return objects_; }
    const JCValue* end() const { return objects_ + count_; }

    // A frozen array answers itself; a mutable one a frozen copy.
    std::shared_ptr<const JCArray> copy() const;
    // A new mutable array with the same values.
    std::shared_ptr<JCArray> mutableCopy() const;
    // This array, keeping its document alive.
    std::shared_ptr<JCArray> retained() const;

    platform::Value toValue() const override;

private:
    friend class JSONDecoder;
    friend class JCObject;
    JCArray(JCPool& pool, JCValue* objects, std::uint32_t count, bool isMutable)
        : JCObject(pool, isMutable), objects_(objects), count_(count), capacity_(count) {}
    // A new array in `pool` holding copies of `values`.
    static JCArray* make(JCPool& pool, const JCValue* values, std::size_t count, bool isMutable);
    std::shared_ptr<JCArray> copyInto(bool isMutable) const;

    JCValue* objects_;
    std::uint32_t count_;
    std::uint32_t capacity_;
};

}  // namespace clipora
