#include "app/ReviewRequestDelegate.h"

#include "app/AppConfig.h"
#include "app/OpenLink.h"
#include "app/ReviewRequest.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/UserDefaults.h"

namespace clipora {

using namespace platform;

std::shared_ptr<ReviewRequestDelegate> ReviewRequestDelegate::create() {
    auto delegate = std::make_shared<ReviewRequestDelegate>();
    delegate->self_ = delegate;
    return delegate;
}

void ReviewRequestDelegate::alertViewDidDismissWithButtonIndex(const std::shared_ptr<AlertView>&, int index) {
    auto keepAlive = shared_from_this();
    auto defaults = UserDefaults::standardUserDefaults();
    if (index == kRemindLaterIndex) {
        defaults->setDouble(Date::now().timeIntervalSinceReferenceDate() + ReviewRequest::kRemindDelay,
                            ReviewRequest::kNextTimeToAskKey);
    } else if (index == kRateIndex) {
        if (auto version = Bundle::mainBundle()->infoString("CFBundleVersion"))
            defaults->setObject(Value(*version), ReviewRequest::kReviewedForVersionKey);
        OpenLink::shareOpenLink()->openLinkShareLink(AppConfig::current().reviewLink());
    } else if (index == kDontAskIndex) {
        defaults->setBool(true, ReviewRequest::kDontAskKey);
    }
    defaults->setInteger(0, ReviewRequest::kSessionCountKey);
    self_.reset();
}

}  // namespace clipora
