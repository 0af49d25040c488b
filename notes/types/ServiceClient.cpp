#include "notes/types/ServiceClient.h"

#include <string>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocol.h>
#include <thrift/transport/TTransport.h>

#include "notes/types/NoteServiceException.h"
#include "notes/types/Record.h"
#include "notes/types/WireInput.h"

namespace clipora {

using apache::thrift::TApplicationException;

ServiceClient::ServiceClient(std::shared_ptr<apache::thrift::protocol::TProtocol> inProtocol,
                             std::shared_ptr<apache::thrift::protocol::TProtocol> outProtocol)
    : inProtocol_(std::move(inProtocol)), outProtocol_(std::move(outProtocol)) {}

ServiceClient::~ServiceClient() = default;

void ServiceClient::sendCall(const char* name, const Record& args) {
    outProtocol_->writeMessageBegin(name, apache::thrift::protocol::T_CALL, 0);
    args.write(*outProtocol_);
    outProtocol_->writeMessageEnd();
    outProtocol_->getTransport()->writeEnd();
    outProtocol_->getTransport()->flush();
}

void ServiceClient::receiveReply(Record& result) {
    const WireInput input(*inProtocol_);
    std::string name;
    std::int8_t type = 0;
    std::int32_t sequenceID = 0;
    input.readMessageBegin(name, type, sequenceID);
    if (type == apache::thrift::protocol::T_EXCEPTION) {
        TApplicationException exception = input.readApplicationException();
        inProtocol_->readMessageEnd();
        inProtocol_->getTransport()->readEnd();
        throw exception;
    }
    result.read(*inProtocol_);
    inProtocol_->readMessageEnd();
    inProtocol_->getTransport()->readEnd();
}

void ServiceClient::raiseDeclaredException(const Record& result) {
    const RecordType& type = result.recordType();
    auto& self = const_cast<Record&>(result);
    for (std::size_t i = 0; i < type.fields.size(); ++i) {
        const FieldDescriptor& f = type.fields[i];
        if (f.id == 0 || !result.isSetAt(i)) continue;
        if (auto* exception = dynamic_cast<const NoteServiceException*>(f.records->get(f.slot(self))))
            exception->raise();
    }
}

void ServiceClient::raiseMissingResult(const Record& result, const char* name) {
    raiseDeclaredException(result);
    throw TApplicationException(TApplicationException::MISSING_RESULT, std::string(name) + " failed: unknown result");
}

}  // namespace clipora
