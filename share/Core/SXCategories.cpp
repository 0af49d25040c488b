#include "share/Core/SXCategories.h"

#include "platform/foundation/Digest.h"
#include "platform/uikit/WebView.h"

namespace clipora {

std::string SXCategories::md5(const platform::Data& data) { return platform::Digest::hex(platform::Digest::md5(data)); }

std::string SXCategories::pageTitle(const std::shared_ptr<platform::WebView>& webView) {
    return webView ? webView->stringByEvaluatingJavaScriptFromString("document.title") : std::string();
}

}  // namespace clipora
