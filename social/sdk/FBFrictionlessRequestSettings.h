#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "social/sdk/FBRequestDelegate.h"

namespace clipora {

class FBRequest;
class Facebook;

// The friends to whom application requests may go without a confirmation
// dialog (frictionless recipients). The session owns one: it reloads it from
// the graph path "me/apprequestformerrecipients" at every login and empties
// it at logout; a completed request dialog replaces it with the list the
// page returned. Main thread only.
class FBFrictionlessRequestSettings : public FBRequestDelegate,
                                      public std::enable_shared_from_this<FBFrictionlessRequestSettings> {
public:
    static constexpr const char* kRecipientsGraphPath = "me/apprequestformerrecipients";

    FBFrictionlessRequestSettings() = default;
    ~FBFrictionlessRequestSettings() override;

    // Once only: switches frictionless requests on and reloads the cache.
    void enableWithFacebook(const std::shared_ptr<Facebook>& facebook);
    // Asks the network for the recipients; a reload still under way is
    // dropped (cancelled), so only the newest reply counts.
    void reloadRecipientCacheWithFacebook(const std::shared_ptr<Facebook>& facebook);
    // Replaces the cache (an empty one for none) and drops a reload under way.
    void updateRecipientCacheWithRecipients(const std::vector<std::string>& recipients);
    void updateRecipientCacheWithRecipients(std::nullptr_t) {
        updateRecipientCacheWithRecipients(std::vector<std::string>{});
    }

    // The id, with spaces and tabs trimmed, is in the cache.
    bool isFrictionlessEnabledForRecipient(std::string_view fbid) const;
    // Every id (a text, or a number taken as its decimal text) is in the
    // cache; true for none. Any other element is a programming error:
    // platform::InvalidArgumentException "items in fbids must be NSString or
    // NSNumber".
    bool isFrictionlessEnabledForRecipients(const platform::Value::Array& fbids) const;

    // The reload's reply: {"data": [{"recipient_id": ...}, ...]}. Only the
    // reply of the reload under way counts; a reply of another shape counts
    // as a failed reload (the cache stays).
    void requestDidLoad(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void requestDidFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

    bool enabled() const { return enabled_; }
    const std::vector<std::string>& allowedRecipients() const { return allowedRecipients_; }
    void setAllowedRecipients(std::vector<std::string> recipients) { allowedRecipients_ = std::move(recipients); }
    const std::shared_ptr<FBRequest>& activeRequest() const { return activeRequest_; }
    void setActiveRequest(std::shared_ptr<FBRequest> request) { activeRequest_ = std::move(request); }

private:
    void dropActiveRequest();

    std::vector<std::string> allowedRecipients_;
    std::shared_ptr<FBRequest> activeRequest_;
    bool enabled_ = false;
};

}  // namespace clipora
