#include "social/graph/FBUploadOperation.h"

namespace clipora {

void FBUploadOperation::requestDidSendBodyDataTotalBytesExpectedToWrite(const std::shared_ptr<FBRequest>& request,
                                                                        std::int64_t bytesSent,
                                                                        std::int64_t totalBytesExpected) {
    if (!isRunning() || request != fbRequest()) return;
    bytesWritten_ += bytesSent;
    totalBytesWritten_ += bytesSent;
    if (totalBytesExpectedToWrite_ == 0) totalBytesExpectedToWrite_ = totalBytesExpected;
}

}  // namespace clipora
