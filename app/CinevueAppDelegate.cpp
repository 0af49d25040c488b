#include "app/CinevueAppDelegate.h"

#include "app/AppConfig.h"
#include "app/CinevueViewController.h"
#include "app/ContentManager.h"
#include "app/OptionListViewController.h"
#include "app/ReviewRequest.h"
#include "app/TextEscaping.h"
#include "app/UpdateChecker.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/Screen.h"
#include "social/sdk/FBFormUploadRoute.h"

namespace clipora {

using namespace platform;

namespace {

constexpr const char* kRecommendationDescription =
    "Watch, bookmark, download and share Facebook Videos(even Flash videos) on iOS! Check it out now! #movara";

std::shared_ptr<UserDefaults> defaults() { return UserDefaults::standardUserDefaults(); }

}  // namespace

std::shared_ptr<CinevueAppDelegate> CinevueAppDelegate::create() {
    initialize();
    auto delegate = std::make_shared<CinevueAppDelegate>();
    delegate->buildInterface();
    return delegate;
}

void CinevueAppDelegate::initialize() {
    auto store = defaults();
    // The download quality is the user's choice on the settings screen: NO is
    // only the default for a key that holds nothing yet.
    if (!store->boolForKey(kInitializeKey) && !store->objectForKey(kDownloadHDKey)) {
        store->setBool(false, kDownloadHDKey);
        store->synchronize();
    }

    const AppConfig& config = AppConfig::current();
    auto checker = UpdateChecker::sharedInstance();
    checker->setRemoteVersionsPlistURL(config.versionsListURL);
    checker->setLocalVersionsPlistPath({});
    checker->setAppStoreID(0);
    checker->setCheckPeriod(0.0f);
    checker->setUpdateURL(config.storeLink);
}

const std::vector<std::string>& CinevueAppDelegate::loginPermissions() {
    static const std::vector<std::string> permissions{
        "user_groups",  "publish_stream", "user_photo_video_tags", "friends_photo_video_tags",
        "user_photos",  "friends_photos", "user_videos",           "friends_videos",
        "manage_pages", "offline_access"};
    return permissions;
}

CinevueAppDelegate::~CinevueAppDelegate() {
    if (observing_) NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

void CinevueAppDelegate::buildInterface() {
    // What the main interface file holds: the window and the navigation
    // controller with the root menu.
    window_ = std::make_shared<Window>(Screen::mainScreen()->bounds());
    viewController_ = std::make_shared<OptionListViewController>();
    navController_ = std::make_shared<NavigationController>();
    navController_->initWithRootViewController(viewController_);
}

bool CinevueAppDelegate::applicationDidFinishLaunchingWithOptions(const std::shared_ptr<Application>&, const Value&) {
    const AppConfig& config = AppConfig::current();
    videoDownloader_ = VideoDownloader::initWithHostNameCustomHeaderFields(std::nullopt, std::nullopt);
    // The list starts empty at every launch: a download file left in Caches
    // belongs to a run that ended before its download did.
    downloads_ = DownloadList::create(videoDownloader_);
    downloads_->removeUnownedFiles();
    // Photo and video uploads go through the request engine's form request.
    FBFormUploadRoute::install();
    fbButton_ = std::make_shared<FBLoginButton>();
    facebook_ = Facebook::initWithAppIdUrlSchemeSuffixAndDelegate(config.facebookAppId, config.urlSchemeSuffix,
                                                                  weak_from_this());
    restoreFacebookSession();
    if (facebook_->isSessionValid()) {
        fbButton_->setIsLoggedIn(true);
        fbDidLogin();
    } else {
        fbButton_->setIsLoggedIn(false);
    }
    fbButton_->updateImage();

    if (!window_) buildInterface();
    viewController_->setSession(facebook_);
    viewController_->setDownloads(downloads_);
    viewController_->setServices(weak_from_this());
    window_->addSubview(navController_->view());
    window_->makeKeyAndVisible();

    if (!observing_) {
        observing_ = true;
        std::weak_ptr<CinevueAppDelegate> weak = weak_from_this();
        NotificationCenter::defaultCenter().addObserver(
            kNewsUpdateNotification,
            [weak](const Notification&) {
                if (auto self = weak.lock()) self->thereAreNewsUpdate();
            },
            this);
    }

    if (ReviewRequest::shouldAskForReviewAtLaunch()) ReviewRequest::askForReview();
    return true;
}

void CinevueAppDelegate::applicationWillEnterForeground(const std::shared_ptr<Application>&) {
    if (ReviewRequest::shouldAskForReviewAtLaunch()) ReviewRequest::askForReview();
}

bool CinevueAppDelegate::applicationHandleOpenURL(const std::shared_ptr<Application>&, const URL& url) {
    return facebook_ && facebook_->handleOpenURL(url);
}

bool CinevueAppDelegate::applicationOpenURLSourceApplicationAnnotation(const std::shared_ptr<Application>& application,
                                                                       const URL& url, const std::string&,
                                                                       const Value&) {
    return applicationHandleOpenURL(application, url);
}

// --- Session ---------------------------------------------------------------------

void CinevueAppDelegate::login() {
    if (facebook_) facebook_->authorize(loginPermissions());
}

void CinevueAppDelegate::logout() {
    if (facebook_) facebook_->logout(shared_from_this());
}

void CinevueAppDelegate::fbButtonClick(const std::shared_ptr<Button>&) {
    if (fbButton_ && fbButton_->isLoggedIn())
        logout();
    else
        login();
}

void CinevueAppDelegate::saveFacebookSession() {
    if (!facebook_) return;
    auto store = defaults();
    if (facebook_->accessToken())
        store->setObject(Value(*facebook_->accessToken()), kAccessTokenKey);
    else
        store->removeObjectForKey(kAccessTokenKey);
    if (facebook_->expirationDate())
        store->setObject(Value(*facebook_->expirationDate()), kExpirationDateKey);
    else
        store->removeObjectForKey(kExpirationDateKey);
    // The defaults file is private from its creation: the token never sits
    // in a file others may read.
    store->synchronize();
}

void CinevueAppDelegate::clearFacebookSession() {
    auto store = defaults();
    store->removeObjectForKey(kAccessTokenKey);
    store->removeObjectForKey(kExpirationDateKey);
    store->synchronize();
}

void CinevueAppDelegate::restoreFacebookSession() {
    if (!facebook_) return;
    auto store = defaults();
    auto token = store->stringForKey(kAccessTokenKey);
    auto expiry = store->dateForKey(kExpirationDateKey);
    if (!token || !expiry) return;
    facebook_->setAccessToken(*token);
    facebook_->setExpirationDate(*expiry);
}

bool CinevueAppDelegate::isConnectToFacebook() const { return facebook_ && facebook_->isSessionValid(); }

bool CinevueAppDelegate::canAppContinue() const { return isConnectToFacebook(); }

void CinevueAppDelegate::showSignedIn(bool signedIn) {
    if (!fbButton_) return;
    fbButton_->setIsLoggedIn(signedIn);
    fbButton_->updateImage();
}

void CinevueAppDelegate::fbDidLogin() {
    saveFacebookSession();
    showSignedIn(true);
    refreshFaceboookStatus();
}

void CinevueAppDelegate::fbDidNotLogin(bool) {}

void CinevueAppDelegate::fbDidExtendTokenExpiresAt(const std::string&, Date) { saveFacebookSession(); }

void CinevueAppDelegate::fbDidLogout() {
    clearFacebookSession();
    showSignedIn(false);
    refreshFaceboookStatus();
}

void CinevueAppDelegate::fbSessionInvalidated() {
    clearFacebookSession();
    showSignedIn(false);
    refreshFaceboookStatus();
}

// --- Posts and news ------------------------------------------------------------

Value::Dictionary CinevueAppDelegate::recommendationPostParams() {
    const AppConfig& config = AppConfig::current();
    const std::string product = TextEscaping::jsonString(config.productName);
    const std::string store = TextEscaping::jsonString(config.storeLink);
    const std::string actionLinks = "[{\"text\":\"Get " + product + "\",\"href\":\"" + store + "\"}]";
    // Three pieces with seven tabs and three blanks between them, as the
    // network has always been sent them.
    const std::string gap = "\t\t\t\t\t\t\t   ";
    const std::string attachment =
        "{\"name\":\"" + TextEscaping::jsonString(config.productName + " for iPhone/iPad/iPod") + "\",\"href\":\"" +
        store + "\"," + gap + "\"description\":\"" + TextEscaping::jsonString(kRecommendationDescription) + "\"," +
        gap + "\"media\":[{\"type\":\"image\",\"src\":\"" + TextEscaping::jsonString(config.iconURL) +
        "\",\"href\":\"" + store + "\"}]}";
    return Value::Dictionary{{"api_key", Value(config.facebookAppId)},
                             {"user_message_prompt", Value("Enter your message:")},
                             {"action_links", Value(actionLinks)},
                             {"attachment", Value(attachment)}};
}

void CinevueAppDelegate::shareAppOnFacebook() {
    if (facebook_) facebook_->dialogAndParamsAndDelegate("stream.publish", recommendationPostParams(), {});
}

void CinevueAppDelegate::thereAreNewsUpdate() {
    if (viewController_) viewController_->showURLWithTitle(AppConfig::current().newsPageURL, kNewsTitle);
}

void CinevueAppDelegate::showBrowser() {
    if (!browser_) browser_ = std::make_shared<CinevueViewController>();
    if (navController_ && !browser_->presentingViewController())
        navController_->presentModalViewControllerAnimated(browser_, true);
}

void CinevueAppDelegate::isThereUpdate() {
    ContentManager::shareContentManager()->checkForNewsUpdate(AppConfig::current().updateListURL);
}

}  // namespace clipora
