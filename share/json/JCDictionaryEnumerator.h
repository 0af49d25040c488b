#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "share/json/JCString.h"

namespace clipora {

class JCDictionary;

// Walks a dictionary's keys in slot order; keeps the dictionary (and its
// document) alive.
class JCDictionaryEnumerator {
public:
    explicit JCDictionaryEnumerator(std::shared_ptr<const JCDictionary> dictionary);

    // The next key, nullptr after the last.
    const JCString* nextObject();
    // The keys not yet handed out.
    std::vector<const JCString*> allObjects();

private:
    std::shared_ptr<const JCDictionary> dictionary_;
    std::size_t next_ = 0;
};

}  // namespace clipora
