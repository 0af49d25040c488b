#include "app/Downloader.h"

#include <cstdio>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"

namespace clipora {

using namespace platform;

namespace {

Error downloaderError(std::int64_t code, const std::string& description) {
    return Error::withDescription(Downloader::kErrorDomain, code, description);
}

}  // namespace

Downloader::~Downloader() {
    if (connection_) connection_->cancel();
    if (file_) {
        file_->close();
        FileManager::removeItem(partialPath());
    }
}

std::string Downloader::megabytesText(std::uint64_t bytes) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(static_cast<float>(bytes) * (1.0f / 1048576.0f)));
    return text;
}

void Downloader::startDownload(const std::shared_ptr<Video>& video, const std::string& destinationPath) {
    cancelDownload();
    video_ = video;
    destination_ = destinationPath;
    received_ = 0;
    std::optional<URL> url;
    if (video && video->url()) url = URL::fromString(*video->url());
    if (!url || !URLConnection::canHandleRequest(URLRequest(*url)) || destination_.empty()) {
        std::weak_ptr<Downloader> weak = shared_from_this();
        RunLoop::current()->perform([weak, video] {
            auto self = weak.lock();
            if (!self || self->video_ != video || self->connection_) return;
            if (auto d = self->delegate())
                d->downloaderDidFailVideoError(self, video, downloaderError(kErrorBadURL, "The video has no address."));
        });
        return;
    }
    file_ = OutputStream::toFile(partialPath(), false);
    file_->open();
    connection_ = URLConnection::create(URLRequest(*url), shared_from_this(), true);
}

void Downloader::cancelDownload() {
    if (connection_) connection_->cancel();
    stop();
}

void Downloader::stop() {
    connection_ = nullptr;
    if (file_) {
        file_->close();
        file_ = nullptr;
        FileManager::removeItem(partialPath());
    }
}

void Downloader::fail(const Error& error) {
    auto self = shared_from_this();
    if (connection_) connection_->cancel();
    stop();
    if (auto d = delegate()) d->downloaderDidFailVideoError(self, video_, error);
}

void Downloader::connectionDidReceiveResponse(const std::shared_ptr<URLConnection>& connection,
                                              const std::shared_ptr<HTTPURLResponse>& response) {
    if (connection != connection_) return;
    const int status = response ? response->statusCode() : 0;
    if (status < 200 || status > 299) {
        Error error = downloaderError(kErrorHTTPStatus, Text::format("The server answered status %d.", status));
        error.setUserInfoValue("statusCode", Value(status));
        fail(error);
        return;
    }
    // A body that starts again (after a redirect) starts the file again.
    received_ = 0;
    if (file_) file_->close();
    file_ = OutputStream::toFile(partialPath(), false);
    file_->open();
}

void Downloader::connectionDidReceiveData(const std::shared_ptr<URLConnection>& connection, const Data& data) {
    if (connection != connection_) return;
    if (!file_ || file_->write(data) != static_cast<std::int64_t>(data.size())) {
        fail(downloaderError(kErrorFile, "The video file could not be written."));
        return;
    }
    received_ += data.size();
    if (auto d = delegate()) d->downloaderPercentCompletedPercent(shared_from_this(), megabytesText(received_));
}

void Downloader::connectionDidFinishLoading(const std::shared_ptr<URLConnection>& connection) {
    if (connection != connection_) return;
    auto self = shared_from_this();
    connection_ = nullptr;
    if (!file_) return fail(downloaderError(kErrorFile, "The video file could not be written."));
    file_->close();
    file_ = nullptr;
    std::optional<Error> moveError;
    FileManager::removeItem(destination_);
    if (!FileManager::moveItem(partialPath(), destination_, &moveError)) {
        FileManager::removeItem(partialPath());
        if (auto d = delegate())
            d->downloaderDidFailVideoError(
                self, video_, downloaderError(kErrorFile, "The video file could not be moved into place."));
        return;
    }
    if (auto d = delegate()) d->downloaderDidFinishVideoFile(self, video_, destination_);
}

void Downloader::connectionDidFailWithError(const std::shared_ptr<URLConnection>& connection, const Error& error) {
    if (connection != connection_) return;
    fail(error);
}

}  // namespace clipora
