#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/Object.h"

namespace clipora {

// One entry of the root menu: a video source of the signed-in user.
class Option : public platform::Object {
public:
    // "<name> Photos" for media type 1, "<name> Videos" otherwise. forWho is
    // the video query's scope: 0 own, 1 tagged, 2 friends, 3 pages, 4 groups.
    static std::shared_ptr<Option> initForWhoMediaType(const std::string& name, std::int32_t forWho,
                                                       std::int32_t mediaType);

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    std::int32_t forWho() const { return forWho_; }
    void setForWho(std::int32_t forWho) { forWho_ = forWho; }
    std::int32_t mediaType() const { return mediaType_; }
    void setMediaType(std::int32_t mediaType) { mediaType_ = mediaType; }

    std::string description() const override { return name_; }

private:
    std::string name_;
    std::int32_t forWho_ = 0;
    std::int32_t mediaType_ = 0;
};

}  // namespace clipora
