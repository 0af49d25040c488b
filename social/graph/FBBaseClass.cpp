#include "social/graph/FBBaseClass.h"

#include <string>

#include "platform/foundation/RunLoop.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

FBBaseClass::~FBBaseClass() {
    // A run holds the operation, so none is under way here; the watchdog
    // of an ended run is off already.
    disarmWatchdog();
}

platform::Error FBBaseClass::timeoutError() {
    return platform::Error(std::string(kTimeoutErrorDomain), kTimeoutErrorCode);
}

platform::Error FBBaseClass::junkDataError() {
    return platform::Error(std::string(kJunkDataErrorDomain), kJunkDataErrorCode);
}

void FBBaseClass::startRequest(const RequestMaker& make) {
    auto keep = shared_from_this();
    if (running_) cancelRequest();
    didReceiveData_ = false;

    std::shared_ptr<FBRequest> request;
    if (session_) request = make(*session_, std::weak_ptr<FBRequestDelegate>(keep));
    if (request) {
        // The session connects at once, which announces the run; a request
        // made without connecting is announced here.
        if (!running_ || fbRequest_ != request) requestLoading(request);
        return;
    }

    // Nothing was sent: fail this run rather than leave the caller waiting.
    fbRequest_.reset();
    running_ = true;
    const std::uint64_t generation = ++generation_;
    selfHold_ = keep;
    platform::RunLoop::current()->perform([weak = std::weak_ptr<FBBaseClass>(keep), generation] {
        auto self = weak.lock();
        if (!self || !self->running_ || self->generation_ != generation) return;
        self->endRun();
        self->failedWithJunkData(nullptr);
    });
}

void FBBaseClass::requestLoading(const std::shared_ptr<FBRequest>& request) {
    auto keep = weak_from_this().lock();
    if (!keep || !request) return;
    if (running_ && fbRequest_ == request) return;
    if (running_) cancelRequest();

    fbRequest_ = request;
    didReceiveData_ = false;
    running_ = true;
    ++generation_;
    selfHold_ = keep;
    armWatchdog();
}

void FBBaseClass::requestDidReceiveResponse(const std::shared_ptr<FBRequest>& request,
                                            const std::shared_ptr<platform::HTTPURLResponse>&) {
    if (!running_ || request != fbRequest_) return;
    didReceiveData_ = true;
    disarmWatchdog();
}

void FBBaseClass::requestDidLoad(const std::shared_ptr<FBRequest>& request, const platform::Value& result) {
    if (!running_ || request != fbRequest_) return;
    auto keep = shared_from_this();
    endRun();
    didLoadResult(request, result);
}

void FBBaseClass::requestDidFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) {
    if (!running_ || request != fbRequest_) return;
    auto keep = shared_from_this();
    endRun();
    noteFailure(error);
    didFailWithError(request, error);
}

void FBBaseClass::doneWaiting() {
    if (didReceiveData_ || !running_) return;
    auto keep = shared_from_this();
    std::shared_ptr<FBRequest> request = fbRequest_;
    cancelRequest();
    platform::Error error = timeoutError();
    noteFailure(error);
    didFailWithError(request, error);
}

void FBBaseClass::failedWithJunkData(const std::shared_ptr<FBRequest>& request) {
    auto keep = weak_from_this().lock();
    platform::Error error = junkDataError();
    noteFailure(error);
    didFailWithError(request, error);
}

void FBBaseClass::cancelRequest() {
    auto keep = weak_from_this().lock();
    if (!running_) return;
    // Marks the request complete, so the session drops it too.
    if (fbRequest_) fbRequest_->cancel();
    endRun();
}

void FBBaseClass::noteFailure(const platform::Error& error) {
    success_ = false;
    error_ = error;
}

platform::Value::Dictionary FBBaseClass::paramsUntilAbsent(
    std::initializer_list<std::pair<std::string_view, std::optional<std::string>>> params) {
    platform::Value::Dictionary result;
    for (const auto& [name, value] : params) {
        if (!value) break;
        result.emplace(std::string(name), platform::Value(*value));
    }
    return result;
}

void FBBaseClass::endRun() {
    running_ = false;
    ++generation_;
    disarmWatchdog();
    selfHold_.reset();
}

void FBBaseClass::armWatchdog() {
    disarmWatchdog();
    double delay = timeToWaitBeforeTimeout();
    if (delay == kNoTimeout) return;
    if (delay == 0.0) {
        delay = kDefaultTimeout;
        setTimeToWaitBeforeTimeout(delay);
    }
    watchdog_ =
        platform::RunLoop::current()->performAfterDelay(delay, [weak = weak_from_this(), generation = generation_] {
            auto self = weak.lock();
            if (!self || self->generation_ != generation) return;
            self->watchdog_.reset();
            self->doneWaiting();
        });
}

void FBBaseClass::disarmWatchdog() {
    if (!watchdog_) return;
    watchdog_->invalidate();
    watchdog_.reset();
}

}  // namespace clipora
