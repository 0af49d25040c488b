#include "app/Option.h"

namespace clipora {

std::shared_ptr<Option> Option::initForWhoMediaType(const std::string& name, std::int32_t forWho,
                                                    std::int32_t mediaType) {
    auto option = std::make_shared<Option>();
    option->forWho_ = forWho;
    option->mediaType_ = mediaType;
    option->name_ = name + (mediaType == 1 ? " Photos" : " Videos");
    return option;
}

}  // namespace clipora
