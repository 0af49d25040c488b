#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/Value.h"

namespace clipora {

class GetFanPages;

// Told when the groups or page information arrive (the parsed reply as it
// is), or absent after a failure.
class GetFanPagesDelegate {
public:
    virtual ~GetFanPagesDelegate() = default;
    virtual void finishGetFanPagesFanPages(const std::shared_ptr<GetFanPages>& getFanPages,
                                           const std::optional<platform::Value>& fanPages) = 0;
};

}  // namespace clipora
