#include "app/IKReadFileFromDiskOperation.h"

#include "platform/foundation/FileManager.h"

namespace clipora {

using namespace platform;

std::string IKReadFileFromDiskOperation::pathToFile() const {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return pathToFile_;
}

std::optional<Data> IKReadFileFromDiskOperation::data() const {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return data_;
}

std::shared_ptr<Object> IKReadFileFromDiskOperation::processedObject() const {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return processedObject_;
}

void IKReadFileFromDiskOperation::setProcessedObject(std::shared_ptr<Object> object) {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    processedObject_ = std::move(object);
}

void IKReadFileFromDiskOperation::main() {
    operationDidStart();
    std::optional<Error> error;
    auto bytes = FileManager::contentsOfFile(pathToFile(), &error);
    {
        std::lock_guard<std::mutex> lock(fieldsMutex_);
        data_ = bytes;
    }
    if (!bytes) {
        operationDidFailWithError(
            error ? *error : Error::withDescription("NSCocoaErrorDomain", 260, "The file could not be read."));
        return;
    }
    operationWillFinish();
    operationDidFinish();
}

}  // namespace clipora
