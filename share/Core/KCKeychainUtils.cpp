#include "share/Core/KCKeychainUtils.h"

#include "platform/foundation/Text.h"
#include "platform/system/Keychain.h"

namespace clipora {

using platform::Keychain;

namespace {

void fail(std::optional<platform::Error>* error, std::int64_t code) {
    if (error) *error = platform::Error(KCKeychainUtils::kErrorDomain, code);
}

}  // namespace

std::optional<std::string> KCKeychainUtils::getPasswordForUsernameAndServiceNameError(
    const std::optional<std::string>& username, const std::optional<std::string>& serviceName,
    std::optional<platform::Error>* error) {
    if (!username || !serviceName) {
        fail(error, kMissingArgument);
        return std::nullopt;
    }
    if (error) error->reset();
    Keychain::Query query{*serviceName, *username, std::nullopt};
    Keychain::Item item;
    auto status = Keychain::find(query, &item);
    if (status == Keychain::kItemNotFound) return std::nullopt;
    if (status != Keychain::kSuccess) {
        fail(error, status);
        return std::nullopt;
    }
    // The second look-up asks for the secret itself.
    status = Keychain::find(query, &item);
    if (status == Keychain::kItemNotFound || (status == Keychain::kSuccess && !item.value)) {
        fail(error, kNoSecret);
        return std::nullopt;
    }
    if (status != Keychain::kSuccess) {
        fail(error, status);
        return std::nullopt;
    }
    return std::string(item.value->begin(), item.value->end());
}

bool KCKeychainUtils::storeUsernameAndPasswordForServiceNameUpdateExistingError(
    const std::optional<std::string>& username, const std::optional<std::string>& password,
    const std::optional<std::string>& serviceName, bool updateExisting, std::optional<platform::Error>* error) {
    if (!username || !password || !serviceName) {
        fail(error, kMissingArgument);
        return false;
    }
    std::optional<platform::Error> readError;
    auto existing = getPasswordForUsernameAndServiceNameError(username, serviceName, &readError);
    if (readError && readError->code() == kNoSecret) {
        readError.reset();
        if (!deleteItemForUsernameAndServiceNameError(username, serviceName, &readError)) {
            if (error) *error = readError;
            return false;
        }
    }
    if (readError) {
        if (error) *error = readError;
        return false;
    }
    auto value = platform::Text::toData(*password);
    Keychain::Status status;
    if (existing) {
        if (*existing == *password || !updateExisting) return true;
        status = Keychain::update(Keychain::Query{*serviceName, *username, *serviceName}, value);
    } else {
        Keychain::Item item;
        item.service = *serviceName;
        item.account = *username;
        item.label = *serviceName;
        item.value = value;
        status = Keychain::add(item);
    }
    if (status != Keychain::kSuccess) {
        fail(error, status);
        return false;
    }
    return true;
}

bool KCKeychainUtils::deleteItemForUsernameAndServiceNameError(const std::optional<std::string>& username,
                                                               const std::optional<std::string>& serviceName,
                                                               std::optional<platform::Error>* error) {
    if (!username || !serviceName) {
        fail(error, kMissingArgument);
        return false;
    }
    auto status = Keychain::remove(Keychain::Query{*serviceName, *username, std::nullopt});
    if (status != Keychain::kSuccess) {
        fail(error, status);
        return false;
    }
    return true;
}

}  // namespace clipora
