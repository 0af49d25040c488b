#pragma once

namespace clipora::platform {

class HTTPTransaction;

// Told when an HTTP transaction has news: the response head arrived, body
// bytes became readable (the buffer was empty before), the response ended,
// the transaction failed, or it has room for more request body. Called on the core's I/O thread: an
// implementation must not block and must not call back into the core
// synchronously in a way that waits; it hands the news to its own run loop
// (a RunLoopSource signal is the usual way) and looks at the transaction's
// state there. Notifications are coalesced freely, so the handler always
// inspects the whole state.
class HTTPTransactionObserver {
public:
    virtual ~HTTPTransactionObserver() = default;
    virtual void httpTransactionChanged(HTTPTransaction& transaction) = 0;
};

}  // namespace clipora::platform
