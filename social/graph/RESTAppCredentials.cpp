#include "social/graph/RESTAppCredentials.h"

#include <cstdlib>
#include <fstream>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace clipora {

namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

}  // namespace

bool RESTAppCredentials::isWellFormed(std::string_view text) {
    if (text.size() != 32) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::filesystem::path RESTAppCredentials::defaultFile() {
    std::optional<std::string> home = environment("HOME");
    if (!home) return {};
    return std::filesystem::path(*home) / ".config" / "clipora" / "rest-credentials";
}

std::optional<RESTAppCredentials> RESTAppCredentials::fromFile(const std::filesystem::path& file) {
    if (file.empty()) return std::nullopt;
    std::ifstream in(file);
    if (!in) return std::nullopt;
    RESTAppCredentials credentials;
    std::string line;
    while (std::getline(in, line)) {
        std::string entry = platform::Text::trim(line, " \t\r\n");
        if (entry.empty() || entry.front() == '#') continue;
        std::size_t equals = entry.find('=');
        if (equals == std::string::npos) continue;
        std::string name = platform::Text::trim(entry.substr(0, equals), " \t");
        std::string value = platform::Text::trim(entry.substr(equals + 1), " \t");
        if (name == "api_key") credentials.apiKey = value;
        if (name == "app_secret") credentials.appSecret = value;
    }
    if (!isWellFormed(credentials.apiKey) || !isWellFormed(credentials.appSecret)) {
        platform::Log::format("The REST application credentials in %@ are incomplete or malformed", file.string());
        return std::nullopt;
    }
    return credentials;
}

std::optional<RESTAppCredentials> RESTAppCredentials::load() {
    std::optional<std::string> key = environment(kApiKeyVariable);
    std::optional<std::string> secret = environment(kAppSecretVariable);
    if (key && secret) {
        if (isWellFormed(*key) && isWellFormed(*secret)) return RESTAppCredentials{*key, *secret};
        platform::Log::format("The REST application credentials in %@ and %@ are malformed", kApiKeyVariable,
                              kAppSecretVariable);
        return std::nullopt;
    }
    std::optional<std::string> file = environment(kFileVariable);
    return fromFile(file ? std::filesystem::path(*file) : defaultFile());
}

}  // namespace clipora
