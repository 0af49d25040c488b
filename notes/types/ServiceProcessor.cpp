#include "notes/types/ServiceProcessor.h"

#include <string>

#include <thrift/TApplicationException.h>
#include <thrift/TProcessor.h>
#include <thrift/protocol/TProtocol.h>
#include <thrift/transport/TTransport.h>

#include "notes/types/Record.h"
#include "notes/types/WireInput.h"

namespace clipora {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TProtocol;

namespace {

// The processor behind the Thrift runtime's processor interface.
class ThriftAdapter final : public apache::thrift::TProcessor {
public:
    explicit ThriftAdapter(std::shared_ptr<ServiceProcessor> processor) : processor_(std::move(processor)) {}

    bool process(std::shared_ptr<TProtocol> in, std::shared_ptr<TProtocol> out, void*) override {
        return processor_->processOnInputProtocolOutputProtocol(*in, *out);
    }

private:
    std::shared_ptr<ServiceProcessor> processor_;
};

void flush(TProtocol& out) {
    out.writeMessageEnd();
    out.getTransport()->writeEnd();
    out.getTransport()->flush();
}

void answerWithException(TProtocol& out, const std::string& name, std::int32_t sequenceID,
                         TApplicationException exception) {
    out.writeMessageBegin(name, apache::thrift::protocol::T_EXCEPTION, sequenceID);
    exception.write(&out);
    flush(out);
}

}  // namespace

ServiceProcessor::ServiceProcessor(std::span<const Operation> operations) {
    for (const Operation& operation : operations) methodMap_.emplace(operation.name, &operation);
}

ServiceProcessor::~ServiceProcessor() = default;

bool ServiceProcessor::processOnInputProtocolOutputProtocol(TProtocol& in, TProtocol& out) {
    const WireInput input(in);
    std::string name;
    std::int8_t type = 0;  // not looked at: a known name is dispatched whatever its type
    std::int32_t sequenceID = 0;
    input.readMessageBegin(name, type, sequenceID);
    auto found = methodMap_.find(name);
    if (found != methodMap_.end()) {
        handle(*found->second, sequenceID, in, out);
        return true;
    }
    const TApplicationException unknown(TApplicationException::UNKNOWN_METHOD, "Invalid method name: '" + name + "'");
    try {
        input.skip(apache::thrift::protocol::T_STRUCT);
        in.readMessageEnd();
        in.getTransport()->readEnd();
    } catch (const apache::thrift::TException&) {
        answerWithException(out, name, sequenceID, unknown);
        throw;
    }
    answerWithException(out, name, sequenceID, unknown);
    return true;
}

void ServiceProcessor::handle(const Operation& operation, std::int32_t sequenceID, TProtocol& in, TProtocol& out) {
    auto args = operation.argsType().make();
    try {
        args->read(in);
        in.readMessageEnd();
        in.getTransport()->readEnd();
    } catch (const apache::thrift::TException& e) {
        // The peer hears that its call could not be read; the caller still
        // learns that the input is no longer to be trusted.
        answerWithException(out, operation.name, sequenceID,
                            TApplicationException(TApplicationException::PROTOCOL_ERROR,
                                                  std::string("The arguments could not be read: ") + e.what()));
        throw;
    }
    auto result = operation.resultType().make();
    operation.invoke(*this, *args, *result);
    out.writeMessageBegin(operation.name, apache::thrift::protocol::T_REPLY, sequenceID);
    result->write(out);
    flush(out);
}

std::shared_ptr<apache::thrift::TProcessor> ServiceProcessor::thriftProcessor() {
    std::shared_ptr<ServiceProcessor> self = weak_from_this().lock();
    if (!self) self = std::shared_ptr<ServiceProcessor>(std::shared_ptr<ServiceProcessor>(), this);
    return std::make_shared<ThriftAdapter>(std::move(self));
}

}  // namespace clipora
