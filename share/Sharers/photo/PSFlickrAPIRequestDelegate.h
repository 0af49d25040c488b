#pragma once

#include <cstdint>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora {

class PSFlickrAPIRequest;

// Told how a photo-service call or upload ended. Every operation is
// optional; the defaults do nothing.
class PSFlickrAPIRequestDelegate {
public:
    virtual ~PSFlickrAPIRequestDelegate() = default;
    // The reply's "rsp" element, mapped.
    virtual void flickrAPIRequestDidCompleteWithResponse(PSFlickrAPIRequest& request, const platform::Value& response) {
        (void)request, (void)response;
    }
    virtual void flickrAPIRequestDidFailWithError(PSFlickrAPIRequest& request, const platform::Error& error) {
        (void)request, (void)error;
    }
    virtual void flickrAPIRequestImageUploadSentBytesTotalBytes(PSFlickrAPIRequest& request, std::uint32_t sent,
                                                                std::uint32_t total) {
        (void)request, (void)sent, (void)total;
    }
};

}  // namespace clipora
