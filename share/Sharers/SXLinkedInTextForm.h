#pragma once

#include <memory>

#include "share/UI/SXFormControllerLargeTextField.h"

namespace clipora {

namespace platform {
class Label;
}

// The professional network's compose screen: the large text form with a
// counter of the characters left (700 at most; red below zero). Send
// refuses a text that is too long.
class SXLinkedInTextForm : public SXFormControllerLargeTextField {
public:
    static constexpr int kMaxLength = 700;

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void textViewDidChange(const std::shared_ptr<platform::TextView>& textView) override;
    void save() override;

    // The length of the text in characters (UTF-16 units, not bytes).
    std::size_t length();
    const std::shared_ptr<platform::Label>& counter() const { return counter_; }
    // Shows the characters left.
    void updateCounter();

private:
    std::shared_ptr<platform::Label> counter_;
};

}  // namespace clipora
