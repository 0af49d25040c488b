#include "net/engine/VideoDownloader.h"

#include "platform/foundation/OutputStream.h"

namespace clipora {

std::shared_ptr<VideoDownloader> VideoDownloader::initWithHostNameCustomHeaderFields(
    const std::optional<std::string>& hostName, const std::optional<platform::Value::Dictionary>& headers) {
    auto downloader = std::make_shared<VideoDownloader>(Passkey{});
    downloader->setUp(hostName, headers);
    return downloader;
}

std::shared_ptr<BKNetworkOperation> VideoDownloader::downloadVideoToFile(const std::string& urlString,
                                                                         const std::string& filePath) {
    auto operation = operationWithURLStringParamsHttpMethod(urlString, std::nullopt, "GET");
    // Truncating: the file is opened when the response arrives, so a
    // leftover partial file from an earlier run never gets the new video
    // appended to it.
    operation->addDownloadStream(platform::OutputStream::toFile(filePath, false), filePath);
    enqueueOperation(operation);
    return operation;
}

}  // namespace clipora
