#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace clipora {

namespace platform {
class HTTPMessage;
class URL;
}  // namespace platform

class PHHTTPRequest;

// Told how a PHHTTPRequest goes, on the thread that started it. Every
// operation is optional; the defaults do nothing.
class PHHTTPRequestDelegate {
public:
    virtual ~PHHTTPRequestDelegate() = default;

    // The reply's head: status, the final address and the header message.
    virtual void httpRequestDidReceiveStatusCodeURLResponseHeader(
        PHHTTPRequest& request, int statusCode, const platform::URL& url,
        const std::shared_ptr<platform::HTTPMessage>& header) {
        (void)request, (void)statusCode, (void)url, (void)header;
    }
    virtual void httpRequestSentBytesTotal(PHHTTPRequest& request, std::uint32_t sent, std::uint32_t total) {
        (void)request, (void)sent, (void)total;
    }
    virtual void httpRequestReceivedBytesExpectedTotal(PHHTTPRequest& request, std::uint32_t received,
                                                       std::uint32_t expectedTotal) {
        (void)request, (void)received, (void)expectedTotal;
    }
    // A delegate that answers yes takes the reply's bytes itself through
    // httpRequestWriteReceivedBytesSizeExpectedTotal; nothing is then kept
    // in the request (and no size cap applies: a download streams).
    virtual bool httpRequestTakesReceivedBytes(const PHHTTPRequest& request) const {
        (void)request;
        return false;
    }
    virtual void httpRequestWriteReceivedBytesSizeExpectedTotal(PHHTTPRequest& request, const std::uint8_t* bytes,
                                                                std::size_t size, std::uint32_t expectedTotal) {
        (void)request, (void)bytes, (void)size, (void)expectedTotal;
    }
    virtual void httpRequestDidComplete(PHHTTPRequest& request) { (void)request; }
    virtual void httpRequestDidCancel(PHHTTPRequest& request) { (void)request; }
    // `error` is one of PHHTTPRequest's error texts.
    virtual void httpRequestDidFailWithError(PHHTTPRequest& request, const std::string& error) {
        (void)request, (void)error;
    }
};

}  // namespace clipora
