#pragma once

#include <memory>

namespace apache::thrift::protocol {
class TProtocol;
}

namespace clipora {

class Record;

// The call machinery the generated service clients share. A call is one
// CALL message with sequence id 0 holding the argument structure, written on
// the output protocol and flushed through its transport (with the HTTPS
// transport, the whole exchange); then one reply read from the input
// protocol. The reply's name and sequence id are not compared with the
// call: one call is in flight per client. Nothing is caught.
class ServiceClient {
public:
    const std::shared_ptr<apache::thrift::protocol::TProtocol>& inProtocol() const { return inProtocol_; }
    const std::shared_ptr<apache::thrift::protocol::TProtocol>& outProtocol() const { return outProtocol_; }

protected:
    ServiceClient(std::shared_ptr<apache::thrift::protocol::TProtocol> inProtocol,
                  std::shared_ptr<apache::thrift::protocol::TProtocol> outProtocol);
    ~ServiceClient();

    void sendCall(const char* name, const Record& args);
    // Reads the reply into `result`; an EXCEPTION reply is thrown as the
    // TApplicationException it carries.
    void receiveReply(Record& result);
    // Throws the first declared exception set in `result` (the exception
    // fields, in id order); returns when none is set.
    void raiseDeclaredException(const Record& result);
    // For a result whose `success` is not set: the first declared exception
    // set, otherwise TApplicationException MISSING_RESULT
    // "<name> failed: unknown result".
    [[noreturn]] void raiseMissingResult(const Record& result, const char* name);

private:
    std::shared_ptr<apache::thrift::protocol::TProtocol> inProtocol_;
    std::shared_ptr<apache::thrift::protocol::TProtocol> outProtocol_;
};

}  // namespace clipora
