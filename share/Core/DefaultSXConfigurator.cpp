#include "share/Core/DefaultSXConfigurator.h"

#include "share/Core/SXConfigurationKeys.h"

namespace clipora {

using platform::Value;

const Value::Dictionary& DefaultSXConfigurator::defaults() {
    static const auto* table = [] {
        auto* d = new Value::Dictionary;
        for (const char* key : SXConfigurationKeys::kEmptyServiceKeys) (*d)[key] = Value("");
        // "facebookSessionProxyURL" is a dictionary entry only.
        d->erase("facebookSessionProxyURL");
        (*d)["appName"] = Value("My App Name");
        (*d)["appURL"] = Value(SXConfigurationKeys::kAppURL);
        (*d)["twitterUseXAuth"] = Value(0);
        (*d)["flickrCallbackUrl"] = Value("app://flickr");
        (*d)["shareMenuAlphabeticalOrder"] = Value(0);
        (*d)["sharedWithSignature"] = Value(0);
        (*d)["barStyle"] = Value("UIBarStyleDefault");
        for (const char* key : {"formFontColorRed", "formFontColorGreen", "formFontColorBlue", "formBgColorRed",
                                "formBgColorGreen", "formBgColorBlue"}) {
            (*d)[key] = Value(-1);
        }
        (*d)["modalPresentationStyle"] = Value("UIModalPresentationFormSheet");
        (*d)["modalTransitionStyle"] = Value("UIModalTransitionStyleCoverVertical");
        (*d)["maxFavCount"] = Value(3);
        (*d)["favsPrefixKey"] = Value("SX_FAVS_");
        (*d)["authPrefix"] = Value("SX_AUTH_");
        (*d)["sharersPlistName"] = Value("SXSharers.plist");
        (*d)["allowOffline"] = Value(true);
        (*d)["allowAutoShare"] = Value(true);
        (*d)["usePlaceholders"] = Value(false);
        return d;
    }();
    return *table;
}

bool DefaultSXConfigurator::respondsToSelector(std::string_view name) const { return defaults().contains(name); }

std::optional<Value> DefaultSXConfigurator::performSelector(std::string_view name) const {
    auto it = defaults().find(name);
    if (it == defaults().end()) return std::nullopt;
    return it->second;
}

std::optional<platform::Color> DefaultSXConfigurator::barTintForView(
    const std::shared_ptr<platform::ViewController>&) const {
    return std::nullopt;
}

}  // namespace clipora
