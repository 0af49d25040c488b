#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/StreamDelegate.h"

namespace clipora::platform {

class RunLoop;
class RunLoopSource;

// Common part of input and output streams: status, error, delegate and
// run-loop scheduling.
//
// A stream is used by one thread at a time. Scheduled on a run loop, it tells
// its delegate (held weakly) of its events there: OpenCompleted once opened;
// HasBytesAvailable after opening and again after each read that leaves
// bytes; HasSpaceAvailable after opening and after each write; ErrorOccurred
// on failure; EndEncountered once the input is exhausted. An unscheduled
// stream is simply read or written synchronously. Destruction closes it.
class Stream : public Object, public std::enable_shared_from_this<Stream> {
public:
    enum class Status {
        NotOpen = 0,
        Opening = 1,
        Open = 2,
        Reading = 3,
        Writing = 4,
        AtEnd = 5,
        Closed = 6,
        Error = 7
    };
    enum Event : unsigned {
        None = 0,
        OpenCompleted = 1,
        HasBytesAvailable = 2,
        HasSpaceAvailable = 4,
        ErrorOccurred = 8,
        EndEncountered = 16,
    };

    ~Stream() override;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    virtual void open() = 0;
    virtual void close() = 0;

    Status status() const;
    // Set once the stream has failed (status Error).
    std::optional<Error> error() const;

    void setDelegate(std::weak_ptr<StreamDelegate> delegate);
    std::weak_ptr<StreamDelegate> delegate() const;

    // Event delivery on `runLoop` while it runs in `mode` (a stream may be
    // scheduled in several modes of one loop).
    void scheduleInRunLoop(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode);
    void removeFromRunLoop(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode);

    std::string description() const override;

protected:
    Stream() = default;

    void setStatus(Status status);
    // Status Error, the error kept, ErrorOccurred queued.
    void fail(Error error);
    // Queues events for the delegate (no effect while unscheduled).
    void queueEvents(unsigned events);
    // Stops event delivery; subclasses call it from close() and destructors.
    void unscheduleAll();

private:
    void deliverEvents();

    mutable std::mutex mutex_;
    Status status_ = Status::NotOpen;
    std::optional<Error> error_;
    std::weak_ptr<StreamDelegate> delegate_;
    unsigned pendingEvents_ = 0;
    std::shared_ptr<RunLoopSource> source_;
    struct Schedule {
        std::weak_ptr<RunLoop> loop;
        std::string mode;
    };
    std::vector<Schedule> schedules_;
};

}  // namespace clipora::platform
