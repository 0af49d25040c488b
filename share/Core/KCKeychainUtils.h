#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Error.h"

namespace clipora {

// Secrets (service logins, OAuth tokens) as generic-password items of the
// platform keychain: service and label = the service name, account = the
// user name, value = the secret's UTF-8 bytes.
class KCKeychainUtils {
public:
    static constexpr const char* kErrorDomain = "KCKeychainUtilsErrorDomain";
    // A required argument is missing.
    static constexpr std::int64_t kMissingArgument = -2000;
    // An item exists without a secret (or vanished between two look-ups).
    static constexpr std::int64_t kNoSecret = -1999;

    KCKeychainUtils() = delete;

    // The secret, or none. A missing item answers none without an error.
    static std::optional<std::string> getPasswordForUsernameAndServiceNameError(
        const std::optional<std::string>& username, const std::optional<std::string>& serviceName,
        std::optional<platform::Error>* error);
    // Stores the secret. With updateExisting off an existing different secret
    // is kept (and the answer is still yes).
    static bool storeUsernameAndPasswordForServiceNameUpdateExistingError(const std::optional<std::string>& username,
                                                                          const std::optional<std::string>& password,
                                                                          const std::optional<std::string>& serviceName,
                                                                          bool updateExisting,
                                                                          std::optional<platform::Error>* error);
    static bool deleteItemForUsernameAndServiceNameError(const std::optional<std::string>& username,
                                                         const std::optional<std::string>& serviceName,
                                                         std::optional<platform::Error>* error);
};

}  // namespace clipora
