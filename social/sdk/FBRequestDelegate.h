#pragma once

#include <cstdint>
#include <memory>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora {

class FBRequest;

// What a social-network request reports. Every operation is optional: the
// default bodies do nothing.
//
// Thread: every operation comes on the main thread (requests are made,
// connected and cancelled there).
//
// Order: requestLoading, inside connect(); then upload progress
// (requestDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite on the
// ordinary route, requestDidSendBodyDataTotalBytesExpectedToWrite on the
// file route); then, on the ordinary route, requestDidReceiveResponse for
// the final response head. The request ends with exactly one of:
// - requestDidFailWithError alone: the transport failed, the reply was too
//   long, or the request could not be sent (a bad URL, no file route);
//   the last two are reported on a later turn of the main run loop, never
//   inside connect();
// - requestDidLoadRawResponse with the reply's bytes, then exactly one of
//   requestDidLoad (the parsed reply) and requestDidFailWithError (the
//   reply is an error from the network).
// requestDidLoad and requestDidFailWithError exclude each other; nothing
// follows the ending, and nothing comes after cancel().
//
// Lifetime: on the ordinary route the URL connection keeps the request
// alive until the ending; a failure reported on a later turn keeps it
// until then too. On the file route only the caller keeps the request: a
// request let go before the ending cancels its upload and reports nothing
// more. The request never keeps its delegate alive: a delegate gone is
// skipped.
class FBRequestDelegate {
public:
    virtual ~FBRequestDelegate() = default;

    // Upload progress of the file route: bytes sent since the last call and
    // the body's whole length.
    virtual void requestDidSendBodyDataTotalBytesExpectedToWrite(const std::shared_ptr<FBRequest>& request,
                                                                 std::int64_t bytesSent,
                                                                 std::int64_t totalBytesExpected) {
        (void)request;
        (void)bytesSent;
        (void)totalBytesExpected;
    }
    // Upload progress of the ordinary route, as the connection counts it.
    virtual void requestDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(
        const std::shared_ptr<FBRequest>& request, std::int64_t bytesWritten, std::int64_t totalBytesWritten,
        std::int64_t totalBytesExpectedToWrite) {
        (void)request;
        (void)bytesWritten;
        (void)totalBytesWritten;
        (void)totalBytesExpectedToWrite;
    }
    // The request starts.
    virtual void requestLoading(const std::shared_ptr<FBRequest>& request) { (void)request; }
    // The response head arrived (ordinary route).
    virtual void requestDidReceiveResponse(const std::shared_ptr<FBRequest>& request,
                                           const std::shared_ptr<platform::HTTPURLResponse>& response) {
        (void)request;
        (void)response;
    }
    // A transport failure or an error reply.
    virtual void requestDidFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) {
        (void)request;
        (void)error;
    }
    // The parsed reply: a dictionary, an array, or a text.
    virtual void requestDidLoad(const std::shared_ptr<FBRequest>& request, const platform::Value& result) {
        (void)request;
        (void)result;
    }
    // The reply's bytes, before parsing.
    virtual void requestDidLoadRawResponse(const std::shared_ptr<FBRequest>& request, const platform::Data& data) {
        (void)request;
        (void)data;
    }
};

}  // namespace clipora
