#include "share/Core/SXOfflineSharer.h"

#include <filesystem>

#include "platform/foundation/Date.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"
#include "platform/uikit/Image.h"
#include "share/Core/SX.h"
#include "share/Core/SXItem.h"
#include "share/Core/SXSharer.h"
#include "share/Core/SXSharerRegistry.h"

namespace clipora {

SXOfflineSharer::SXOfflineSharer(std::shared_ptr<SXItem> item, std::string sharerId, std::string uid)
    : item_(std::move(item)), sharerId_(std::move(sharerId)), uid_(std::move(uid)) {}

bool SXOfflineSharer::shouldRun() const { return !isCancelled() && !isFinished() && !readyToFinish_.load(); }

void SXOfflineSharer::main() {
    if (!shouldRun()) return;
    runLoopThread_ = platform::Thread::current();
    auto self = std::static_pointer_cast<SXOfflineSharer>(shared_from_this());
    platform::Thread::performOnMainThread([self] { self->share(); }, true);
    auto loop = platform::RunLoop::current();
    while (shouldRun()) loop->runMode(platform::RunLoop::defaultMode, platform::Date::distantFuture());
}

void SXOfflineSharer::finish() {
    SX::currentHelper()->offlineShareEnded(uid_);
    readyToFinish_.store(true);
    // Wakes the worker's run loop so that main() returns.
    if (runLoopThread_)
        platform::Thread::performOnThread(
            runLoopThread_, [] {}, false);
}

void SXOfflineSharer::share() {
    auto sharer = SXSharerRegistry::create(sharerId_);
    if (!sharer) {
        // No class of that name: nothing can ever send this entry.
        SX::removeOfflineQueueEntry(uid_);
        finish();
        return;
    }
    sharer_ = sharer;
    sharer->setItem(item_);
    sharer->setQuiet(true);
    sharer->setShareDelegate(std::static_pointer_cast<SXOfflineSharer>(shared_from_this()));
    if (!sharer->isAuthorized()) {
        // Kept, with its data file, for a replay after the next login.
        finish();
        return;
    }
    auto dataPath = (std::filesystem::path(SX::offlineQueuePath()) / uid_).string();
    if (item_->shareType() == SXItem::SXShareTypeImage) {
        item_->setImage(platform::Image::imageWithContentsOfFile(dataPath));
    } else if (item_->shareType() == SXItem::SXShareTypeFile) {
        item_->setData(platform::FileManager::contentsOfFile(dataPath));
    }
    if (!sharer->tryToSend()) {
        // Not sent: an item that can never be sent goes; another waits.
        if (!sharer->validateItem()) SX::removeOfflineQueueEntry(uid_);
        finish();
    }
}

void SXOfflineSharer::ended(const std::shared_ptr<SXSharer>& sharer) {
    if (sharer) sharer->setShareDelegate({});
    SX::removeOfflineQueueEntry(uid_);
    finish();
}

void SXOfflineSharer::sharerFinishedSending(const std::shared_ptr<SXSharer>& sharer) { ended(sharer); }

void SXOfflineSharer::sharerFailedWithErrorShouldRelogin(const std::shared_ptr<SXSharer>& sharer,
                                                         const std::optional<platform::Error>&, bool shouldRelogin) {
    if (!shouldRelogin) {
        ended(sharer);
        return;
    }
    // The login expired: the entry waits for the next one.
    sharer->setShareDelegate({});
    finish();
}

void SXOfflineSharer::sharerCancelledSending(const std::shared_ptr<SXSharer>& sharer) { ended(sharer); }

}  // namespace clipora
