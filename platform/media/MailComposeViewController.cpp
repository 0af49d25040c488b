#include "platform/media/MailComposeViewController.h"

#include <mutex>

namespace clipora::platform {

namespace {

struct Record {
    std::mutex mutex;
    bool canSend = true;
    std::vector<MailComposeViewController::Message> sent;
    std::vector<std::weak_ptr<MailComposeViewController>> open;
};

Record& record() {
    static Record value;
    return value;
}

}  // namespace

bool MailComposeViewController::canSendMail() {
    std::lock_guard lock(record().mutex);
    return record().canSend;
}

void MailComposeViewController::setCanSendMail(bool can) {
    std::lock_guard lock(record().mutex);
    record().canSend = can;
}

std::shared_ptr<MailComposeViewController> MailComposeViewController::create() {
    if (!canSendMail()) return nullptr;
    auto composer = std::make_shared<MailComposeViewController>();
    std::lock_guard lock(record().mutex);
    record().open.push_back(composer);
    return composer;
}

MailComposeViewController::MailComposeViewController() = default;
MailComposeViewController::~MailComposeViewController() = default;

void MailComposeViewController::setMessageBodyIsHTML(std::string body, bool isHTML) {
    message_.body = std::move(body);
    message_.isHTML = isHTML;
}

void MailComposeViewController::addAttachmentDataMimeTypeFileName(Data data, std::string mimeType,
                                                                  std::string fileName) {
    message_.attachments.push_back({std::move(data), std::move(mimeType), std::move(fileName)});
}

void MailComposeViewController::send() { finish(MailComposeResultSent, std::nullopt); }
void MailComposeViewController::save() { finish(MailComposeResultSaved, std::nullopt); }
void MailComposeViewController::cancel() { finish(MailComposeResultCancelled, std::nullopt); }
void MailComposeViewController::fail(const Error& error) { finish(MailComposeResultFailed, error); }

void MailComposeViewController::finish(MailComposeResult result, const std::optional<Error>& error) {
    if (result_) return;
    result_ = result;
    {
        std::lock_guard lock(record().mutex);
        if (result == MailComposeResultSent) record().sent.push_back(message_);
        std::erase_if(record().open, [this](const auto& weak) {
            auto c = weak.lock();
            return !c || c.get() == this;
        });
    }
    auto self = sharedAs<MailComposeViewController>();
    if (auto d = delegate_.lock()) d->mailComposeControllerDidFinishWithResultError(self, result, error);
}

std::vector<MailComposeViewController::Message> MailComposeViewController::sentMessages() {
    std::lock_guard lock(record().mutex);
    return record().sent;
}

void MailComposeViewController::clearSentMessages() {
    std::lock_guard lock(record().mutex);
    record().sent.clear();
    record().open.clear();
}

std::vector<std::shared_ptr<MailComposeViewController>> MailComposeViewController::openComposers() {
    std::lock_guard lock(record().mutex);
    std::vector<std::shared_ptr<MailComposeViewController>> live;
    for (const auto& weak : record().open) {
        if (auto c = weak.lock()) live.push_back(std::move(c));
    }
    return live;
}

void MailComposeViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    setTitle(message_.subject.empty() ? "New Message" : message_.subject);
}

std::string MailComposeViewController::description() const {
    return "<MailComposeViewController subject=\"" + message_.subject + "\">";
}

}  // namespace clipora::platform
