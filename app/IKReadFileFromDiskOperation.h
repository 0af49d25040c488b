#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/IKOperation.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Reads one file on its queue's thread: start, then the data and finish (with
// will-finish on the worker first), or the read error.
class IKReadFileFromDiskOperation : public IKOperation {
public:
    explicit IKReadFileFromDiskOperation(std::string pathToFile) : pathToFile_(std::move(pathToFile)) {}
    static std::shared_ptr<IKReadFileFromDiskOperation> initWithPathToFile(std::string path) {
        return std::make_shared<IKReadFileFromDiskOperation>(std::move(path));
    }

    std::string pathToFile() const;
    std::optional<platform::Data> data() const;
    // For subclasses that turn the data into something else.
    std::shared_ptr<platform::Object> processedObject() const;
    void setProcessedObject(std::shared_ptr<platform::Object> object);

    void main() override;

private:
    mutable std::mutex fieldsMutex_;
    std::string pathToFile_;
    std::optional<platform::Data> data_;
    std::shared_ptr<platform::Object> processedObject_;
};

}  // namespace clipora
