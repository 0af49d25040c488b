#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/Value.h"

namespace clipora {

class Posting;

// Told when a like, comment or removal ends: the parsed reply, or absent
// after a failure.
class PostingDelegate {
public:
    virtual ~PostingDelegate() = default;
    virtual void donePostingResult(const std::shared_ptr<Posting>& posting,
                                   const std::optional<platform::Value>& result) = 0;
};

}  // namespace clipora
