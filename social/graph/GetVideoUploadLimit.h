#pragma once

#include <memory>

#include "social/graph/FBBaseClass.h"
#include "social/graph/GetVideoUploadLimitDelegate.h"

namespace clipora {

class Facebook;

// The user's video upload limits, by the REST method
// "video.getUploadLimits" (GET, no parameters); the reply is handed over as
// parsed.
class GetVideoUploadLimit : public FBBaseClass {
public:
    GetVideoUploadLimit() = default;
    static std::shared_ptr<GetVideoUploadLimit> initWithDelegate(std::shared_ptr<Facebook> session,
                                                                 std::weak_ptr<GetVideoUploadLimitDelegate> delegate);

    void execute();

    std::shared_ptr<GetVideoUploadLimitDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<GetVideoUploadLimitDelegate> delegate) { delegate_ = std::move(delegate); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    std::weak_ptr<GetVideoUploadLimitDelegate> delegate_;
};

}  // namespace clipora
