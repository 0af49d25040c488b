#include "net/request/RQProgressReporter.h"

#include <utility>

#include "net/request/RQRequestListeners.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"

namespace clipora {

std::recursive_mutex& RQProgressReporter::lock() {
    // Never destroyed: the network thread may still report while the
    // process exits.
    static std::recursive_mutex* instance = new std::recursive_mutex;
    return *instance;
}

void RQProgressReporter::onMainThread(std::function<void(RQHTTPRequest&)> task) {
    auto request = transfer_.progressRequest();
    platform::Thread::performOnMainThread([request, task = std::move(task)] { task(*request); },
                                          platform::RunLoop::isMainThread());
}

void RQProgressReporter::tellDelegates(bool upload, Message message, std::int64_t amount) {
    onMainThread([this, upload, message, amount](RQHTTPRequest& request) {
        listeners_.progress(
            upload, [&](RQProgressDelegate& d) { (d.*message)(request, amount); }, true);
    });
}

void RQProgressReporter::attemptStarting() {
    lastBytesRead_.store(0);
    if (lastBytesSent_.load() > 0) {
        const auto now = transfer_.progressCounts();
        reportStep(true, -static_cast<std::int64_t>(now.bytesSent), 0, now.postLength, now.postLength);
    }
    lastBytesSent_.store(0);
}

void RQProgressReporter::attemptOpened() {
    const auto now = transfer_.progressCounts();
    if (now.forAnotherRequest) return;
    if (shouldResetUploadProgress.load()) {
        incrementSizeBy(true, showAccurateProgress.load() ? static_cast<std::int64_t>(now.postLength) : 1);
        setProgress(true, 0, 1);
    }
    if (shouldResetDownloadProgress.load() && now.partialDownloadSize == 0) setProgress(false, 0, 1);
}

void RQProgressReporter::updateIndicators() {
    const auto now = transfer_.progressCounts();
    if (now.forAnotherRequest) return;
    if (showAccurateProgress.load() || (now.complete && !updatedProgress_.load())) {
        updateUpload(now);
        updateDownload(now);
    }
}

void RQProgressReporter::updateUpload(const Transfer::Counts& now) {
    if (now.cancelled || now.bytesSent == 0) return;
    const std::uint64_t sent = now.bytesSent;
    const std::uint64_t length = now.postLength;
    // What the first reading finds already written sits in the
    // connection's buffer, not at the server: it is not counted.
    if (uploadBufferSize_.load() == 0 && sent != length) {
        uploadBufferSize_.store(sent);
        incrementSizeBy(true, -static_cast<std::int64_t>(sent));
    }
    std::int64_t step = 0;
    if (showAccurateProgress.load()) {
        if (sent == length || lastBytesSent_.load() > 0)
            step = static_cast<std::int64_t>(sent) - static_cast<std::int64_t>(lastBytesSent_.load());
    } else {
        step = 1;
        updatedProgress_.store(true);
    }
    if (step == 0) return;
    const std::uint64_t buffer = uploadBufferSize_.load();
    reportStep(true, step, sent > buffer ? sent - buffer : 0, length > buffer ? length - buffer : 0, length);
}

void RQProgressReporter::updateDownload(const Transfer::Counts& now) {
    if (!now.answerArrived) return;
    if (now.contentLength == 0 && !now.complete) return;
    const std::uint64_t soFar = now.bytesRead + now.partialDownloadSize;
    std::int64_t step;
    if (showAccurateProgress.load() && now.contentLength > 0) {
        step = static_cast<std::int64_t>(soFar) - static_cast<std::int64_t>(lastBytesRead_.load());
    } else {
        step = 1;
        updatedProgress_.store(true);
    }
    if (step == 0) return;
    const std::uint64_t total = now.contentLength + now.partialDownloadSize;
    reportStep(false, step, soFar, total, total);
    lastBytesRead_.store(soFar);
}

void RQProgressReporter::reportStep(bool upload, std::int64_t step, std::uint64_t progress, std::uint64_t total,
                                    std::uint64_t blockTotal) {
    tellDelegates(
        upload, upload ? &RQProgressDelegate::requestDidSendBytes : &RQProgressDelegate::requestDidReceiveBytes, step);
    setProgress(upload, progress, total);
    if (listeners_.hasProgressBlock(upload)) {
        onMainThread([this, upload, step, blockTotal](RQHTTPRequest&) {
            listeners_.progressBlock(upload, static_cast<std::uint64_t>(step), blockTotal);
        });
    }
}

void RQProgressReporter::incrementSizeBy(bool upload, std::int64_t amount) {
    tellDelegates(upload,
                  upload ? &RQProgressDelegate::requestIncrementUploadSizeBy
                         : &RQProgressDelegate::requestIncrementDownloadSizeBy,
                  amount);
    if (listeners_.hasSizeBlock(upload))
        onMainThread([this, upload, amount](RQHTTPRequest&) { listeners_.sizeBlock(upload, amount); });
}

void RQProgressReporter::setProgress(bool upload, std::uint64_t progress, std::uint64_t total) {
    // Nothing to transfer is complete, not 0/0.
    const float value =
        total == 0 ? 1.0f : static_cast<float>(static_cast<double>(progress) / static_cast<double>(total));
    onMainThread([this, upload, value](RQHTTPRequest&) {
        auto target = listeners_.progressDelegate(upload);
        if (!target) return;
        std::lock_guard guard(lock());
        target->setProgress(value);
    });
}

}  // namespace clipora
