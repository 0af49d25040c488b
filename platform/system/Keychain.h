#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// The keychain's generic passwords: secrets kept by service and account.
//
// Items live in one file under the home, <home>/Library/Keychains/keychain.db,
// in a folder of mode 0700; the file is mode 0600 from the moment it exists
// and every change is written atomically (a reader sees the old store or the
// new one). Secrets are never logged. Each call reads the file afresh, so
// items survive the process and follow the current home.
//
// Statuses are the platform's: 0 success, -25300 not found, -25299 duplicate,
// -50 bad parameter, -36 I/O failure, -26275 undecodable store. A damaged
// store is reported, never silently replaced. Safe from any thread.
class Keychain {
public:
    using Status = std::int32_t;
    static constexpr Status kSuccess = 0;
    static constexpr Status kItemNotFound = -25300;
    static constexpr Status kDuplicateItem = -25299;
    static constexpr Status kParam = -50;
    static constexpr Status kIO = -36;
    static constexpr Status kDecode = -26275;

    struct Item {
        std::string service;
        std::string account;
        std::string label;
        // The secret; absent for an item stored without one.
        std::optional<Data> value;
        Date creationDate;
        Date modificationDate;
    };

    // Which items a call concerns: an absent field matches any value.
    struct Query {
        std::optional<std::string> service;
        std::optional<std::string> account;
        std::optional<std::string> label;
    };

    Keychain() = delete;

    // Adds an item. Service and account are its key: an item with the same
    // pair gives kDuplicateItem. Creation and modification dates are now.
    static Status add(const Item& item);
    // Replaces the secret (and, when given, the label) of every matching item.
    // kItemNotFound when none matches.
    static Status update(const Query& query, const Data& value, const std::optional<std::string>& label = {});
    // The first matching item (in the order they were added).
    static Status find(const Query& query, Item* item);
    static Status findAll(const Query& query, std::vector<Item>* items);
    // Deletes every matching item; kItemNotFound when none matches.
    static Status remove(const Query& query);

    // Convenience over the calls above for (service, account) pairs.
    static std::optional<std::string> passwordForServiceAccount(const std::string& service, const std::string& account);
    static Status setPasswordForServiceAccount(const std::string& password, const std::string& service,
                                               const std::string& account);

    // Where the store lives under the current home.
    static std::string storePath();

    // Test hook: the next `count` calls answer `status` without touching the
    // store.
    static void injectFailure(Status status, int count = 1);
    static void clearInjectedFailures();
};

}  // namespace clipora::platform
