#include "platform/uikit/Layer.h"

#include <algorithm>

namespace clipora::platform {

void Layer::addSublayer(const std::shared_ptr<Layer>& layer) {
    if (!layer || layer.get() == this) return;
    layer->removeFromSuperlayer();
    sublayers_.push_back(layer);
    layer->superlayer_ = weak_from_this();
}

void Layer::removeFromSuperlayer() {
    auto parent = superlayer_.lock();
    superlayer_.reset();
    if (!parent) return;
    auto& list = parent->sublayers_;
    list.erase(std::remove_if(list.begin(), list.end(), [this](const auto& l) { return l.get() == this; }), list.end());
}

}  // namespace clipora::platform
