#pragma once

#include <memory>

namespace clipora {

class StreamRemove;

// Told when a removal ends; read the operation's success and error.
class StreamRemoveDelegate {
public:
    virtual ~StreamRemoveDelegate() = default;
    virtual void finishStreamRemove(const std::shared_ptr<StreamRemove>& streamRemove) = 0;
};

}  // namespace clipora
