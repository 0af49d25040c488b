#include "share/json/JCDictionary.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "platform/foundation/Exception.h"
#include "share/json/JCDictionaryEnumerator.h"
#include "share/json/JCPool.h"

namespace clipora {

namespace {

constexpr std::array<std::uint32_t, 40> kCapacities = {
    0,       3,        7,        13,       23,       41,       71,        127,       191,       251,
    383,     631,      1087,     1723,     2803,     4523,     7351,      11959,     19447,     31231,
    50683,   81919,    132607,   214519,   346607,   561109,   907759,    1468927,   2376191,   3845119,
    6221311, 10066421, 16287743, 26354171, 42641881, 68996069, 111638519, 180634607, 292272623, 472907251};

JCHashTableEntry* makeEntries(JCPool& pool, std::uint32_t capacity) {
    auto* entries = pool.allocateArray<JCHashTableEntry>(capacity);
    for (std::uint32_t slot = 0; slot < capacity; ++slot) new (&entries[slot]) JCHashTableEntry{0, nullptr, JCValue()};
    return entries;
}

}  // namespace

std::uint32_t JCDictionary::capacityForCount(std::size_t count) {
    const std::uint64_t wanted = static_cast<std::uint64_t>(count) * 133 / 100;
    const auto* found = std::lower_bound(kCapacities.begin(), kCapacities.end(), wanted);
    if (found == kCapacities.end())
        throw platform::Exception(platform::Exception::kMallocName, "Unable to allocate memory for hash table.");
    return *found;
}

JCDictionary::JCDictionary(JCPool& pool, std::uint32_t capacity, bool isMutable)
    : JCObject(pool, isMutable), entries_(makeEntries(pool, capacity)), capacity_(capacity) {}

JCDictionary* JCDictionary::make(JCPool& pool, std::size_t pairs, bool isMutable) {
    return new (pool.allocate(sizeof(JCDictionary), alignof(JCDictionary)))
        JCDictionary(pool, capacityForCount(pairs), isMutable);
}

std::size_t JCDictionary::slotOfKey(std::string_view key) const {
    if (capacity_ == 0) return capacity_;
    const std::uint32_t hash = JCString::hashBytes(key);
    for (std::uint32_t i = 0, slot = hash % capacity_; i < capacity_;
         ++i, slot = slot + 1 == capacity_ ? 0 : slot + 1) {
        const JCHashTableEntry& entry = entries_[slot];
        if (!entry.key) break;
        if (entry.keyHash == hash && entry.key->view() == key) return slot;
    }
    return capacity_;
}

const JCValue* JCDictionary::objectForKey(std::string_view key) const {
    const std::size_t slot = slotOfKey(key);
    return slot < capacity_ ? &entries_[slot].object : nullptr;
}

void JCDictionary::getObjectsAndKeys(JCValue* objects, const JCString** keys) const {
    for (std::uint32_t slot = 0; slot < capacity_; ++slot) {
        if (!entries_[slot].key) continue;
        if (objects) *objects++ = entries_[slot].object;
        if (keys) *keys++ = entries_[slot].key;
    }
}

void JCDictionary::insert(std::uint32_t hash, const JCString* key, const JCValue& object) {
    for (std::uint32_t i = 0, slot = hash % capacity_; i < capacity_;
         ++i, slot = slot + 1 == capacity_ ? 0 : slot + 1) {
        JCHashTableEntry& entry = entries_[slot];
        // The pair an equal key held goes first; the cluster behind it moves
        // back, so this slot may be taken again and the search goes on.
        if (entry.key && entry.keyHash == hash && (entry.key == key || entry.key->view() == key->view()))
            removeSlot(slot);
        if (!entry.key) {
            entry = JCHashTableEntry{hash, key, object};
            ++count_;
            return;
        }
    }
    // Unreachable: the capacity always leaves room for one more pair.
}

void JCDictionary::removeSlot(std::size_t slot) {
    entries_[slot] = JCHashTableEntry{0, nullptr, JCValue()};
    --count_;
    // Every pair of the cluster after the hole goes back to the first empty
    // slot from its own home, so no lookup chain is broken.
    for (std::size_t next = slot + 1 == capacity_ ? 0 : slot + 1; entries_[next].key;
         next = next + 1 == capacity_ ? 0 : next + 1) {
        const JCHashTableEntry moved = entries_[next];
        entries_[next] = JCHashTableEntry{0, nullptr, JCValue()};
        std::size_t home = moved.keyHash % capacity_;
        while (entries_[home].key) home = home + 1 == capacity_ ? 0 : home + 1;
        entries_[home] = moved;
    }
}

void JCDictionary::growFor(std::size_t count) {
    const std::uint32_t capacity = capacityForCount(count);
    if (capacity_ >= capacity) return;
    JCHashTableEntry* old = entries_;
    const std::uint32_t oldCapacity = capacity_;
    entries_ = makeEntries(*pool_, capacity);
    capacity_ = capacity;
    count_ = 0;
    for (std::uint32_t slot = 0; slot < oldCapacity; ++slot)
        if (old[slot].key) insert(old[slot].keyHash, old[slot].key, old[slot].object);
}

void JCDictionary::setObjectForKey(const JCValue& object, std::string_view key) {
    checkMutable("JCDictionary", "setObjectForKey");
    growFor(count_ + std::size_t{1});
    const JCValue adopted = adopt(object);
    insert(JCString::hashBytes(key), key.empty() ? JCString::empty() : JCString::make(*pool_, key), adopted);
    countMutation();
}

void JCDictionary::removeObjectForKey(std::string_view key) {
    checkMutable("JCDictionary", "removeObjectForKey");
    const std::size_t slot = slotOfKey(key);
    if (slot == capacity_) return;
    removeSlot(slot);
    countMutation();
}

std::unique_ptr<JCDictionaryEnumerator> JCDictionary::keyEnumerator() const {
    return std::make_unique<JCDictionaryEnumerator>(retained());
}

std::shared_ptr<JCDictionary> JCDictionary::retained() const {
    return std::shared_ptr<JCDictionary>(sharedPool(), const_cast<JCDictionary*>(this));
}

std::shared_ptr<JCDictionary> JCDictionary::copyInto(bool isMutable) const {
    auto pool = std::make_shared<JCPool>(pool_->bytesUsed() / 2 + 256);
    JCDictionary* copy = make(*pool, count_, isMutable);
    for (std::uint32_t slot = 0; slot < capacity_; ++slot) {
        const JCHashTableEntry& entry = entries_[slot];
        if (!entry.key) continue;
        copy->insert(entry.keyHash, JCString::make(*pool, entry.key->view(), entry.keyHash), copy->adopt(entry.object));
    }
    return std::shared_ptr<JCDictionary>(std::move(pool), copy);
}

std::shared_ptr<const JCDictionary> JCDictionary::copy() const {
    return isMutable() ? std::shared_ptr<const JCDictionary>(copyInto(false)) : retained();
}

std::shared_ptr<JCDictionary> JCDictionary::mutableCopy() const { return copyInto(true); }

platform::Value JCDictionary::toValue() const {
    platform::Value::Dictionary pairs;
    for (std::uint32_t slot = 0; slot < capacity_; ++slot) {
        const JCHashTableEntry& entry = entries_[slot];
        if (entry.key) pairs.insert_or_assign(std::string(entry.key->view()), entry.object.toValue());
    }
    return platform::Value(std::move(pairs));
}

}  // namespace clipora
