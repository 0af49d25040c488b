#include "app/AppConfig.h"

#include <cstdlib>

#include "platform/foundation/Text.h"

namespace clipora {

using platform::Text;

namespace {

AppConfig& currentConfig() {
    static AppConfig config = AppConfig::defaults();
    return config;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

AppConfig AppConfig::defaults() {
    AppConfig config;
    config.shortenerLogin = environment("CLIPORA_SHORTENER_LOGIN");
    config.shortenerApiKey = environment("CLIPORA_SHORTENER_KEY");
    return config;
}

const AppConfig& AppConfig::current() { return currentConfig(); }

void AppConfig::setCurrent(const AppConfig& config) { currentConfig() = config; }

void AppConfig::resetToDefaults() { currentConfig() = defaults(); }

std::string AppConfig::urlScheme() const { return "fb" + facebookAppId + urlSchemeSuffix; }

std::string AppConfig::reviewLink() const {
    // The store's review page; its own query separators are escaped once here
    // and the whole address once more as the redirect parameter, as the
    // affiliate network expects.
    const std::string query =
        Text::format("id=%u&pageNumber=0&sortOrdering=2&type=Purple+Software&mt=8", static_cast<unsigned>(appStoreID));
    const std::string review =
        "http://" + storeWebHost + "/WebObjects/MZStore.woa/wa/viewContentsUserReviews?" + Text::percentEscape(query);
    return "http://" + affiliateClickHost +
           "/fs-bin/click?id=Clipora0001&subid=&offerid=146261.1&type=10&tmpid=3909&u1=MovaraReview&RD_PARM1=" +
           Text::percentEscape(review);
}

}  // namespace clipora
