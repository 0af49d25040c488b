#include "analytics/TallyHeartBeater.h"

#include <mutex>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Timer.h"

namespace clipora {

using namespace platform;

namespace {
std::mutex& sharedMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<TallyHeartBeater>& shared() {
    static std::shared_ptr<TallyHeartBeater> heartBeater;
    return heartBeater;
}
}  // namespace

std::shared_ptr<TallyHeartBeater> TallyHeartBeater::createAndStartInstance(double interval) {
    std::lock_guard lock(sharedMutex());
    if (!shared()) {
        shared() = std::make_shared<TallyHeartBeater>();
        shared()->start(interval);
    }
    return shared();
}

std::shared_ptr<TallyHeartBeater> TallyHeartBeater::instance() {
    std::lock_guard lock(sharedMutex());
    return shared();
}

void TallyHeartBeater::reset() {
    std::shared_ptr<TallyHeartBeater> old;
    std::lock_guard lock(sharedMutex());
    old.swap(shared());
}

TallyHeartBeater::~TallyHeartBeater() {
    if (timer_) timer_->invalidate();
}

void TallyHeartBeater::start(double interval) {
    if (timer_) timer_->invalidate();
    // The action needs nothing of the heartbeater, so the timer held by the
    // run loop never keeps it alive.
    timer_ = Timer::scheduled(interval, true, [](Timer&) {
        NotificationCenter::defaultCenter().post(kHeartBeatNotification);
    });
}

void TallyHeartBeater::heartBeat() { NotificationCenter::defaultCenter().post(kHeartBeatNotification); }

}  // namespace clipora
