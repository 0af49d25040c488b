#include "social/json/SNJsonOutput.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace clipora {

SNJsonOutput::SNJsonOutput(std::size_t capacity) : text_(std::max<std::size_t>(capacity, 16), '\0') {
    cursor_ = text_.data();
    end_ = cursor_ + text_.size();
}

void SNJsonOutput::put(const char* bytes, std::size_t count) {
    char* at = reserve(count);
    std::memcpy(at, bytes, count);
    cursor_ = at + count;
}

void SNJsonOutput::grow(std::size_t bytes) {
    const std::size_t used = size();
    text_.resize(std::max(text_.size() * 2, used + bytes + 4096));
    cursor_ = text_.data() + used;
    end_ = text_.data() + text_.size();
}

std::string SNJsonOutput::take() {
    text_.resize(size());
    cursor_ = end_ = nullptr;
    return std::move(text_);
}

}  // namespace clipora
