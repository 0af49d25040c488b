#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "social/graph/Page.h"

namespace clipora {

class GetAccounts;

// Told when the list of managed pages arrives, or absent after a failure.
class GetAccountsDelegate {
public:
    virtual ~GetAccountsDelegate() = default;
    virtual void finishGetAccountsAccounts(const std::shared_ptr<GetAccounts>& getAccounts,
                                           const std::optional<std::vector<std::shared_ptr<Page>>>& accounts) = 0;
};

}  // namespace clipora
