#pragma once

#include <cstddef>

namespace clipora::test {

// The most memory held at once through operator new, by every thread of the
// test program, since the meter was made. The program's operator new and
// delete count every block (by its usable size); the count works the same
// in plain and sanitizer builds, unlike the C library's statistics.
class AllocationMeter {
public:
    AllocationMeter();
    // The most bytes held at any moment since construction, above what was
    // held at construction.
    std::size_t peakGrowth() const;

private:
    std::size_t base_;
};

}  // namespace clipora::test
