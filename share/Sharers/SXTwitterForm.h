#pragma once

#include <cstddef>
#include <memory>

#include "share/UI/SXFormControllerLargeTextField.h"

namespace clipora {

namespace platform {
class Label;
}

// The micro-blog sharer's compose screen: the large text form with a live
// counter of the characters left (140, or 115 when a picture goes along:
// its link takes the rest), counted in UTF-16 units as the service counts.
class SXTwitterForm : public SXFormControllerLargeTextField {
public:
    static constexpr std::size_t kLimit = 140;
    static constexpr std::size_t kLimitWithAttachment = 115;

    std::size_t limit() const { return hasAttachment_ ? kLimitWithAttachment : kLimit; }
    // Characters left (negative when over).
    long remaining();

    void keyboardWillShow(const platform::Notification& notification) override;
    void updateCounter();
    void layoutCounter();
    void textViewDidBeginEditing(const std::shared_ptr<platform::TextView>&) override { updateCounter(); }
    void textViewDidChange(const std::shared_ptr<platform::TextView>&) override { updateCounter(); }
    void textViewDidEndEditing(const std::shared_ptr<platform::TextView>&) override { updateCounter(); }
    // Refuses a text over the limit ("Message is too long").
    void save() override;

    bool hasAttachment() const { return hasAttachment_; }
    void setHasAttachment(bool attachment) { hasAttachment_ = attachment; }
    const std::shared_ptr<platform::Label>& counter() const { return counter_; }

private:
    std::shared_ptr<platform::Label> counter_;
    bool hasAttachment_ = false;
};

}  // namespace clipora
