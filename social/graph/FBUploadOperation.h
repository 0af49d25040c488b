#pragma once

#include <cstdint>
#include <memory>

#include "social/graph/FBBaseClass.h"

namespace clipora {

// A graph operation that sends a file: counts the upload's progress as its
// request reports it. Reports from a request other than the one under way
// (a cancelled run's) are not counted.
class FBUploadOperation : public FBBaseClass {
public:
    // Upload progress of the file route: the bytes just sent and the body's
    // whole length.
    void requestDidSendBodyDataTotalBytesExpectedToWrite(const std::shared_ptr<FBRequest>& request,
                                                         std::int64_t bytesSent,
                                                         std::int64_t totalBytesExpected) override;

    std::int64_t bytesWritten() const { return bytesWritten_; }
    void setBytesWritten(std::int64_t bytes) { bytesWritten_ = bytes; }
    std::int64_t totalBytesWritten() const { return totalBytesWritten_; }
    void setTotalBytesWritten(std::int64_t bytes) { totalBytesWritten_ = bytes; }
    // The body's whole length, taken from the first report of a run.
    std::int64_t totalBytesExpectedToWrite() const { return totalBytesExpectedToWrite_; }
    void setTotalBytesExpectedToWrite(std::int64_t bytes) { totalBytesExpectedToWrite_ = bytes; }

private:
    std::int64_t bytesWritten_ = 0;
    std::int64_t totalBytesWritten_ = 0;
    std::int64_t totalBytesExpectedToWrite_ = 0;
};

}  // namespace clipora
