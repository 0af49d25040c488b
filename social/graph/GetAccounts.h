#pragma once

#include <memory>

#include "social/graph/FBBaseClass.h"
#include "social/graph/GetAccountsDelegate.h"

namespace clipora {

class Facebook;

// The pages the user manages ("me/accounts"), each with its own access token.
class GetAccounts : public FBBaseClass {
public:
    GetAccounts() = default;
    static std::shared_ptr<GetAccounts> initWithDelegate(std::shared_ptr<Facebook> session,
                                                         std::weak_ptr<GetAccountsDelegate> delegate);

    void execute();

    std::shared_ptr<GetAccountsDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<GetAccountsDelegate> delegate) { delegate_ = std::move(delegate); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    std::weak_ptr<GetAccountsDelegate> delegate_;
};

}  // namespace clipora
