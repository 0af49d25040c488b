#pragma once

#include <memory>

#include "platform/foundation/Error.h"

namespace clipora {

class IKOperation;

// Told how an operation goes; every operation is optional. Start, finish and
// failure arrive on the main thread, will-finish on the worker thread.
class IKOperationDelegate {
public:
    virtual ~IKOperationDelegate() = default;
    virtual void operationDidStart(const std::shared_ptr<IKOperation>& operation) { (void)operation; }
    virtual void operationDidFinish(const std::shared_ptr<IKOperation>& operation) { (void)operation; }
    virtual void operationDidFailWithError(const std::shared_ptr<IKOperation>& operation,
                                           const platform::Error& error) {
        (void)operation, (void)error;
    }
    virtual void operationWillFinish(const std::shared_ptr<IKOperation>& operation) { (void)operation; }
};

}  // namespace clipora
