#pragma once

#include <memory>

#include "platform/uikit/AlertView.h"
#include "platform/uikit/AlertViewDelegate.h"

namespace clipora {

// Carries out the answer to one rating prompt. It keeps itself alive while
// its prompt is shown and lets go after the answer.
class ReviewRequestDelegate : public platform::AlertViewDelegate,
                              public std::enable_shared_from_this<ReviewRequestDelegate> {
public:
    static constexpr int kRemindLaterIndex = 0;
    static constexpr int kRateIndex = 1;
    static constexpr int kDontAskIndex = 2;

    // A delegate that holds itself until an answer arrives.
    static std::shared_ptr<ReviewRequestDelegate> create();

    void alertViewDidDismissWithButtonIndex(const std::shared_ptr<platform::AlertView>& alert, int index) override;

private:
    std::shared_ptr<ReviewRequestDelegate> self_;
};

}  // namespace clipora
