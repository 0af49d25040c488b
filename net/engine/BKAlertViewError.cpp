#include "net/engine/BKAlertViewError.h"

#include "platform/foundation/Bundle.h"

namespace clipora {

std::shared_ptr<platform::AlertView> BKAlertViewError::showWithError(const platform::Error& error) {
    std::string suggestion;
    if (auto it = error.userInfo().find(kLocalizedRecoverySuggestionKey);
        it != error.userInfo().end() && it->second.isString())
        suggestion = *it->second.string();
    auto alert = std::make_shared<platform::AlertView>(error.localizedDescription(), suggestion,
                                                       std::weak_ptr<platform::AlertViewDelegate>(),
                                                       platform::Bundle::mainBundle()->localizedString("Dismiss", ""));
    alert->show();
    return alert;
}

}  // namespace clipora
