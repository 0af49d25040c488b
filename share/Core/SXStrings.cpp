#include "share/Core/SXStrings.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/foundation/Bundle.h"

namespace clipora {

using platform::Text;

std::string localizedShareString(std::string_view key) {
    // Opened on first use and kept (per main-bundle folder, so a test that
    // points the bundle elsewhere gets its own).
    static auto* mutex = new std::mutex;
    static auto* bundles = new std::map<std::string, std::shared_ptr<platform::Bundle>>;
    auto main = platform::Bundle::mainBundle();
    std::shared_ptr<platform::Bundle> bundle;
    {
        std::lock_guard lock(*mutex);
        auto& slot = (*bundles)[main->resourcePath()];
        if (!slot)
            slot = platform::Bundle::bundleWithPath(std::filesystem::path(main->resourcePath()) / "ShareCore.bundle");
        bundle = slot;
    }
    if (!bundle) return std::string(key);
    return bundle->localizedString(key);
}

std::string encodeQueryValue(const std::optional<std::string>& text) {
    if (!text) return {};
    return Text::percentEscape(Text::replaceAll(*text, "&amp;", "&"));
}

std::string encodeURLString(const std::optional<platform::URL>& url) {
    if (!url) return {};
    return Text::percentEscape(url->absoluteString());
}

}  // namespace clipora
