#pragma once

#include <string_view>

namespace clipora {

// Ordering of dotted version texts ("1.2", "1.10.3").
class VersionString {
public:
    VersionString() = delete;

    // 1 when `version` is newer than `other`, -1 when older, 0 when equal.
    // Components compare pairwise as integers ("010" equals "10", a
    // non-number counts as 0); when all compared components are equal the
    // text with more components is the newer ("2.0" is newer than "2").
    static int compareVersion(std::string_view version, std::string_view other);
    // The inverse order, for sorting newest first.
    static int compareVersionDescending(std::string_view version, std::string_view other) {
        return -compareVersion(version, other);
    }
};

}  // namespace clipora
