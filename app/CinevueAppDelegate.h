#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/ApplicationServices.h"
#include "app/DownloadList.h"
#include "net/engine/VideoDownloader.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/ApplicationDelegate.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/Window.h"
#include "social/sdk/FBLoginButton.h"
#include "social/sdk/FBSessionDelegate.h"
#include "social/sdk/Facebook.h"

namespace clipora {

class CinevueViewController;
class OptionListViewController;

// The application's delegate and the owner of what lives as long as the
// process: the social-network session, the login button, the download engine,
// the window and the navigation controller whose root is the root menu. It
// keeps the session's token and expiry in the user defaults
// ("FBAccessTokenKey", "FBExpirationDateKey"; the preferences file is made
// readable by its owner only, and the token is never logged), hands every
// URL opened in the application to the session, and asks for a rating at
// launch and on each return to the foreground. Main thread.
//
// It is the one place that wires the application: at launch it makes the
// download list on the engine (removing the download files no row owns),
// installs the session's upload route, and hands the session, the download
// list and itself (ApplicationServices) to the root menu, which passes them
// on to the screens it makes. No screen looks the delegate up.
class CinevueAppDelegate : public platform::ApplicationDelegate,
                           public ApplicationServices,
                           public FBSessionDelegate,
                           public std::enable_shared_from_this<CinevueAppDelegate> {
public:
    static constexpr const char* kAccessTokenKey = "FBAccessTokenKey";
    static constexpr const char* kExpirationDateKey = "FBExpirationDateKey";
    static constexpr const char* kInitializeKey = "initialize";
    static constexpr const char* kDownloadHDKey = DownloadList::kDownloadHDKey;
    static constexpr const char* kNewsUpdateNotification = "NewsUpdateNotificationName";
    static constexpr const char* kNewsTitle = "Movara Latest Update";

    // The delegate with its window, navigation controller and root menu,
    // after the class initializer ran.
    static std::shared_ptr<CinevueAppDelegate> create();

    // The class initializer: the "downloadHD" default (stored as NO only when
    // nothing is stored, so the user's choice survives relaunches; a stored
    // "initialize" YES leaves the key alone entirely) and the update
    // checker's set-up.
    static void initialize();
    // The ten permissions asked for at login, in order.
    static const std::vector<std::string>& loginPermissions();

    CinevueAppDelegate() = default;
    ~CinevueAppDelegate() override;

    std::shared_ptr<platform::Window> window() const override { return window_; }
    const std::shared_ptr<platform::NavigationController>& navController() const { return navController_; }
    const std::shared_ptr<OptionListViewController>& viewController() const { return viewController_; }
    const std::shared_ptr<Facebook>& facebook() const { return facebook_; }
    const std::shared_ptr<FBLoginButton>& fbButton() const override { return fbButton_; }
    const std::shared_ptr<VideoDownloader>& videoDownloader() const { return videoDownloader_; }
    void setVideoDownloader(std::shared_ptr<VideoDownloader> downloader) { videoDownloader_ = std::move(downloader); }
    // The download list on the engine (made at launch).
    const std::shared_ptr<DownloadList>& downloads() const { return downloads_; }

    // --- ApplicationDelegate ---
    bool applicationDidFinishLaunchingWithOptions(const std::shared_ptr<platform::Application>& application,
                                                  const platform::Value& launchOptions) override;
    void applicationWillEnterForeground(const std::shared_ptr<platform::Application>& application) override;
    bool applicationHandleOpenURL(const std::shared_ptr<platform::Application>& application,
                                  const platform::URL& url) override;
    bool applicationOpenURLSourceApplicationAnnotation(const std::shared_ptr<platform::Application>& application,
                                                       const platform::URL& url, const std::string& sourceApplication,
                                                       const platform::Value& annotation) override;

    // --- Session ---
    void login() override;
    void logout();
    void fbButtonClick(const std::shared_ptr<platform::Button>& sender) override;
    void saveFacebookSession();
    void clearFacebookSession();
    void restoreFacebookSession();
    bool isConnectToFacebook() const override;
    bool canAppContinue() const override;
    void refreshFaceboookStatus() {}

    // FBSessionDelegate
    void fbDidLogin() override;
    void fbDidNotLogin(bool cancelled) override;
    // An extended token is written back, so a relaunch keeps the new expiry.
    void fbDidExtendTokenExpiresAt(const std::string& accessToken, platform::Date expiresAt) override;
    void fbDidLogout() override;
    // The network refused the token: forget the stored one and show the
    // signed-out button.
    void fbSessionInvalidated() override;

    // The post that recommends the application (a web dialog).
    void shareAppOnFacebook() override;
    // The parameters of that post.
    static platform::Value::Dictionary recommendationPostParams();
    void thereAreNewsUpdate();
    // Starts the content checker on the remote update and news list.
    void isThereUpdate();
    // The browser screen family (made once), presented over the root menu.
    void showBrowser();
    const std::shared_ptr<CinevueViewController>& browser() const { return browser_; }

private:
    void buildInterface();
    void showSignedIn(bool signedIn);

    std::shared_ptr<platform::Window> window_;
    std::shared_ptr<platform::NavigationController> navController_;
    std::shared_ptr<OptionListViewController> viewController_;
    std::shared_ptr<Facebook> facebook_;
    std::shared_ptr<FBLoginButton> fbButton_;
    std::shared_ptr<VideoDownloader> videoDownloader_;
    std::shared_ptr<DownloadList> downloads_;
    std::shared_ptr<CinevueViewController> browser_;
    bool observing_ = false;
};

}  // namespace clipora
