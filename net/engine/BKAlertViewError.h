#pragma once

#include <memory>

#include "platform/foundation/Error.h"
#include "platform/uikit/AlertView.h"

namespace clipora {

// Shows an error to the user as an alert.
class BKAlertViewError {
public:
    BKAlertViewError() = delete;

    // User info key of the recovery suggestion shown as the alert's message.
    static constexpr const char* kLocalizedRecoverySuggestionKey = "localizedRecoverySuggestion";

    // An alert titled with the error's localized description, its recovery
    // suggestion as message, no delegate and one cancel button "Dismiss"
    // (localized from the main bundle); shown, then returned.
    static std::shared_ptr<platform::AlertView> showWithError(const platform::Error& error);
};

}  // namespace clipora
