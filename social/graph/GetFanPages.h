#pragma once

#include <memory>
#include <string>

#include "social/graph/FBBaseClass.h"
#include "social/graph/GetFanPagesDelegate.h"

namespace clipora {

class Facebook;

// The user's groups (which = "group", by FQL) or the user's page
// information (anything else, "pages.getInfo" with the name field only).
class GetFanPages : public FBBaseClass {
public:
    GetFanPages() = default;
    static std::shared_ptr<GetFanPages> initWithDelegate(std::shared_ptr<Facebook> session,
                                                         std::weak_ptr<GetFanPagesDelegate> delegate);

    void executeUid(const std::string& which, const std::string& uid);

    std::shared_ptr<GetFanPagesDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<GetFanPagesDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::string& which() const { return which_; }
    void setWhich(std::string which) { which_ = std::move(which); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    std::weak_ptr<GetFanPagesDelegate> delegate_;
    std::string which_;
};

}  // namespace clipora
