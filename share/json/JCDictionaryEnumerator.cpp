#include "share/json/JCDictionaryEnumerator.h"

#include <utility>

#include "share/json/JCDictionary.h"

namespace clipora {

JCDictionaryEnumerator::JCDictionaryEnumerator(std::shared_ptr<const JCDictionary> dictionary)
    : dictionary_(std::move(dictionary)) {}

const JCString* JCDictionaryEnumerator::nextObject() {
    if (!dictionary_) return nullptr;
    while (next_ < dictionary_->capacity()) {
        const JCHashTableEntry& entry = dictionary_->entryAtSlot(next_++);
        if (entry.key) return entry.key;
    }
    return nullptr;
}

std::vector<const JCString*> JCDictionaryEnumerator::allObjects() {
    std::vector<const JCString*> keys;
    while (const JCString* key = nextObject()) keys.push_back(key);
    return keys;
}

}  // namespace clipora
