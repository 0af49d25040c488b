#pragma once

#include <string>

namespace clipora::platform {

// The user's current locale, as far as the device tells it.
class Locale {
public:
    Locale() = delete;

    // The identifier of the current locale ("en_US", "de_CH"): from
    // $LC_ALL, $LC_MESSAGES or $LANG (the first that is set), without its
    // encoding and modifier; "en_US" for the C and POSIX locales or when
    // none is set.
    static std::string currentLocaleIdentifier();
};

}  // namespace clipora::platform
