#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Error.h"

namespace clipora {

// Optional hooks of the update checker. An answer of std::nullopt stands for
// a delegate that does not answer the question.
class UpdateCheckerDelegate {
public:
    virtual ~UpdateCheckerDelegate() = default;

    virtual std::optional<bool> UpdateCheckerShouldCheckForNewVersion() { return std::nullopt; }
    virtual void UpdateCheckerVersionCheckFailed(const std::optional<platform::Error>& error) { (void)error; }
    virtual void UpdateCheckerDetectedNewVersionDetails(const std::string& version, const std::string& details) {
        (void)version;
        (void)details;
    }
    virtual std::optional<bool> UpdateCheckerShouldDisplayNewVersionDetails(const std::string& version,
                                                                            const std::string& details) {
        (void)version;
        (void)details;
        return std::nullopt;
    }
    virtual std::optional<bool> UpdateCheckerShouldDisplayCurrentVersionDetails(const std::string& details) {
        (void)details;
        return std::nullopt;
    }
};

}  // namespace clipora
