#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "social/graph/FBBaseClass.h"
#include "social/graph/Page.h"
#include "social/graph/StreamPublishDelegate.h"

namespace clipora {

class Facebook;

// Posts a link with a comment on the user's wall ("links.post"), or the
// promotional story to a feed ("stream.publish"). The operation keeps
// itself alive until the post ends, so a caller may start it and let go.
class StreamPublish : public FBBaseClass {
public:
    static constexpr double kFeedTimeout = 60.0;
    // The promotional story's fixed texts.
    static const char* const kAttachment;
    static const char* const kActionLinks;

    StreamPublish() = default;
    static std::shared_ptr<StreamPublish> initWithDelegate(std::shared_ptr<Facebook> session,
                                                           std::weak_ptr<StreamPublishDelegate> delegate);

    // "url" = link, "comment" = comment, ending at the first absent one.
    void postLinkWithComment(const std::optional<std::string>& link, const std::optional<std::string>& comment);
    // "message", "attachment", "action_links", "target_id", ending at the
    // first absent one.
    void postToNewFeedNameMessage(const std::optional<std::string>& targetID, const std::optional<std::string>& name,
                                  const std::optional<std::string>& message);

    std::shared_ptr<StreamPublishDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<StreamPublishDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::optional<std::string>& targetID() const { return targetID_; }
    void setTargetID(std::optional<std::string> v) { targetID_ = std::move(v); }
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    // The parsed reply of the last successful post.
    const std::optional<platform::Value>& lastPostID() const { return lastPostID_; }
    void setLastPostID(std::optional<platform::Value> v) { lastPostID_ = std::move(v); }
    const std::shared_ptr<Page>& page() const { return page_; }
    void setPage(std::shared_ptr<Page> v) { page_ = std::move(v); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    void post(const std::string& method, platform::Value::Dictionary params);

    std::weak_ptr<StreamPublishDelegate> delegate_;
    std::optional<std::string> targetID_;
    std::optional<std::string> name_;
    std::optional<platform::Value> lastPostID_;
    std::shared_ptr<Page> page_;
};

}  // namespace clipora
