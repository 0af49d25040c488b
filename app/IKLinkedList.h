#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Coding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Object.h"

namespace clipora {

// A doubly linked list of objects whose nodes serve as stable locations:
// removal by location is constant-time, and a location stays valid until its
// node is removed. Objects are compared by identity. Every change bumps
// modificationNumber(); an iterator or enumerator that sees it change while
// it walks throws (a programming error, as the platform's enumeration
// raises).
class IKLinkedList : public platform::Object, public platform::Coding {
    struct Node {
        std::shared_ptr<platform::Object> object;
        Node* prev = nullptr;
        Node* next = nullptr;
    };

public:
    static constexpr const char* kClassName = "IKLinkedList";
    using ObjectPtr = std::shared_ptr<platform::Object>;
    // The location of an object in the list (null: none).
    using Location = const void*;

    IKLinkedList() = default;
    explicit IKLinkedList(const std::vector<ObjectPtr>& objects);
    static std::shared_ptr<IKLinkedList> linkedList() { return std::make_shared<IKLinkedList>(); }
    static std::shared_ptr<IKLinkedList> linkedListWithArray(const std::vector<ObjectPtr>& objects) {
        return std::make_shared<IKLinkedList>(objects);
    }
    // Copying makes a new list of the same objects in order.
    IKLinkedList(const IKLinkedList& other);
    IKLinkedList& operator=(const IKLinkedList& other);
    ~IKLinkedList() override;

    // Appends at the tail; null adds nothing and answers null.
    Location addObject(ObjectPtr object);
    void removeObjectAtLocation(Location location);
    void removeObject(const ObjectPtr& object);
    void removeFirstObject();
    void removeLastObject();
    void removeAllObjects();

    ObjectPtr firstObject() const { return head_ ? head_->object : nullptr; }
    ObjectPtr lastObject() const { return tail_ ? tail_->object : nullptr; }
    std::uint32_t count() const { return count_; }
    std::uint32_t modificationNumber() const { return modificationNumber_; }
    ObjectPtr objectAtLocation(Location location) const;
    Location locationOfObject(const ObjectPtr& object) const;
    bool containsObject(const ObjectPtr& object) const { return locationOfObject(object) != nullptr; }
    std::vector<ObjectPtr> allObjects() const;
    std::string description() const override;

    // Head to tail, one object per call; null after the last. The list
    // must outlive the enumeration.
    class Enumerator {
    public:
        explicit Enumerator(const IKLinkedList* list);
        ObjectPtr nextObject();

    private:
        const IKLinkedList* ll_;
        const Node* iterator_;
        std::uint32_t modificationNumber_;
    };
    Enumerator objectEnumerator() const;

    // Fast enumeration: fills `buffer` with up to `capacity` objects after
    // those already delivered (`state` starts at 0 and is kept between
    // calls); answers how many it delivered (0 at the end). Throws when the
    // list changed since the first call.
    struct EnumerationState {
        const void* next = nullptr;
        std::uint32_t mutations = 0;
        bool started = false;
    };
    std::size_t countByEnumeratingWithStateObjectsCount(EnumerationState& state, ObjectPtr* buffer,
                                                        std::size_t capacity) const;

    // --- Coding: the count (unsigned 32-bit), then each object, unkeyed ---
    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<IKLinkedList> initWithCoder(platform::KeyedUnarchiver& coder);
    static void registerCoding();

private:
    void unlink(Node* node);
    void checkUnchanged(std::uint32_t expected) const;

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    std::uint32_t count_ = 0;
    std::uint32_t modificationNumber_ = 0;
};

}  // namespace clipora
