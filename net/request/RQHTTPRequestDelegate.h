#pragma once

#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

class RQHTTPRequest;

// What a request tells its delegate (and its queue), on the main thread.
// Every operation is optional: the default bodies do nothing.
//
// Four operations change what the request does merely by being there: a
// delegate that decides on redirects must call redirectToURL() (or cancel)
// itself, one that takes the body bytes makes the request keep none, and
// one that answers authentication challenges is asked instead of the
// dialog. Such a delegate says so with the matching responds... query.
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
