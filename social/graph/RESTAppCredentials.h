#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace clipora {

// The application's key and secret for the network's signed REST calls.
// They are configuration of the installation, never part of the sources:
// read from the environment (kApiKeyVariable, kAppSecretVariable) or, when
// either is unset, from a credentials file (the path in kFileVariable, else
// defaultFile()) of lines "api_key=<key>" and "app_secret=<secret>" (blank
// lines and lines starting with '#' are skipped). Each must be 32 lower-case
// hexadecimal digits. The values are never logged.
class RESTAppCredentials {
public:
    static constexpr const char* kApiKeyVariable = "CLIPORA_REST_API_KEY";
    static constexpr const char* kAppSecretVariable = "CLIPORA_REST_APP_SECRET";
    static constexpr const char* kFileVariable = "CLIPORA_REST_CREDENTIALS_FILE";

    std::string apiKey;
    std::string appSecret;

    // The configured pair, or absent when none (or a malformed one) is
    // configured.
    static std::optional<RESTAppCredentials> load();
    static std::optional<RESTAppCredentials> fromFile(const std::filesystem::path& file);
    // "$HOME/.config/clipora/rest-credentials" (empty without a home).
    static std::filesystem::path defaultFile();
    // 32 lower-case hexadecimal digits.
    static bool isWellFormed(std::string_view text);
};

}  // namespace clipora
