#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Value.h"
#include "social/graph/FBBaseClass.h"
#include "social/graph/PostingDelegate.h"

namespace clipora {

class Facebook;

// Likes, comments on, unlikes and removes the comments of any object of the
// network through its graph paths ("<id>/likes", "<id>/comments").
class Posting : public FBBaseClass {
public:
    Posting() = default;
    static std::shared_ptr<Posting> initWithDelegate(std::shared_ptr<Facebook> session,
                                                     std::weak_ptr<PostingDelegate> delegate);

    void likeObjectID(const std::string& objectID);
    void commentObjectIDMessage(const std::string& objectID, const std::string& message);
    void deleteLike(const std::string& objectID);
    void deleteComment(const std::string& objectID);

    std::shared_ptr<PostingDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<PostingDelegate> delegate) { delegate_ = std::move(delegate); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    void send(const std::string& path, platform::Value::Dictionary params, const std::string& httpMethod);

    std::weak_ptr<PostingDelegate> delegate_;
};

}  // namespace clipora
