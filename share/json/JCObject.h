#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora {

class JCPool;
class JCValue;

// What the decoder's two collections share: the document they belong to, and
// the flag (the mutation count) that decides whether they accept changes.
// They can travel inside a platform::Value as an object.
//
// Collections are made only by the decoder (and by copying one), inside
// their document's pool; a shared_ptr to one keeps the whole document alive.
class JCObject : public platform::Object {
public:
    // 0 for a frozen collection; from 1 and rising by one with every change
    // (wrapping from the largest value back to 1) for a mutable one.
    std::uint32_t mutations() const { return mutations_; }
    bool isMutable() const { return mutations_ != 0; }

    // The collection's platform form (a platform array or dictionary).
    virtual platform::Value toValue() const = 0;
    std::string description() const override;
    bool isEqual(const platform::Object& other) const override;

protected:
    JCObject(JCPool& pool, bool isMutable) : pool_(&pool), mutations_(isMutable ? 1 : 0) {}
    // Throws the internal-inconsistency exception for a frozen collection.
    void checkMutable(const char* className, const char* operation) const;
    void countMutation() {
        if (++mutations_ == 0) mutations_ = 1;
    }
    // A copy of `value` (and everything it holds) in this collection's pool.
    JCValue adopt(const JCValue& value) const;
    std::shared_ptr<JCPool> sharedPool() const;

    JCPool* pool_;
    std::uint32_t mutations_;
};

}  // namespace clipora
