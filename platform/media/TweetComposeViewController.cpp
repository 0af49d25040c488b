#include "platform/media/TweetComposeViewController.h"

#include <mutex>

#include "platform/uikit/Image.h"

namespace clipora::platform {

namespace {

struct Record {
    std::mutex mutex;
    bool available = true;
    bool canSend = true;
    std::vector<TweetComposeViewController::Tweet> sent;
};

Record& record() {
    static Record value;
    return value;
}

// Characters, not bytes: UTF-8 continuation bytes are not counted.
std::size_t characterCount(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++count;
    }
    return count;
}

}  // namespace

bool TweetComposeViewController::isAvailable() {
    std::lock_guard lock(record().mutex);
    return record().available;
}

void TweetComposeViewController::setAvailable(bool available) {
    std::lock_guard lock(record().mutex);
    record().available = available;
}

bool TweetComposeViewController::canSendTweet() {
    std::lock_guard lock(record().mutex);
    return record().canSend;
}

void TweetComposeViewController::setCanSendTweet(bool can) {
    std::lock_guard lock(record().mutex);
    record().canSend = can;
}

TweetComposeViewController::TweetComposeViewController() = default;
TweetComposeViewController::~TweetComposeViewController() = default;

bool TweetComposeViewController::setInitialText(std::string text) {
    if (shown_ || characterCount(text) > kMaximumTextLength) return false;
    tweet_.text = std::move(text);
    return true;
}

bool TweetComposeViewController::addImage(std::shared_ptr<Image> image) {
    if (shown_ || !image) return false;
    images_.push_back(std::move(image));
    tweet_.imageCount = images_.size();
    return true;
}

bool TweetComposeViewController::removeAllImages() {
    if (shown_) return false;
    images_.clear();
    tweet_.imageCount = 0;
    return true;
}

bool TweetComposeViewController::addURL(const URL& url) {
    if (shown_) return false;
    urls_.push_back(url);
    tweet_.urls.push_back(url.absoluteString());
    return true;
}

bool TweetComposeViewController::removeAllURLs() {
    if (shown_) return false;
    urls_.clear();
    tweet_.urls.clear();
    return true;
}

void TweetComposeViewController::send() { finish(ResultDone); }
void TweetComposeViewController::cancel() { finish(ResultCancelled); }

void TweetComposeViewController::finish(Result result) {
    if (result_) return;
    result_ = result;
    if (result == ResultDone) {
        std::lock_guard lock(record().mutex);
        record().sent.push_back(tweet_);
    }
    auto keepAlive = shared_from_this();
    if (completion_) {
        auto handler = completion_;  // the handler may replace or drop itself
        handler(result);
    }
}

std::vector<TweetComposeViewController::Tweet> TweetComposeViewController::sentTweets() {
    std::lock_guard lock(record().mutex);
    return record().sent;
}

void TweetComposeViewController::clearSentTweets() {
    std::lock_guard lock(record().mutex);
    record().sent.clear();
}

void TweetComposeViewController::viewDidAppear(bool animated) {
    ViewController::viewDidAppear(animated);
    shown_ = true;
}

std::string TweetComposeViewController::description() const {
    return "<TweetComposeViewController text=\"" + tweet_.text + "\">";
}

}  // namespace clipora::platform
