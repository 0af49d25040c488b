#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Timer.h"
#include "platform/foundation/Value.h"
#include "social/sdk/FBRequestDelegate.h"

namespace clipora {

class FBRequest;
class Facebook;

// Base of the graph operations: one social-network call at a time through
// the session, a watchdog that turns a call without an answer into a
// failure, and the outcome (success, error). Main thread only.
//
// A run starts when the request announces itself (requestLoading) and ends
// with exactly one report: the reply, a failure (transport, error reply,
// time-out -2, junk data -3), or nothing when the run is cancelled. Per run:
//  - the watchdog is armed once and disarmed by the response head, the
//    reply, a failure or a cancel, so a later run is never cut short by an
//    earlier one's watchdog;
//  - didReceiveData starts cleared;
//  - the operation keeps itself alive until the run ends, so an owner may
//    let go of it right after starting it;
//  - starting a new run cancels the previous one, and replies of any request
//    other than the current fbRequest are ignored.
//
// Subclasses are made with std::make_shared, start runs through
// startRequest(), and receive the outcome in didLoadResult() and
// didFailWithError().
class FBBaseClass : public FBRequestDelegate, public std::enable_shared_from_this<FBBaseClass> {
public:
    static constexpr std::int64_t kTimeoutErrorCode = -2;
    static constexpr std::string_view kTimeoutErrorDomain = "Request is taking too long. Timeout.";
    static constexpr std::int64_t kJunkDataErrorCode = -3;
    static constexpr std::string_view kJunkDataErrorDomain = "There are no connection but junk data is return.";
    static constexpr double kDefaultTimeout = 30.0;
    // timeToWaitBeforeTimeout: no watchdog at all.
    static constexpr double kNoTimeout = -1.0;

    FBBaseClass() = default;
    ~FBBaseClass() override;
    FBBaseClass(const FBBaseClass&) = delete;
    FBBaseClass& operator=(const FBBaseClass&) = delete;

    // --- FBRequestDelegate ---
    // Starts the run of `request` (cancelling a different one still running)
    // and arms the watchdog.
    void requestLoading(const std::shared_ptr<FBRequest>& request) override;
    // Sets didReceiveData and disarms the watchdog.
    void requestDidReceiveResponse(const std::shared_ptr<FBRequest>& request,
                                   const std::shared_ptr<platform::HTTPURLResponse>& response) override;
    // End the run and hand over to didLoadResult / didFailWithError.
    void requestDidLoad(const std::shared_ptr<FBRequest>& request, const platform::Value& result) final;
    void requestDidFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) final;

    // The watchdog's action: unless a head arrived, cancels the request and
    // reports error -2.
    void doneWaiting();
    // success false, error -3, then didFailWithError. For converters that
    // find the reply (or a row or field of it) of the wrong kind.
    void failedWithJunkData(const std::shared_ptr<FBRequest>& request);
    // Cancels the request under way (it completes at once, so the session
    // lets it go), disarms the watchdog and ends the run without a report.
    virtual void cancelRequest();

    // --- Fields ---
    bool success() const { return success_; }
    void setSuccess(bool success) { success_ = success; }
    const std::optional<platform::Error>& error() const { return error_; }
    void setError(std::optional<platform::Error> error) { error_ = std::move(error); }
    // The session the requests are built through.
    const std::shared_ptr<Facebook>& request() const { return session_; }
    void setRequest(std::shared_ptr<Facebook> session) { session_ = std::move(session); }
    // 0: the default of 30 s (written back when the watchdog is armed);
    // -1: no watchdog; anything else: the delay in seconds.
    double timeToWaitBeforeTimeout() const { return timeToWait_.load(); }
    void setTimeToWaitBeforeTimeout(double seconds) { timeToWait_.store(seconds); }
    bool didReceiveData() const { return didReceiveData_; }
    const std::shared_ptr<FBRequest>& fbRequest() const { return fbRequest_; }
    void setFbRequest(std::shared_ptr<FBRequest> request) { fbRequest_ = std::move(request); }
    // A run is under way (between the request's start and its report).
    bool isRunning() const { return running_; }
    // The watchdog of the run under way, if armed.
    const std::shared_ptr<platform::Timer>& watchdog() const { return watchdog_; }

    static platform::Error timeoutError();
    static platform::Error junkDataError();

protected:
    using RequestMaker =
        std::function<std::shared_ptr<FBRequest>(Facebook& session, std::weak_ptr<FBRequestDelegate> delegate)>;

    // Starts a run: cancels the one under way, then asks the session (which
    // connects at once) for the request `make` builds with this operation as
    // its delegate. Without a session, or when the session makes no request,
    // the run fails with junk data (-3) on the next turn of the run loop.
    void startRequest(const RequestMaker& make);

    // The reply of the current run (the run has ended).
    virtual void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) = 0;
    // The failure of the current run; success and error are already set.
    virtual void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) = 0;

    // Records a failure: success false, error kept.
    void noteFailure(const platform::Error& error);

    // Request parameters from an ordered list that ends at its first absent
    // value: nothing after it is sent.
    static platform::Value::Dictionary paramsUntilAbsent(
        std::initializer_list<std::pair<std::string_view, std::optional<std::string>>> params);

private:
    // Ends the run: watchdog off, no more replies taken, self-hold released.
    // The caller keeps its own reference to the operation across the call.
    void endRun();
    void armWatchdog();
    void disarmWatchdog();

    bool success_ = false;
    std::optional<platform::Error> error_;
    std::shared_ptr<Facebook> session_;
    std::atomic<double> timeToWait_{0.0};
    bool didReceiveData_ = false;
    std::shared_ptr<FBRequest> fbRequest_;

    bool running_ = false;
    std::uint64_t generation_ = 0;  // which run a pending watchdog or report belongs to
    std::shared_ptr<platform::Timer> watchdog_;
    std::shared_ptr<FBBaseClass> selfHold_;
};

}  // namespace clipora
