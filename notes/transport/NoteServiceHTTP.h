#pragma once

#include <memory>
#include <string>

namespace apache::thrift::protocol {
class TProtocol;
}

namespace clipora {

// How long a note-service exchange may wait, in seconds.
struct NoteServiceTimeouts {
    // From the call until the request is on its way (name resolution, TCP
    // connect, TLS handshake and sending the head).
    double connect = 30;
    // Without any progress while the request is sent and the reply comes.
    double receive = 60;
};

// The note service's transport: each flush of the protocol's output POSTs
// the buffered call to the URL over HTTPS (content type
// "application/x-thrift") and holds the reply for reading.
//
// Only https URLs are accepted: calls carry passwords and tokens. The
// server's certificate chain is verified against the system store plus
// the platform's extra CA file (TLSTrust) and its name against the URL's
// host. A time-out, a failed connection or TLS check, a status other than
// 200 or a reply larger than the runtime's maximum message size throw
// TTransportException; the request's bytes never appear in an exception or
// a log.
class NoteServiceHTTP {
public:
    NoteServiceHTTP() = delete;

    // A binary protocol (strict read and strict write off) over a new
    // transport for `url`. Throws TTransportException BAD_ARGS for a URL
    // that is not an absolute https URL with a host.
    static std::shared_ptr<apache::thrift::protocol::TProtocol> binaryProtocol(const std::string& url,
                                                                               NoteServiceTimeouts timeouts = {});
};

}  // namespace clipora
