#include "platform/foundation/Stream.h"

#include <algorithm>
#include <cstdio>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/RunLoopSource.h"

namespace clipora::platform {

Stream::~Stream() { unscheduleAll(); }

Stream::Status Stream::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::optional<Error> Stream::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void Stream::setDelegate(std::weak_ptr<StreamDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::weak_ptr<StreamDelegate> Stream::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void Stream::scheduleInRunLoop(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode) {
    if (!runLoop) return;
    std::shared_ptr<RunLoopSource> source;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : schedules_)
            if (entry.loop.lock() == runLoop && entry.mode == mode) return;
        if (!source_) {
            // The source holds the stream weakly: scheduling does not keep a
            // stream alive, and a released stream stops delivering.
            std::weak_ptr<Stream> weak = weak_from_this();
            source_ = RunLoopSource::create([weak] {
                if (auto self = weak.lock()) self->deliverEvents();
            });
        }
        source = source_;
        schedules_.push_back({runLoop, mode});
    }
    runLoop->addSource(source, mode);
    bool pending;
    {
        std::lock_guard lock(mutex_);
        pending = pendingEvents_ != 0;
    }
    if (pending) source->signal();
}

void Stream::removeFromRunLoop(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode) {
    std::shared_ptr<RunLoopSource> source;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(schedules_.begin(), schedules_.end(), [&](const Schedule& entry) {
            return entry.loop.lock() == runLoop && entry.mode == mode;
        });
        if (it == schedules_.end()) return;
        schedules_.erase(it);
        source = source_;
    }
    if (runLoop && source) runLoop->removeSource(source, mode);
}

std::string Stream::description() const {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "<Stream: %p>", static_cast<const void*>(this));
    return buffer;
}

void Stream::setStatus(Status status) {
    std::lock_guard lock(mutex_);
    status_ = status;
}

void Stream::fail(Error error) {
    {
        std::lock_guard lock(mutex_);
        status_ = Status::Error;
        error_ = std::move(error);
    }
    queueEvents(ErrorOccurred);
}

void Stream::queueEvents(unsigned events) {
    std::shared_ptr<RunLoopSource> source;
    {
        std::lock_guard lock(mutex_);
        pendingEvents_ |= events;
        if (!schedules_.empty()) source = source_;
    }
    if (source) source->signal();
}

void Stream::unscheduleAll() {
    std::shared_ptr<RunLoopSource> source;
    {
        std::lock_guard lock(mutex_);
        schedules_.clear();
        pendingEvents_ = 0;
        source = std::move(source_);
    }
    if (source) source->invalidate();
}

void Stream::deliverEvents() {
    // Keep the stream alive across callbacks: a delegate may drop it.
    auto self = shared_from_this();
    unsigned events;
    std::shared_ptr<StreamDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        events = pendingEvents_;
        pendingEvents_ = 0;
        delegate = delegate_.lock();
    }
    if (!delegate) return;
    for (unsigned event : {OpenCompleted, HasBytesAvailable, HasSpaceAvailable, ErrorOccurred, EndEncountered}) {
        if (!(events & event)) continue;
        {
            std::lock_guard lock(mutex_);
            if (!source_) return;  // closed or unscheduled by an earlier callback
        }
        delegate->streamHandleEvent(*this, event);
    }
}

}  // namespace clipora::platform
