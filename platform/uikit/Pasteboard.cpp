#include "platform/uikit/Pasteboard.h"

namespace clipora::platform {

namespace {
std::mutex& sharedMutex() {
    static std::mutex m;
    return m;
}
std::shared_ptr<Pasteboard>& shared() {
    static std::shared_ptr<Pasteboard> pasteboard = std::make_shared<Pasteboard>();
    return pasteboard;
}
}  // namespace

std::shared_ptr<Pasteboard> Pasteboard::generalPasteboard() {
    std::lock_guard lock(sharedMutex());
    return shared();
}

void Pasteboard::reset() {
    std::lock_guard lock(sharedMutex());
    shared() = std::make_shared<Pasteboard>();
}

std::optional<std::string> Pasteboard::string() const {
    std::lock_guard lock(mutex_);
    if (string_) return string_;
    if (url_) return url_->absoluteString();
    return std::nullopt;
}

void Pasteboard::setString(std::string text) {
    std::lock_guard lock(mutex_);
    string_ = std::move(text);
    url_.reset();
    image_.reset();
    ++changeCount_;
}

std::optional<URL> Pasteboard::url() const {
    std::lock_guard lock(mutex_);
    return url_;
}

void Pasteboard::setURL(const URL& url) {
    std::lock_guard lock(mutex_);
    url_ = url;
    string_.reset();
    image_.reset();
    ++changeCount_;
}

std::shared_ptr<Image> Pasteboard::image() const {
    std::lock_guard lock(mutex_);
    return image_;
}

void Pasteboard::setImage(std::shared_ptr<Image> image) {
    std::lock_guard lock(mutex_);
    image_ = std::move(image);
    string_.reset();
    url_.reset();
    ++changeCount_;
}

int Pasteboard::changeCount() const {
    std::lock_guard lock(mutex_);
    return changeCount_;
}

}  // namespace clipora::platform
