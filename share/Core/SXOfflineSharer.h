#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Operation.h"
#include "share/Core/SXSharerDelegate.h"

namespace clipora {

namespace platform {
class Thread;
}

class SXItem;

// Replays one queued share: on the hub's offline queue it hands the share
// to a quiet sharer on the main thread and waits, spinning its own run
// loop, until the sharer's outcome. The queue entry and its data file are
// removed only after an outcome (finished, failed, cancelled); an entry
// whose sharer is no longer logged in stays for a later replay.
class SXOfflineSharer : public platform::Operation, public SXSharerDelegate {
public:
    SXOfflineSharer(std::shared_ptr<SXItem> item, std::string sharerId, std::string uid);

    void main() override;
    // Main thread: makes and starts the sharer.
    void share();
    bool shouldRun() const;
    // Lets main() return.
    void finish();

    void sharerStartedSending(const std::shared_ptr<SXSharer>&) override {}
    void sharerFinishedSending(const std::shared_ptr<SXSharer>& sharer) override;
    void sharerFailedWithErrorShouldRelogin(const std::shared_ptr<SXSharer>& sharer,
                                            const std::optional<platform::Error>& error, bool shouldRelogin) override;
    void sharerCancelledSending(const std::shared_ptr<SXSharer>& sharer) override;

    const std::shared_ptr<SXItem>& item() const { return item_; }
    const std::string& sharerId() const { return sharerId_; }
    const std::string& uid() const { return uid_; }
    bool readyToFinish() const { return readyToFinish_.load(); }

private:
    // Main thread: the share ended with an outcome.
    void ended(const std::shared_ptr<SXSharer>& sharer);

    std::shared_ptr<SXItem> item_;
    std::string sharerId_;
    std::string uid_;
    std::atomic<bool> readyToFinish_{false};
    std::shared_ptr<platform::Thread> runLoopThread_;
    std::shared_ptr<SXSharer> sharer_;
};

}  // namespace clipora
