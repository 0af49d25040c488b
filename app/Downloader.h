#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/DownloaderDelegate.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLConnectionDelegate.h"
#include "platform/foundation/OutputStream.h"
#include "social/graph/Video.h"

namespace clipora {

// Fetches one video file with a plain URL connection, reporting the
// megabytes received on the way. The body streams into "<destination>.part"
// beside the destination and is renamed into place only when the whole of a
// 2xx reply arrived, so an error page or a broken transfer never becomes a
// video file. The connection runs in the calling thread's run loop (the
// browser calls from the main thread).
class Downloader : public platform::URLConnectionDelegate, public std::enable_shared_from_this<Downloader> {
public:
    static constexpr const char* kErrorDomain = "DownloaderErrorDomain";
    // The server answered an error status (the code is in the user info
    // under "statusCode").
    static constexpr std::int64_t kErrorHTTPStatus = 1;
    // The file could not be written or moved into place.
    static constexpr std::int64_t kErrorFile = 2;
    // The video has no usable address.
    static constexpr std::int64_t kErrorBadURL = 3;

    Downloader() = default;
    ~Downloader() override;

    const std::shared_ptr<Video>& video() const { return video_; }
    std::shared_ptr<DownloaderDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<DownloaderDelegate> delegate) { delegate_ = std::move(delegate); }
    bool isDownloading() const { return connection_ != nullptr; }
    // The bytes received so far by the transfer under way.
    std::uint64_t bytesReceived() const { return received_; }

    // Starts fetching `video`'s url into `destinationPath` (a transfer
    // already under way is cancelled first). A video without a usable
    // address fails on a later turn of the run loop.
    void startDownload(const std::shared_ptr<Video>& video, const std::string& destinationPath);
    // Stops the transfer and removes its partial file; the delegate is not
    // told.
    void cancelDownload();

    // The progress text for a byte count: megabytes with two decimals.
    static std::string megabytesText(std::uint64_t bytes);

    // URLConnectionDelegate
    void connectionDidReceiveResponse(const std::shared_ptr<platform::URLConnection>& connection,
                                      const std::shared_ptr<platform::HTTPURLResponse>& response) override;
    void connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection,
                                  const platform::Data& data) override;
    void connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>& connection) override;
    void connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>& connection,
                                    const platform::Error& error) override;

private:
    // Ends the transfer under way: closes and removes the partial file.
    void stop();
    void fail(const platform::Error& error);
    std::string partialPath() const { return destination_ + ".part"; }

    std::shared_ptr<Video> video_;
    std::weak_ptr<DownloaderDelegate> delegate_;
    std::shared_ptr<platform::URLConnection> connection_;
    std::shared_ptr<platform::OutputStream> file_;
    std::string destination_;
    std::uint64_t received_ = 0;
};

}  // namespace clipora
