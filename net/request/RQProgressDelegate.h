#pragma once

#include <cstdint>

namespace clipora {

class RQHTTPRequest;

// Told of a request's upload or download progress, on the main thread. A
// progress view takes only setProgress(); a counting object (a queue) the
// byte and size messages. Every operation is optional.
class RQProgressDelegate {
public:
    virtual ~RQProgressDelegate() = default;

    // From 0 to 1.
    virtual void setProgress(float progress) { (void)progress; }
    virtual void requestDidReceiveBytes(RQHTTPRequest& request, std::int64_t bytes) {
        (void)request;
        (void)bytes;
    }
    virtual void requestDidSendBytes(RQHTTPRequest& request, std::int64_t bytes) {
        (void)request;
        (void)bytes;
    }
    virtual void requestIncrementDownloadSizeBy(RQHTTPRequest& request, std::int64_t amount) {
        (void)request;
        (void)amount;
    }
    virtual void requestIncrementUploadSizeBy(RQHTTPRequest& request, std::int64_t amount) {
        (void)request;
        (void)amount;
    }
};

}  // namespace clipora
