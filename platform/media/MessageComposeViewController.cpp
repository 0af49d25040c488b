#include "platform/media/MessageComposeViewController.h"

#include <mutex>

namespace clipora::platform {

namespace {

struct Record {
    std::mutex mutex;
    bool canSend = true;
    std::vector<MessageComposeViewController::Message> sent;
    std::vector<std::weak_ptr<MessageComposeViewController>> open;
};

Record& record() {
    static Record value;
    return value;
}

}  // namespace

bool MessageComposeViewController::canSendText() {
    std::lock_guard lock(record().mutex);
    return record().canSend;
}

void MessageComposeViewController::setCanSendText(bool can) {
    std::lock_guard lock(record().mutex);
    record().canSend = can;
}

std::shared_ptr<MessageComposeViewController> MessageComposeViewController::create() {
    if (!canSendText()) return nullptr;
    auto composer = std::make_shared<MessageComposeViewController>();
    std::lock_guard lock(record().mutex);
    record().open.push_back(composer);
    return composer;
}

MessageComposeViewController::MessageComposeViewController() = default;
MessageComposeViewController::~MessageComposeViewController() = default;

void MessageComposeViewController::send() { finish(MessageComposeResultSent); }
void MessageComposeViewController::cancel() { finish(MessageComposeResultCancelled); }
void MessageComposeViewController::fail() { finish(MessageComposeResultFailed); }

void MessageComposeViewController::finish(MessageComposeResult result) {
    if (result_) return;
    result_ = result;
    {
        std::lock_guard lock(record().mutex);
        if (result == MessageComposeResultSent) record().sent.push_back(message_);
        std::erase_if(record().open, [this](const auto& weak) {
            auto c = weak.lock();
            return !c || c.get() == this;
        });
    }
    auto self = sharedAs<MessageComposeViewController>();
    if (auto d = delegate_.lock()) d->messageComposeViewControllerDidFinishWithResult(self, result);
}

std::vector<MessageComposeViewController::Message> MessageComposeViewController::sentMessages() {
    std::lock_guard lock(record().mutex);
    return record().sent;
}

void MessageComposeViewController::clearSentMessages() {
    std::lock_guard lock(record().mutex);
    record().sent.clear();
    record().open.clear();
}

std::vector<std::shared_ptr<MessageComposeViewController>> MessageComposeViewController::openComposers() {
    std::lock_guard lock(record().mutex);
    std::vector<std::shared_ptr<MessageComposeViewController>> live;
    for (const auto& weak : record().open) {
        if (auto c = weak.lock()) live.push_back(std::move(c));
    }
    return live;
}

std::string MessageComposeViewController::description() const {
    return "<MessageComposeViewController body=\"" + message_.body + "\">";
}

}  // namespace clipora::platform
