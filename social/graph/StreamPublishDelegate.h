#pragma once

#include <memory>

namespace clipora {

class StreamPublish;

// Told when a post ends; read the operation's success, error and lastPostID.
class StreamPublishDelegate {
public:
    virtual ~StreamPublishDelegate() = default;
    virtual void finishStreamPublish(const std::shared_ptr<StreamPublish>& streamPublish) = 0;
};

}  // namespace clipora
