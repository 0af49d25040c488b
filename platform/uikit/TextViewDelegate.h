#pragma once

#include <memory>

namespace clipora::platform {

class TextView;

// Told about a text view's editing. Every operation is optional.
class TextViewDelegate {
public:
    virtual ~TextViewDelegate() = default;
    virtual bool textViewShouldBeginEditing(const std::shared_ptr<TextView>&) { return true; }
    virtual void textViewDidBeginEditing(const std::shared_ptr<TextView>&) {}
    virtual void textViewDidChange(const std::shared_ptr<TextView>&) {}
    virtual void textViewDidEndEditing(const std::shared_ptr<TextView>&) {}
};

}  // namespace clipora::platform
