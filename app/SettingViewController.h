#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/OpenLink.h"
#include "app/settings/STAppSettingsViewController.h"
#include "platform/foundation/URL.h"

namespace clipora {

// The application's settings screen: the kit's screen with the
// application's look and five rows of its own: the social network's "like"
// widget for the maker's page, promotions of other applications, a custom
// link, and following the maker on the social network and on the microblog
// service. Every other row (the "downloadHD" switch, the share buttons, the
// recommendation mail) is the kit's.
class SettingViewController : public STAppSettingsViewController {
public:
    static constexpr const char* kFacebookLike = "PSFacebookLikeSpecifier";
    static constexpr const char* kOtherApp = "PSOtherAppSpecifier";
    static constexpr const char* kOpenCustomURL = "PSOpenCustomURLSpecifier";
    static constexpr const char* kFollowFacebook = "PSFollowFacebookSpecifier";
    static constexpr const char* kFollowTwitter = "PSFollowTwitterSpecifier";
    static constexpr int kLikeWebViewTag = 130;

    SettingViewController();

    // The last redirecting address seen while following an affiliate link.
    const std::optional<platform::URL>& itunesURL() const { return opener_->itunesURL(); }
    void setItunesURL(std::optional<platform::URL> url) { opener_->setItunesURL(std::move(url)); }

    // Opens a link, following affiliate links through their redirects first.
    void openLinkShareLink(const std::optional<std::string>& link);
    // The maker's page in the network's app, else on the network's web site.
    void openFacebookFanPage(const std::string& pageId);
    // The account in the first microblog client installed, else on the
    // service's mobile web site.
    void openTwitterAppForFollowingUser(const std::string& screenName);
    // The like widget's page for a row title and cell width.
    static std::string likeWidgetHTML(const std::string& fanPageName, float cellWidth);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;
    void didRotateFromInterfaceOrientation(int fromOrientation) override;

    std::shared_ptr<platform::View> tableViewViewForHeaderInSection(
        const std::shared_ptr<platform::TableView>& tableView, int section) override;
    std::optional<float> tableViewHeightForRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                                          const platform::IndexPath& indexPath) override;
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                          const platform::IndexPath& indexPath) override;

protected:
    std::shared_ptr<STAppSettingsViewController> makeChildPane() override;

private:
    std::shared_ptr<platform::TableViewCell> likeCell(const std::shared_ptr<platform::TableView>& tableView,
                                                      const STSpecifier& specifier);

    std::shared_ptr<OpenLink> opener_;
};

}  // namespace clipora
