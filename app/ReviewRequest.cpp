#include "app/ReviewRequest.h"

#include "app/ReviewRequestDelegate.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/AlertView.h"

namespace clipora {

using namespace platform;

bool ReviewRequest::shouldAskForReview() {
    auto defaults = UserDefaults::standardUserDefaults();
    if (defaults->boolForKey(kDontAskKey)) return false;
    const auto reviewed = defaults->stringForKey(kReviewedForVersionKey);
    const auto version = Bundle::mainBundle()->infoString("CFBundleVersion");
    if (reviewed && reviewed == version) return false;
    const double now = Date::now().timeIntervalSinceReferenceDate();
    if (!defaults->objectForKey(kNextTimeToAskKey)) {
        defaults->setDouble(now + kFirstDelay, kNextTimeToAskKey);
        return false;
    }
    return now >= defaults->doubleForKey(kNextTimeToAskKey);
}

bool ReviewRequest::shouldAskForReviewAtLaunch() {
    if (!shouldAskForReview()) return false;
    auto defaults = UserDefaults::standardUserDefaults();
    const auto count = defaults->integerForKey(kSessionCountKey);
    defaults->setInteger(count + 1, kSessionCountKey);
    return count > kLaunchesBeforeAsking;
}

void ReviewRequest::askForReview() {
    const std::string name = Bundle::mainBundle()->infoString("CFBundleName").value_or(std::string());
    auto alert = std::make_shared<AlertView>(
        Text::format("Enjoying %@?", name),
        "If so, please rate this update with 5 stars on the App Store so we can keep the free updates coming.",
        ReviewRequestDelegate::create(), std::string("Remind me later"),
        std::vector<std::string>{"Yes, rate it!", "Don't ask again"});
    alert->show();
}

}  // namespace clipora
