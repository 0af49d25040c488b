#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/URL.h"
#include "platform/uikit/ActionSheet.h"
#include "platform/uikit/ActionSheetDelegate.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Toolbar.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/WebView.h"
#include "platform/uikit/WebViewDelegate.h"

namespace clipora {

// A self-contained in-application browser screen: a web view above a bottom
// toolbar with back, forward, reload (stop while loading) and an action
// button that offers to open the page in the system browser or copy its
// address. The title follows the page's title. Built in code.
class IKWebController : public platform::ViewController,
                        public platform::WebViewDelegate,
                        public platform::ActionSheetDelegate {
public:
    static constexpr int kBackTag = 2;
    static constexpr int kForwardTag = 1;
    static constexpr int kRefreshStopTag = 3;

    IKWebController();

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidUnload() override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;
    void willAnimateRotationToInterfaceOrientationDuration(int orientation, double duration) override;
    void updateToolbarWithOrientation(int orientation);

    void openURL(const platform::URL& url);
    void openRequest(const platform::URLRequest& request);
    // The page being loaded, else the page shown.
    std::optional<platform::URL> URL() const;
    void setToolbarTintColor(const platform::Color& colour);

    const std::shared_ptr<platform::WebView>& webView() const { return webView_; }
    const std::shared_ptr<platform::Toolbar>& toolbar() const { return toolbar_; }
    const std::shared_ptr<platform::ActionSheet>& actionSheet() const { return actionSheet_; }
    const std::shared_ptr<platform::BarButtonItem>& backButton() const { return backButton_; }
    const std::shared_ptr<platform::BarButtonItem>& forwardButton() const { return forwardButton_; }
    const std::shared_ptr<platform::BarButtonItem>& refreshButton() const { return refreshButton_; }
    const std::shared_ptr<platform::BarButtonItem>& stopButton() const { return stopButton_; }
    const std::shared_ptr<platform::BarButtonItem>& actionButton() const { return actionButton_; }
    const std::shared_ptr<platform::BarButtonItem>& activityItem() const { return activityItem_; }

    void backAction();
    void forwardAction();
    void refreshAction();
    void stopAction();
    void shareAction();
    // A hook for subclasses: adds "Open in Safari" and "Copy URL" to the
    // screen's own sheet; answering false shows no sheet.
    virtual bool shouldPresentActionSheet(const std::shared_ptr<platform::ActionSheet>& sheet);

    // WebViewDelegate
    bool webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<platform::WebView>& webView,
                                                         const std::shared_ptr<platform::URLRequest>& request,
                                                         platform::WebViewNavigationType type) override;
    void webViewDidStartLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void webViewDidFinishLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void webViewDidFailLoadWithError(const std::shared_ptr<platform::WebView>& webView,
                                     const platform::Error& error) override;
    // ActionSheetDelegate
    void actionSheetClickedButtonAtIndex(const std::shared_ptr<platform::ActionSheet>& sheet, int index) override;
    void actionSheetDidDismissWithButtonIndex(const std::shared_ptr<platform::ActionSheet>& sheet, int index) override;

private:
    void refreshBackForward();
    // Replaces the first toolbar item tagged `tag` by `item`.
    void replaceToolbarItemWithTag(int tag, const std::shared_ptr<platform::BarButtonItem>& item);
    void releaseAllSubviews();

    std::shared_ptr<platform::WebView> webView_;
    std::shared_ptr<platform::Toolbar> toolbar_;
    std::shared_ptr<platform::ActionSheet> actionSheet_;
    std::shared_ptr<platform::BarButtonItem> backButton_;
    std::shared_ptr<platform::BarButtonItem> forwardButton_;
    std::shared_ptr<platform::BarButtonItem> refreshButton_;
    std::shared_ptr<platform::BarButtonItem> stopButton_;
    std::shared_ptr<platform::BarButtonItem> actionButton_;
    std::shared_ptr<platform::BarButtonItem> activityItem_;
    std::optional<platform::URL> actionSheetURL_;
    std::optional<platform::URL> loadingURL_;
};

}  // namespace clipora
