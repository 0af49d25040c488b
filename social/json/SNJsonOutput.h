#pragma once

#include <cstddef>
#include <string>

namespace clipora {

// The text a JSON writer produces: a string sized ahead of the writes and
// filled through a cursor, so that growing it copies only a doubling's worth
// and each write is a bounds check and a copy.
class SNJsonOutput {
public:
    explicit SNJsonOutput(std::size_t capacity);

    // Room for at least `bytes` more; answers the cursor.
    char* reserve(std::size_t bytes) {
        if (static_cast<std::size_t>(end_ - cursor_) < bytes) grow(bytes);
        return cursor_;
    }
    // After writing through the pointer reserve() answered.
    void advanceTo(char* cursor) { cursor_ = cursor; }
    void put(char ch) {
        *reserve(1) = ch;
        ++cursor_;
    }
    void put(const char* bytes, std::size_t count);
    std::size_t size() const { return static_cast<std::size_t>(cursor_ - text_.data()); }
    // Moves back to an earlier size (dropping what was written after it).
    void truncate(std::size_t size) { cursor_ = text_.data() + size; }
    // The text written; the output is spent afterwards.
    std::string take();

private:
    void grow(std::size_t bytes);

    std::string text_;
    char* cursor_;
    char* end_;
};

}  // namespace clipora
