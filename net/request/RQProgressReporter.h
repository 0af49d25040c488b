#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "net/request/RQProgressDelegate.h"

namespace clipora {

class RQHTTPRequest;
class RQRequestListeners;

// One request's upload and download progress: what it reports to its
// progress delegates, its queue and its progress and size blocks as bytes
// go out and come in, and when an attempt starts again.
//
// Contract:
// - Ownership: part of its request (made with it, never outliving it). It
//   owns the progress settings (accurate progress, whether each direction
//   starts afresh), the counts already reported (bytes sent and read, the
//   part of the body the connection's buffer swallowed, whether an
//   inaccurate report was made) and the process-wide progress lock. It
//   reads the request's counts only through Transfer and tells the
//   request's RQRequestListeners.
// - Threads: the settings may be read and changed from any thread. The
//   steps run on the request's own thread (inline on the main thread for a
//   synchronous request started there); every message is posted to the
//   main thread, where the listeners are read afresh, so one cleared
//   meanwhile hears nothing. Each message keeps the request alive until it
//   has run. A progress delegate's setProgress() runs under lock().
// - Order: attemptStarting() before each attempt is sent, attemptOpened()
//   once its stream is open, sentSince() before each reading of the bytes
//   written, updateIndicators() on each status tick and at the end.
class RQProgressReporter {
public:
    // The request's transfer as the reporter sees it.
    class Transfer {
    public:
        struct Counts {
            // A HEAD companion: its sizes go to the request it works for,
            // which reports them.
            bool forAnotherRequest = false;
            bool cancelled = false;
            bool complete = false;
            // A response head arrived and no redirect is pending.
            bool answerArrived = false;
            std::uint64_t postLength = 0;
            std::uint64_t bytesSent = 0;
            std::uint64_t bytesRead = 0;
            std::uint64_t contentLength = 0;
            std::uint64_t partialDownloadSize = 0;
        };
        virtual Counts progressCounts() const = 0;
        // The request the messages name.
        virtual std::shared_ptr<RQHTTPRequest> progressRequest() = 0;

    protected:
        ~Transfer() = default;
    };

    RQProgressReporter(Transfer& transfer, const RQRequestListeners& listeners)
        : transfer_(transfer), listeners_(listeners) {}
    RQProgressReporter(const RQProgressReporter&) = delete;
    RQProgressReporter& operator=(const RQProgressReporter&) = delete;

    // Held while a progress delegate's setProgress() runs and while a
    // request ends its counts; one for the process.
    static std::recursive_mutex& lock();

    // --- Settings ---
    std::atomic<bool> showAccurateProgress{true};
    std::atomic<bool> shouldResetUploadProgress{true};
    std::atomic<bool> shouldResetDownloadProgress{true};

    std::uint64_t uploadBufferSize() const { return uploadBufferSize_.load(); }

    // --- Steps (the request's own thread) ---
    // A new attempt: bytes already reported as sent are taken back.
    void attemptStarting();
    // The attempt's stream is open: each direction that starts afresh says
    // so (the upload size grows by the body, or by 1 without accurate
    // progress).
    void attemptOpened();
    // The request's count of bytes sent was `before` until now; the next
    // update reports what was written since.
    void sentSince(std::uint64_t before) { lastBytesSent_.store(before); }
    // Reports what was sent and read since the last update: always with
    // accurate progress, else once, when the request is complete.
    void updateIndicators();
    void incrementSizeBy(bool upload, std::int64_t amount);
    // Sets the progress delegate of that direction to progress/total (1
    // when the total is 0: nothing to transfer is done).
    void setProgress(bool upload, std::uint64_t progress, std::uint64_t total);

private:
    void updateUpload(const Transfer::Counts& now);
    void updateDownload(const Transfer::Counts& now);
    // The bytes moved by `step` in a direction: to the delegates and the
    // queue, the progress delegate's fraction, the progress block.
    void reportStep(bool upload, std::int64_t step, std::uint64_t progress, std::uint64_t total,
                    std::uint64_t blockTotal);
    // One of the delegate's byte or size messages, to the queue (when it is
    // a progress delegate) and the progress delegate of that direction.
    using Message = void (RQProgressDelegate::*)(RQHTTPRequest&, std::int64_t);
    void tellDelegates(bool upload, Message message, std::int64_t amount);
    // Runs `task` on the main thread with the request, which it keeps alive.
    void onMainThread(std::function<void(RQHTTPRequest&)> task);

    Transfer& transfer_;
    const RQRequestListeners& listeners_;
    std::atomic<std::uint64_t> lastBytesRead_{0};
    std::atomic<std::uint64_t> lastBytesSent_{0};
    std::atomic<std::uint64_t> uploadBufferSize_{0};
    std::atomic<bool> updatedProgress_{false};
};

}  // namespace clipora
