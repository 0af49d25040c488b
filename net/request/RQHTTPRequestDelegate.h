#pragma once

#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

class RQHTTPRequest;

// What a request tells its delegate (and its queue).
//
// Thread: every operation comes on the main thread. A request run
// synchronously on the main thread calls them inline; otherwise the
// request's thread posts them and goes on without waiting.
//
// Order, for each attempt (the first, and each one after a redirect, a
// retry with credentials or a time-out): requestStarted; then, once the
// response head is read, requestRedirected (a redirect that will be
// followed) before requestDidReceiveResponseHeaders; then the body as
// requestDidReceiveData pieces (only to a delegate that takes the data);
// then, when the attempt asks for it, authenticationNeededForRequest or
// proxyAuthenticationNeededForRequest, or requestWillRedirectToURL. The
// request ends with exactly one of requestFinished and requestFailed; they
// exclude each other and nothing follows them. Once the request has an
// error (a failure, a cancel), requestStarted, the head, redirect and
// will-redirect reports are no longer sent. The HEAD companion of a queue
// reports nothing itself. The request's blocks run after the delegate and
// before the queue, for each report that has one.
//
// Waiting: after authenticationNeeded... the request waits until
// retryUsingSuppliedCredentials(), cancelAuthentication() or cancel();
// after requestWillRedirectToURL until redirectToURL() or cancel().
//
// Lifetime: each report holds the request alive until it has been
// delivered, so it is valid inside every callback even if its owner let go
// meanwhile; an asynchronous request is also held by its operation queue
// until it has finished. The request does not keep its delegate alive (a
// delegate gone is skipped); it does keep its queue. A delegate cleared
// (clearDelegatesAndCancel) before a posted report runs hears nothing.
//
class RQHTTPRequestDelegate {
public:
    virtual ~RQHTTPRequestDelegate() = default;

    virtual void requestStarted(RQHTTPRequest& request) { (void)request; }
    virtual void requestDidReceiveResponseHeaders(RQHTTPRequest& request, const platform::HTTPHeaders& headers) {
        (void)request;
        (void)headers;
    }
    virtual void requestWillRedirectToURL(RQHTTPRequest& request, const platform::URL& url) {
        (void)request;
        (void)url;
    }
    virtual void requestFinished(RQHTTPRequest& request) { (void)request; }
    virtual void requestFailed(RQHTTPRequest& request) { (void)request; }
    virtual void requestRedirected(RQHTTPRequest& request) { (void)request; }
    virtual void requestDidReceiveData(RQHTTPRequest& request, const platform::Data& data) {
        (void)request;
        (void)data;
    }
    virtual void authenticationNeededForRequest(RQHTTPRequest& request) { (void)request; }
    virtual void proxyAuthenticationNeededForRequest(RQHTTPRequest& request) { (void)request; }

    virtual bool respondsToWillRedirectToURL() const { return false; }
    virtual bool respondsToDidReceiveData() const { return false; }
    virtual bool respondsToAuthenticationNeeded() const { return false; }
    virtual bool respondsToProxyAuthenticationNeeded() const { return false; }
};

}  // namespace clipora
