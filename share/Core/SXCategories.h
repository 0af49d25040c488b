#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Value.h"

namespace clipora {

namespace platform {
class WebView;
}

// Small helpers the sharers use on platform objects.
class SXCategories {
public:
    SXCategories() = delete;

    // The MD5 digest of the bytes as 32 lower-case hex digits.
    static std::string md5(const platform::Data& data);
    // The title of the page a web view shows.
    static std::string pageTitle(const std::shared_ptr<platform::WebView>& webView);
};

}  // namespace clipora
