#pragma once

#include <memory>
#include <optional>
#include <string>

#include "net/engine/BKNetworkEngine.h"
#include "net/engine/BKNetworkOperation.h"
#include "platform/foundation/Value.h"

namespace clipora {

// The application's download engine: one operation, a GET whose body is
// streamed into a file.
class VideoDownloader : public BKNetworkEngine {
public:
    static std::shared_ptr<VideoDownloader> initWithHostNameCustomHeaderFields(
        const std::optional<std::string>& hostName,
        const std::optional<platform::Value::Dictionary>& headers = std::nullopt);

    explicit VideoDownloader(Passkey passkey) : BKNetworkEngine(passkey) {}

    // Enqueues a GET of `urlString` whose body replaces whatever is at
    // `filePath` once it has arrived whole with a 2xx status; until then
    // (and after a failure or cancel) `filePath` keeps what it held. The
    // caller attaches its blocks to the operation returned; they run later
    // on the main thread.
    std::shared_ptr<BKNetworkOperation> downloadVideoToFile(const std::string& urlString, const std::string& filePath);
};

}  // namespace clipora
