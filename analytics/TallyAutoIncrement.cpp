#include "analytics/TallyAutoIncrement.h"

namespace clipora {

std::shared_ptr<TallyAutoIncrement> TallyAutoIncrement::instance() {
    static const auto shared = std::make_shared<TallyAutoIncrement>();
    return shared;
}

std::int64_t TallyAutoIncrement::nextCountFor(std::int32_t kind) {
    std::lock_guard lock(mutex_);
    return ++counters_[kind];
}

void TallyAutoIncrement::resetAll() {
    std::lock_guard lock(mutex_);
    counters_.clear();
}

}  // namespace clipora
