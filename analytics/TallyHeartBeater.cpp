#include "analytics/TallyHeartBeater.h"

#include "analytics/TallyShared.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Timer.h"

namespace clipora {

using namespace platform;

std::shared_ptr<TallyHeartBeater> TallyHeartBeater::createAndStartInstance(double interval) {
    return TallyShared<TallyHeartBeater>::getOrMake([interval] {
        auto heartBeater = std::make_shared<TallyHeartBeater>();
        heartBeater->start(interval);
        return heartBeater;
    });
}

std::shared_ptr<TallyHeartBeater> TallyHeartBeater::instance() { return TallyShared<TallyHeartBeater>::get(); }

void TallyHeartBeater::reset() { TallyShared<TallyHeartBeater>::reset(); }

TallyHeartBeater::~TallyHeartBeater() {
    if (timer_) timer_->invalidate();
}

void TallyHeartBeater::start(double interval) {
    if (timer_) timer_->invalidate();
    // The action needs nothing of the heartbeater, so the timer held by the
    // run loop never keeps it alive.
    timer_ = Timer::scheduled(interval, true,
                              [](Timer&) { NotificationCenter::defaultCenter().post(kHeartBeatNotification); });
}

void TallyHeartBeater::heartBeat() { NotificationCenter::defaultCenter().post(kHeartBeatNotification); }

}  // namespace clipora
