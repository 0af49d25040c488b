#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "share/json/JCObject.h"
#include "share/json/JCValue.h"

namespace clipora {

class JSONDecoder;
class JCDictionaryEnumerator;

// One slot of a JCDictionary's table; an empty slot has no key.
struct JCHashTableEntry {
    std::uint32_t keyHash;
    const JCString* key;
    JCValue object;
};

// The decoder's dictionary: an open-addressing hash table whose capacity
// comes from a fixed table of primes (the first one not below 1.33 times the
// number of pairs), with linear probing and removal that moves the rest of
// the cluster back instead of leaving tombstones. Entries live inline in one
// block of the document's pool.
class JCDictionary final : public JCObject {
public:
    std::size_t count() const { return count_; }
    std::size_t capacity() const { return capacity_; }
    // nullptr when absent.
    const JCValue* objectForKey(std::string_view key) const;
    // Fills either or both arrays (count() places each) in slot order.
    void getObjectsAndKeys(JCValue* objects, const JCString** keys) const;

    // Changes (mutable dictionaries only). Setting an existing key replaces
    // its value; removing an absent key changes nothing.
    void setObjectForKey(const JCValue& object, std::string_view key);
    void removeObjectForKey(std::string_view key);

    // The slots in order, empty ones included.
    const JCHashTableEntry& entryAtSlot(std::size_t slot) const { return entries_[slot]; }
    // The slot holding `key`, or capacity() when absent.
    std::size_t slotOfKey(std::string_view key) const;
    std::unique_ptr<JCDictionaryEnumerator> keyEnumerator() const;

    std::shared_ptr<const JCDictionary> copy() const;
    std::shared_ptr<JCDictionary> mutableCopy() const;
    std::shared_ptr<JCDictionary> retained() const;

    platform::Value toValue() const override;

    // The table capacity for `count` pairs.
    static std::uint32_t capacityForCount(std::size_t count);

private:
    friend class JSONDecoder;
    friend class JCObject;
    JCDictionary(JCPool& pool, std::uint32_t capacity, bool isMutable);
    static JCDictionary* make(JCPool& pool, std::size_t pairs, bool isMutable);
    std::shared_ptr<JCDictionary> copyInto(bool isMutable) const;
    // Puts a pair in (an equal key is replaced).
    void insert(std::uint32_t hash, const JCString* key, const JCValue& object);
    void removeSlot(std::size_t slot);
    void growFor(std::size_t count);

    JCHashTableEntry* entries_;
    std::uint32_t count_ = 0;
    std::uint32_t capacity_;
};

}  // namespace clipora
