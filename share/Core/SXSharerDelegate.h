#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/Error.h"

namespace clipora {

class SXSharer;

// Told the outcome of a share. Every started share ends in exactly one of
// finished, failed (without relogin) or cancelled.
class SXSharerDelegate {
public:
    virtual ~SXSharerDelegate() = default;
    virtual void sharerStartedSending(const std::shared_ptr<SXSharer>& sharer) = 0;
    virtual void sharerFinishedSending(const std::shared_ptr<SXSharer>& sharer) = 0;
    virtual void sharerFailedWithErrorShouldRelogin(const std::shared_ptr<SXSharer>& sharer,
                                                    const std::optional<platform::Error>& error,
                                                    bool shouldRelogin) = 0;
    virtual void sharerCancelledSending(const std::shared_ptr<SXSharer>& sharer) = 0;
    virtual void sharerAuthDidFinishSuccess(const std::shared_ptr<SXSharer>& sharer, bool success) {
        (void)sharer;
        (void)success;
    }
};

}  // namespace clipora
