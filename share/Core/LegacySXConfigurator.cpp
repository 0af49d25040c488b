#include "share/Core/LegacySXConfigurator.h"

#include "share/Core/SXConfigurationKeys.h"

namespace clipora {

using platform::Value;

LegacySXConfigurator::LegacySXConfigurator() {
    auto& d = configuration_;
    d["appName"] = Value("My App Name");
    d["appURL"] = Value(SXConfigurationKeys::kAppURL);
    d["facebookUseSessionProxy"] = Value(false);
    for (const char* key : SXConfigurationKeys::kEmptyServiceKeys) d[key] = Value("");
    d["twitterUseXAuth"] = Value(0);
    d["flickrCallbackUrl"] = Value("app://flickr");
    d["shareMenuAlphabeticalOrder"] = Value(1);
    d["sharedWithSignature"] = Value(0);
    d["barStyle"] = Value("UIBarStyleDefault");
    for (const char* key :
         {"barTintColorRed", "barTintColorGreen", "barTintColorBlue", "formFontColorRed", "formFontColorGreen",
          "formFontColorBlue", "formBgColorRed", "formBgColorGreen", "formBgColorBlue"}) {
        d[key] = Value(-1);
    }
    d["modalPresentationStyle"] = Value("UIModalPresentationFormSheet");
    d["modalTransitionStyle"] = Value("UIModalTransitionStyleCoverVertical");
    d["maxFavCount"] = Value(3);
    d["favsPrefixKey"] = Value("SX_FAVS_");
    d["authPrefix"] = Value("SX_AUTH_");
    d["sharersPlistName"] = Value("SXSharers.plist");
    d["allowOffline"] = Value(1);
    d["allowAutoShare"] = Value(1);
    d["usePlaceholders"] = Value(0);
}

bool LegacySXConfigurator::respondsToSelector(std::string_view name) const {
    return DefaultSXConfigurator::respondsToSelector(name) || configuration_.contains(name);
}

std::optional<Value> LegacySXConfigurator::performSelector(std::string_view name) const {
    if (auto it = configuration_.find(name); it != configuration_.end()) return it->second;
    return DefaultSXConfigurator::performSelector(name);
}

}  // namespace clipora
