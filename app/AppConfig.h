#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace clipora {

// The application's build settings: its social-network application id, the
// maker's addresses (store page, icon, news page, remote lists) and the
// link-shortening account. They are configuration: the defaults name hosts
// that the local stand-in service plays, and a program or a test may point
// them anywhere else with setCurrent(). Read and set on the main thread
// (the update checker copies what it needs before it leaves it).
struct AppConfig {
    // The social network's application id; the URL scheme the bundle
    // registers is "fb" + this id + urlSchemeSuffix.
    std::string facebookAppId = "210849718975311";
    std::string urlSchemeSuffix = "movara";
    // The product's name as the recommendation posts show it.
    std::string productName = "Clipora";

    // The affiliate network's click host: links holding this text are
    // followed through their redirects before they are opened.
    std::string affiliateClickHost = "click.affiliate.test";
    // The store's web host (its review page) and the application's store id.
    std::string storeWebHost = "itunes.store.test";
    std::uint32_t appStoreID = 0;
    // The product's store page behind the affiliate redirect.
    std::string storeLink =
        "https://click.affiliate.test/fs-bin/click?id=Clipora0001&subid=&offerid=146261.1&type=10&tmpid=3909"
        "&u1=CliporaStore&RD_PARM1=https%253A%252F%252Fitunes.store.test%252Fapp%252Fclipora%252Fid0%253Fmt%253D8";
    // The product icon (a PNG on the maker's file host).
    std::string iconURL = "https://files.clipora.test/clipora-icon.png";
    // The maker's news page and the remote lists.
    std::string newsPageURL = "https://www.clipora.test/news.html";
    std::string updateListURL = "https://files.clipora.test/Updates.plist";
    std::string versionsListURL = "https://files.clipora.test/Versions.plist";

    // The network's mobile site as the browser screen sees it: the domain
    // whose "<domain>/video/video.php" marks a video page, the mobile
    // ("touch") host with the login page "/login.php", and the main web host
    // with the video home page and the blank page. The video-sharing
    // service's domain marks links the browser unwraps.
    std::string siteDomain = "social.test";
    std::string siteMobileHost = "web.social.test";
    std::string siteWebHost = "www.social.test";
    std::string videoServiceDomain = "youtube.test";

    // The microblog service's web and mobile web hosts (its profile pages,
    // opened when no microblog client is installed).
    std::string microblogWebHost = "web.microblog.test";
    std::string microblogMobileHost = "mobile.microblog.test";
    // The maker's pages and accounts shown by the about screen.
    std::string makerSiteURL = "https://www.quorbel.test";
    std::string makerSupportEmail = "support@quorbel.test";
    std::string makerVideoChannelURL = "https://videos.quorbel.test/channel";
    std::string makerFanPageID = "100000000000001";
    std::string makerFanPageURL = "https://www.social.test/quorbel";
    std::string makerMicroblogAccount = "quorbel";
    std::string productHashtag = "#clipora";
    // Store pages of the maker's other products (the first is the one the
    // about screen's product button shows).
    std::vector<std::string> otherProductLinks = {
        "https://click.affiliate.test/fs-bin/click?id=Clipora0001&offerid=146261.2&type=10&tmpid=3909&u1=Uplonix2",
        "https://click.affiliate.test/fs-bin/click?id=Clipora0001&offerid=146261.3&type=10&tmpid=3909&u1=Other2",
        "https://click.affiliate.test/fs-bin/click?id=Clipora0001&offerid=146261.4&type=10&tmpid=3909&u1=Other3"};

    // The link shortener: host, account login and API key. Login and key
    // come from $CLIPORA_SHORTENER_LOGIN and $CLIPORA_SHORTENER_KEY when set
    // (they are account secrets and never belong in the code); without a key
    // no link is shortened.
    std::string shortenerHost = "api-ssl.shortener.test";
    std::string shortenerLogin;
    std::string shortenerApiKey;

    // The settings every piece reads.
    static const AppConfig& current();
    static void setCurrent(const AppConfig& config);
    // Back to the defaults (with the shortener account from the environment).
    static void resetToDefaults();
    // The defaults, with the shortener account read from the environment.
    static AppConfig defaults();

    // "fb<appId><suffix>", the scheme the social network returns through.
    std::string urlScheme() const;
    // The affiliate click link that opens the store's review page.
    std::string reviewLink() const;
};

}  // namespace clipora
