#include "app/IKLinkedList.h"

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/InvalidArgumentException.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Image.h"
#include "social/graph/Video.h"

namespace clipora {

using namespace platform;

IKLinkedList::IKLinkedList(const std::vector<ObjectPtr>& objects) {
    for (const auto& object : objects) addObject(object);
}

IKLinkedList::IKLinkedList(const IKLinkedList& other) : Object(), Coding() {
    for (const Node* n = other.head_; n; n = n->next) addObject(n->object);
}

IKLinkedList& IKLinkedList::operator=(const IKLinkedList& other) {
    if (this == &other) return *this;
    removeAllObjects();
    for (const Node* n = other.head_; n; n = n->next) addObject(n->object);
    return *this;
}

IKLinkedList::~IKLinkedList() { removeAllObjects(); }

IKLinkedList::Location IKLinkedList::addObject(ObjectPtr object) {
    if (!object) return nullptr;
    auto* node = new Node{std::move(object), tail_, nullptr};
    if (tail_)
        tail_->next = node;
    else
        head_ = node;
    tail_ = node;
    ++count_;
    ++modificationNumber_;
    return node;
}

void IKLinkedList::unlink(Node* node) {
    if (node->prev)
        node->prev->next = node->next;
    else
        head_ = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else
        tail_ = node->prev;
    delete node;
    --count_;
    ++modificationNumber_;
}

void IKLinkedList::removeObjectAtLocation(Location location) {
    // A location is a node of this list handed out by addObject or
    // locationOfObject; the cast back is the list's own business.
    if (location) unlink(const_cast<Node*>(static_cast<const Node*>(location)));
}

void IKLinkedList::removeObject(const ObjectPtr& object) { removeObjectAtLocation(locationOfObject(object)); }

void IKLinkedList::removeFirstObject() { removeObjectAtLocation(head_); }

void IKLinkedList::removeLastObject() { removeObjectAtLocation(tail_); }

void IKLinkedList::removeAllObjects() {
    for (Node* n = head_; n;) {
        Node* next = n->next;
        delete n;
        n = next;
    }
    head_ = tail_ = nullptr;
    count_ = 0;
    ++modificationNumber_;
}

IKLinkedList::ObjectPtr IKLinkedList::objectAtLocation(Location location) const {
    return location ? static_cast<const Node*>(location)->object : nullptr;
}

IKLinkedList::Location IKLinkedList::locationOfObject(const ObjectPtr& object) const {
    if (!object) return nullptr;
    for (const Node* n = head_; n; n = n->next)
        if (n->object == object) return n;
    return nullptr;
}

std::vector<IKLinkedList::ObjectPtr> IKLinkedList::allObjects() const {
    std::vector<ObjectPtr> out;
    out.reserve(count_);
    for (const Node* n = head_; n; n = n->next) out.push_back(n->object);
    return out;
}

std::string IKLinkedList::description() const {
    Value::Array items;
    for (const Node* n = head_; n; n = n->next) items.emplace_back(n->object);
    return Value(std::move(items)).description();
}

void IKLinkedList::checkUnchanged(std::uint32_t expected) const {
    if (expected != modificationNumber_)
        throw InvalidArgumentException("IKLinkedList was mutated while being enumerated.");
}

IKLinkedList::Enumerator::Enumerator(const IKLinkedList* list)
    : ll_(list), iterator_(ll_ ? ll_->head_ : nullptr), modificationNumber_(ll_ ? ll_->modificationNumber_ : 0) {}

IKLinkedList::ObjectPtr IKLinkedList::Enumerator::nextObject() {
    if (!ll_) return nullptr;
    ll_->checkUnchanged(modificationNumber_);
    if (!iterator_) {
        ll_ = nullptr;  // the list is let go after the last object
        return nullptr;
    }
    ObjectPtr object = iterator_->object;
    iterator_ = iterator_->next;
    return object;
}

IKLinkedList::Enumerator IKLinkedList::objectEnumerator() const { return Enumerator(this); }

std::size_t IKLinkedList::countByEnumeratingWithStateObjectsCount(EnumerationState& state, ObjectPtr* buffer,
                                                                  std::size_t capacity) const {
    if (!state.started) {
        state.started = true;
        state.mutations = modificationNumber_;
        state.next = head_;
    }
    checkUnchanged(state.mutations);
    std::size_t delivered = 0;
    auto* node = static_cast<const Node*>(state.next);
    while (node && delivered < capacity) {
        buffer[delivered++] = node->object;
        node = node->next;
    }
    state.next = node;
    return delivered;
}

void IKLinkedList::encodeWithCoder(KeyedArchiver& coder) const {
    coder.encodeNextUInt32(count_);
    for (const Node* n = head_; n; n = n->next) coder.encodeNextObject(Value(n->object));
}

std::shared_ptr<IKLinkedList> IKLinkedList::initWithCoder(KeyedUnarchiver& coder) {
    auto list = std::make_shared<IKLinkedList>();
    const std::uint32_t count = coder.decodeNextUInt32();
    for (std::uint32_t i = 0; i < count && !coder.failed(); ++i) {
        // The objects lists hold in this program: pictures, videos, lists.
        auto item = coder.decodeNextObject({Image::kClassName, Video::kClassName, kClassName});
        if (item) list->addObject(item->object());
    }
    return coder.failed() ? nullptr : list;
}

void IKLinkedList::registerCoding() { CodingRegistry::registerClass<IKLinkedList>(kClassName); }

namespace {
const bool gRegistered = [] {
    IKLinkedList::registerCoding();
    return true;
}();
}  // namespace

}  // namespace clipora
