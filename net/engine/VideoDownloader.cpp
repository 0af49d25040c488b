#include "net/engine/VideoDownloader.h"

#include "net/DownloadFile.h"

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
    // The body goes to a temporary file beside `filePath`, opened when the
    // response arrives (a missing folder fails before the first byte) and
    // renamed onto `filePath` only when the whole video arrived with a 2xx:
    // a failed, cancelled or killed download leaves `filePath` as it was.
    operation->addDownloadStream(DownloadFile::toDestination(filePath), filePath);
    enqueueOperation(operation);
    return operation;
}

}  // namespace clipora
