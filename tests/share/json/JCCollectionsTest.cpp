#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "share/json/JCArray.h"
#include "share/json/JCDictionary.h"
#include "share/json/JCDictionaryEnumerator.h"
#include "share/json/JSONDecoder.h"

namespace clipora {
namespace {

std::shared_ptr<JCDictionary> dictionaryOf(std::string_view text, bool isMutable = true) {
    JSONDecoder decoder;
    auto object = isMutable ? decoder.mutableObjectWithUTF8StringLengthError(text.data(), text.size())
                            : decoder.objectWithUTF8StringLengthError(text.data(), text.size());
    return std::dynamic_pointer_cast<JCDictionary>(object);
}

std::shared_ptr<JCArray> arrayOf(std::string_view text, bool isMutable = true) {
    JSONDecoder decoder;
    auto object = isMutable ? decoder.mutableObjectWithUTF8StringLengthError(text.data(), text.size())
                            : decoder.objectWithUTF8StringLengthError(text.data(), text.size());
    return std::dynamic_pointer_cast<JCArray>(object);
}

// `count` keys whose hashes share one home slot in a table of `capacity`.
std::vector<std::string> collidingKeys(std::size_t count, std::uint32_t capacity, std::uint32_t home) {
    std::vector<std::string> keys;
    for (int i = 0; keys.size() < count; ++i) {
        std::string key = "k" + std::to_string(i);
        if (JCString::hashBytes(key) % capacity == home) keys.push_back(key);
    }
    return keys;
}

// The key in each slot ("" for an empty one).
std::vector<std::string> table(const JCDictionary& dictionary) {
    std::vector<std::string> slots;
    for (std::size_t slot = 0; slot < dictionary.capacity(); ++slot) {
        const JCHashTableEntry& entry = dictionary.entryAtSlot(slot);
        slots.emplace_back(entry.key ? std::string(entry.key->view()) : std::string());
    }
    return slots;
}

// Every key sits in the cluster that starts at its home slot: no empty slot
// lies between them, so every lookup reaches it.
void expectChainsUnbroken(const JCDictionary& dictionary) {
    std::size_t occupied = 0;
    for (std::size_t slot = 0; slot < dictionary.capacity(); ++slot) {
        const JCHashTableEntry& entry = dictionary.entryAtSlot(slot);
        if (!entry.key) continue;
        ++occupied;
        EXPECT_EQ(entry.keyHash, JCString::hashBytes(entry.key->view()));
        for (std::size_t at = entry.keyHash % dictionary.capacity(); at != slot; at = (at + 1) % dictionary.capacity())
            EXPECT_TRUE(dictionary.entryAtSlot(at).key) << "hole before " << entry.key->view();
    }
    EXPECT_EQ(occupied, dictionary.count());
}

TEST(JCCollectionsTest, CapacityIsTheFirstPrimeNotBelowFourThirdsOfTheCount) {
    const std::vector<std::pair<std::size_t, std::uint32_t>> cases = {
        {0, 0}, {1, 3}, {3, 3}, {4, 7}, {6, 7}, {7, 13}, {10, 13}, {11, 23}, {18, 23}, {19, 41}, {1000, 1723}};
    for (const auto& [count, capacity] : cases) EXPECT_EQ(JCDictionary::capacityForCount(count), capacity) << count;
    EXPECT_EQ(dictionaryOf(R"({"a":1,"b":2,"c":3})")->capacity(), 3u);
}

TEST(JCCollectionsTest, AFullTableHoldsEveryPairAndGrowsOnTheNextOne) {
    auto dictionary = dictionaryOf(R"({"a":1,"b":2,"c":3})");
    for (const auto& key : table(*dictionary)) EXPECT_FALSE(key.empty());
    EXPECT_EQ(dictionary->objectForKey("missing"), nullptr);
    dictionary->setObjectForKey(JCValue(std::int64_t{4}), "d");
    EXPECT_EQ(dictionary->capacity(), 7u);
    for (std::string key : {"a", "b", "c", "d"}) EXPECT_NE(dictionary->objectForKey(key), nullptr) << key;
    expectChainsUnbroken(*dictionary);
}

TEST(JCCollectionsTest, RemovalMovesTheRestOfTheClusterBack) {
    // Three keys with home 5 in a table of 7 fill slots 5, 6 and 0 (wrapping),
    // then a key with home 6 lands in slot 1.
    const auto keys = collidingKeys(3, 7, 5);
    const auto other = collidingKeys(1, 7, 6).front();
    auto dictionary = dictionaryOf("{}");
    // Four pairs: 7 slots from the start.
    dictionary->setObjectForKey(JCValue(std::int64_t{0}), "zzfill");
    dictionary->removeObjectForKey("zzfill");
    dictionary->setObjectForKey(JCValue(std::int64_t{1}), keys[0]);
    dictionary->setObjectForKey(JCValue(std::int64_t{2}), keys[1]);
    dictionary->setObjectForKey(JCValue(std::int64_t{3}), keys[2]);
    dictionary->setObjectForKey(JCValue(std::int64_t{4}), other);
    ASSERT_EQ(dictionary->capacity(), 7u);
    EXPECT_EQ(table(*dictionary), (std::vector<std::string>{keys[2], other, "", "", "", keys[0], keys[1]}));
    // Out of the middle: the key from slot 0 moves to 6, the other key to 0.
    dictionary->removeObjectForKey(keys[1]);
    EXPECT_EQ(table(*dictionary), (std::vector<std::string>{other, "", "", "", "", keys[0], keys[2]}));
    // Out of the head: the next one comes home, the one with home 6 follows.
    dictionary->removeObjectForKey(keys[0]);
    EXPECT_EQ(table(*dictionary), (std::vector<std::string>{"", "", "", "", "", keys[2], other}));
    EXPECT_EQ(dictionary->objectForKey(other)->integer(), 4);
    EXPECT_EQ(dictionary->count(), 2u);
    // Replacing keeps the count; removing an absent key is no change.
    const auto before = dictionary->mutations();
    dictionary->setObjectForKey(JCValue(std::int64_t{9}), other);
    EXPECT_EQ(dictionary->count(), 2u);
    EXPECT_EQ(dictionary->objectForKey(other)->integer(), 9);
    dictionary->removeObjectForKey("absent");
    EXPECT_EQ(dictionary->mutations(), before + 1);
}

TEST(JCCollectionsTest, RandomChangesAgreeWithAnOrderedMap) {
    auto dictionary = dictionaryOf("{}");
    std::map<std::string, std::int64_t> model;
    std::mt19937 random(7);
    for (int step = 0; step < 3000; ++step) {
        const std::string key = "key" + std::to_string(random() % 300);
        if (random() % 3 == 0) {
            dictionary->removeObjectForKey(key);
            model.erase(key);
        } else {
            dictionary->setObjectForKey(JCValue(std::int64_t{step}), key);
            model[key] = step;
        }
        if (step % 100 == 0) expectChainsUnbroken(*dictionary);
    }
    expectChainsUnbroken(*dictionary);
    ASSERT_EQ(dictionary->count(), model.size());
    for (const auto& [key, value] : model) EXPECT_EQ(dictionary->objectForKey(key)->integer(), value) << key;
}

TEST(JCCollectionsTest, FrozenCollectionsRefuseChanges) {
    auto dictionary = dictionaryOf(R"({"a":1})", false);
    auto array = arrayOf("[1]", false);
    const auto expectRefusal = [](auto&& change, const std::string& reason) {
        try {
            change();
            ADD_FAILURE() << "no exception: " << reason;
        } catch (const platform::Exception& e) {
            EXPECT_EQ(e.name(), platform::Exception::kInternalInconsistencyName);
            EXPECT_EQ(e.reason(), reason);
        }
    };
    expectRefusal([&] { dictionary->setObjectForKey(JCValue(), "b"); },
                  "*** -[JCDictionary setObjectForKey]: mutating method sent to immutable object");
    expectRefusal([&] { dictionary->removeObjectForKey("a"); },
                  "*** -[JCDictionary removeObjectForKey]: mutating method sent to immutable object");
    expectRefusal([&] { array->insertObjectAtIndex(JCValue(), 0); },
                  "*** -[JCArray insertObjectAtIndex]: mutating method sent to immutable object");
    expectRefusal([&] { array->removeObjectAtIndex(0); },
                  "*** -[JCArray removeObjectAtIndex]: mutating method sent to immutable object");
    expectRefusal([&] { array->replaceObjectAtIndexWithObject(0, JCValue()); },
                  "*** -[JCArray replaceObjectAtIndexWithObject]: mutating method sent to immutable object");
}

TEST(JCCollectionsTest, ArraysCheckTheirBoundsAndKeepOrder) {
    auto array = arrayOf("[1,2,3]");
    try {
        (void)array->objectAtIndex(3);
        ADD_FAILURE();
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), platform::Exception::kRangeName);
        EXPECT_EQ(e.reason(), "*** -[JCArray objectAtIndex]: index (3) beyond bounds (3)");
    }
    try {
        array->insertObjectAtIndex(JCValue(), 5);
        ADD_FAILURE();
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.reason(), "*** -[JCArray insertObjectAtIndex]: index (5) beyond bounds (4)");
    }
    try {
        array->getObjectsRange(nullptr, 1, 2);
        ADD_FAILURE();
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.reason(), "*** -[JCArray getObjectsRange]: pointer to objects array is NULL but range length is 3");
    }
    EXPECT_THROW(array->removeObjectAtIndex(3), platform::Exception);
    for (int i = 0; i < 40; ++i) array->insertObjectAtIndex(JCValue(std::int64_t{100 + i}), 1);
    array->removeObjectAtIndex(0);
    array->replaceObjectAtIndexWithObject(0, JCValue(true));
    ASSERT_EQ(array->count(), 42u);
    EXPECT_TRUE(array->objectAtIndex(0).boolean());
    EXPECT_EQ(array->objectAtIndex(1).integer(), 138);
    EXPECT_EQ(array->objectAtIndex(41).integer(), 3);
    JCValue last[2];
    array->getObjectsRange(last, 40, 2);
    EXPECT_EQ(last[0].integer(), 2);
    EXPECT_EQ(last[1].integer(), 3);
}

TEST(JCCollectionsTest, InsertedValuesAreCopiedIntoTheDocument) {
    auto target = arrayOf("[]");
    {
        auto source =
            dictionaryOf(R"({"text":"a long enough string to stay out of the cache, surely more than 64 bytes"})");
        target->addObject(JCValue(static_cast<const JCDictionary*>(source.get())));
        target->addObject(*source->objectForKey("text"));
    }
    EXPECT_EQ(target->objectAtIndex(1).text(),
              "a long enough string to stay out of the cache, surely more than 64 bytes");
    EXPECT_EQ(target->objectAtIndex(0).dictionary()->objectForKey("text")->text(), target->objectAtIndex(1).text());
}

TEST(JCCollectionsTest, CopiesAndEnumerators) {
    auto frozen = dictionaryOf(R"({"a":1,"b":2,"c":3})", false);
    EXPECT_EQ(frozen->copy().get(), frozen.get());
    auto open = dictionaryOf(R"({"a":1,"b":2,"c":3})");
    const auto copy = open->copy();
    EXPECT_NE(copy.get(), open.get());
    EXPECT_FALSE(copy->isMutable());
    EXPECT_EQ(copy->toValue(), open->toValue());
    const auto mutableCopy = frozen->mutableCopy();
    EXPECT_TRUE(mutableCopy->isMutable());
    mutableCopy->removeObjectForKey("a");
    EXPECT_EQ(frozen->count(), 3u);

    auto enumerator = frozen->keyEnumerator();
    const JCString* first = enumerator->nextObject();
    ASSERT_NE(first, nullptr);
    const auto rest = enumerator->allObjects();
    EXPECT_EQ(rest.size(), 2u);
    for (const JCString* key : rest) EXPECT_NE(key->view(), first->view());
    EXPECT_EQ(enumerator->nextObject(), nullptr);
    EXPECT_EQ(JCDictionaryEnumerator(nullptr).nextObject(), nullptr);

    auto array = arrayOf("[1,[2]]", false);
    EXPECT_EQ(array->copy().get(), array.get());
    EXPECT_EQ(array->mutableCopy()->toValue(), array->toValue());
}

}  // namespace
}  // namespace clipora
