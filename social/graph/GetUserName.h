#pragma once

#include <memory>

#include "social/graph/FBBaseClass.h"
#include "social/graph/GetUserNameDelegate.h"

namespace clipora {

class Facebook;

// The user's first name, id and square picture as a User, through the
// graph's FQL path. A reply that is not exactly {"data": [row, ...]} with a
// first row is reported as junk data (-3).
class GetUserName : public FBBaseClass {
public:
    static constexpr const char* kQuery = "SELECT first_name, uid, pic_square FROM user WHERE uid = me()";

    GetUserName() = default;
    static std::shared_ptr<GetUserName> initWithDelegate(std::shared_ptr<Facebook> session,
                                                         std::weak_ptr<GetUserNameDelegate> delegate);

    void execute();

    std::shared_ptr<GetUserNameDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<GetUserNameDelegate> delegate) { delegate_ = std::move(delegate); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    std::weak_ptr<GetUserNameDelegate> delegate_;
};

}  // namespace clipora
