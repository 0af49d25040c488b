#pragma once

#include <memory>
#include <optional>
#include <string>

#include "social/graph/FBBaseClass.h"
#include "social/graph/StreamRemoveDelegate.h"

namespace clipora {

class Facebook;

// Deletes a post ("stream.remove").
class StreamRemove : public FBBaseClass {
public:
    StreamRemove() = default;
    static std::shared_ptr<StreamRemove> initWithDelegate(std::shared_ptr<Facebook> session,
                                                          std::weak_ptr<StreamRemoveDelegate> delegate);

    void execute(const std::optional<std::string>& postID);

    std::shared_ptr<StreamRemoveDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<StreamRemoveDelegate> delegate) { delegate_ = std::move(delegate); }
    // For the caller; the operation does not fill it.
    const std::optional<std::string>& postID() const { return postID_; }
    void setPostID(std::optional<std::string> v) { postID_ = std::move(v); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    std::weak_ptr<StreamRemoveDelegate> delegate_;
    std::optional<std::string> postID_;
};

}  // namespace clipora
