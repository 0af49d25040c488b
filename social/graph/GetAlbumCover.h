#pragma once

#include <memory>
#include <string>

#include "social/graph/FBBaseClass.h"
#include "social/graph/GetAlbumCoverDelegate.h"

namespace clipora {

class Facebook;

// The small images of the cover photos of a user's albums, by one FQL query
// (watchdog 120 s). The reply must be a list of objects; anything else is
// junk data (-3).
class GetAlbumCover : public FBBaseClass {
public:
    static constexpr double kTimeout = 120.0;

    GetAlbumCover() = default;
    static std::shared_ptr<GetAlbumCover> initWithDelegate(std::shared_ptr<Facebook> session,
                                                           std::weak_ptr<GetAlbumCoverDelegate> delegate);

    void execute(const std::string& uid);

    std::shared_ptr<GetAlbumCoverDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<GetAlbumCoverDelegate> delegate) { delegate_ = std::move(delegate); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    std::weak_ptr<GetAlbumCoverDelegate> delegate_;
};

}  // namespace clipora
