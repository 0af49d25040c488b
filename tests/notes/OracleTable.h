#pragma once

#include <string>
#include <vector>

#include "notes/types/Record.h"

namespace clipora::test {

// Every record class of the interface beside the Thrift compiler's class
// for the same definition: `oracle` reads a struct with the compiler's code
// and writes it back.
struct OracleEntry {
    const RecordType& (*type)();
    std::string (*oracle)(const std::string& bytes);
};

const std::vector<OracleEntry>& dataRecords();     // records and exceptions
const std::vector<OracleEntry>& userStoreCalls();  // 10 call structures
const std::vector<OracleEntry>& noteStoreCalls();  // 112 call structures

}  // namespace clipora::test
