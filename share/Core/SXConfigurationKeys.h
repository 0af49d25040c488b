#pragma once

namespace clipora {

// Key names shared by the two built-in configurators.
struct SXConfigurationKeys {
    // The service settings whose built-in value is the empty string.
    static constexpr const char* kEmptyServiceKeys[] = {
        "vkontakteAppId",
        "facebookAppId",
        "facebookLocalAppId",
        "facebookSessionProxyURL",
        "readItLaterKey",
        "twitterConsumerKey",
        "twitterSecret",
        "twitterCallbackUrl",
        "twitterUsername",
        "evernoteUserStoreURL",
        "evernoteNetStoreURLBase",
        "evernoteConsumerKey",
        "evernoteSecret",
        "flickrConsumerKey",
        "flickrSecretKey",
        "foursquareV2ClientId",
        "foursquareV2RedirectURI",
        "bitLyLogin",
        "bitLyKey",
        "linkedInConsumerKey",
        "linkedInSecret",
        "linkedInCallbackUrl",
    };
    // The micro-blog service's API host (host and optional port, reached over
    // https): its sharer calls it, and its PIN page is recognised there.
    static constexpr const char* kMicroBlogAPIHost = "twitterAPIHost";
    static constexpr const char* kDefaultMicroBlogAPIHost = "api.microblog.test";
    // The application's web address until a host configures its own.
    static constexpr const char* kAppURL = "http://clipora.example/";
};

}  // namespace clipora
