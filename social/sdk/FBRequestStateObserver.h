#pragma once

#include <memory>
#include <string>

namespace clipora {

class FBRequest;

// An observer of a request's "state" (0 ready, 1 loading, 2 complete),
// registered with FBRequest::addStateObserver. Told after every change.
class FBRequestStateObserver {
public:
    virtual ~FBRequestStateObserver() = default;

    virtual void observeValueForKeyPathOfObjectChangeContext(const std::string& keyPath,
                                                             const std::shared_ptr<FBRequest>& request,
                                                             const void* context) = 0;
};

}  // namespace clipora
