#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace apache::thrift {
class TProcessor;
namespace protocol {
class TProtocol;
}
}  // namespace apache::thrift

namespace clipora {

class Record;
struct RecordType;

// The server side the generated processors share: a table from message name
// to operation, and the handling of one message.
//
// A known name (of any message type) has its argument structure read, the
// service called and a REPLY with the call's sequence id written and
// flushed. Exceptions the service throws, declared ones included, leave the
// processor with no reply written (the caller of the processor decides what
// the peer sees). Arguments that cannot be read are answered with an
// EXCEPTION message (TApplicationException PROTOCOL_ERROR) before the read
// error passes on to the caller, whose input is then out of step. An unknown
// name has its arguments skipped and is answered with an EXCEPTION message:
// TApplicationException UNKNOWN_METHOD "Invalid method name: '<name>'".
class ServiceProcessor : public std::enable_shared_from_this<ServiceProcessor> {
public:
    struct Operation {
        const char* name;
        const RecordType& (*argsType)();
        const RecordType& (*resultType)();
        // Calls the service with the arguments and stores its return value.
        void (*invoke)(ServiceProcessor& self, const Record& args, Record& result);
    };

    virtual ~ServiceProcessor();

    // Handles exactly one message; answers true whenever it returns.
    bool processOnInputProtocolOutputProtocol(apache::thrift::protocol::TProtocol& in,
                                              apache::thrift::protocol::TProtocol& out);
    // The same processor as the Thrift runtime's processor interface, for
    // its servers. It shares this processor when a shared_ptr owns it, and
    // otherwise borrows it (the caller keeps it alive).
    std::shared_ptr<apache::thrift::TProcessor> thriftProcessor();

protected:
    explicit ServiceProcessor(std::span<const Operation> operations);
    void handle(const Operation& operation, std::int32_t sequenceID, apache::thrift::protocol::TProtocol& in,
                apache::thrift::protocol::TProtocol& out);

private:
    std::map<std::string, const Operation*, std::less<>> methodMap_;
};

}  // namespace clipora
