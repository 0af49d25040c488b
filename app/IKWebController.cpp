#include "app/IKWebController.h"

#include "app/InterfaceKit.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Pasteboard.h"
#include "platform/uikit/Window.h"

namespace clipora {

using namespace platform;

IKWebController::IKWebController() { setHidesBottomBarWhenPushed(true); }

void IKWebController::loadView() {
    ViewController::loadView();
    auto root = view();
    const Rect bounds = root->bounds();
    const float h = InterfaceKit::toolbarHeightForOrientation(InterfaceKit::statusBarOrientation());
    toolbar_ = std::make_shared<Toolbar>(Rect(0, bounds.size.height - h, bounds.size.width, h));
    toolbar_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleTopMargin);

    auto self = sharedAs<IKWebController>();
    auto imageItem = [&](const char* file, int tag, void (IKWebController::*action)()) {
        auto item = std::make_shared<BarButtonItem>(
            Image::imageNamed(std::string("IKWebController.bundle/gfx/") + file), BarButtonItem::StylePlain);
        item->setTag(tag);
        item->setEnabled(false);
        item->setTargetAction(self, action);
        return item;
    };
    backButton_ = imageItem("backIcon.png", kBackTag, &IKWebController::backAction);
    forwardButton_ = imageItem("forwardIcon.png", kForwardTag, &IKWebController::forwardAction);
    refreshButton_ = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemRefresh);
    refreshButton_->setTag(kRefreshStopTag);
    refreshButton_->setTargetAction(self, &IKWebController::refreshAction);
    stopButton_ = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemStop);
    stopButton_->setTag(kRefreshStopTag);
    stopButton_->setTargetAction(self, &IKWebController::stopAction);
    actionButton_ = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemAction);
    actionButton_->setTargetAction(self, &IKWebController::shareAction);
    auto spinner = std::make_shared<ActivityIndicatorView>(ActivityIndicatorView::StyleWhite);
    spinner->startAnimating();
    activityItem_ = std::make_shared<BarButtonItem>(spinner);
    auto space = [] { return std::make_shared<BarButtonItem>(BarButtonItem::SystemItemFlexibleSpace); };
    toolbar_->setItems({backButton_, space(), forwardButton_, space(), refreshButton_, space(), actionButton_});

    webView_ = std::make_shared<WebView>(Rect(0, 0, bounds.size.width, bounds.size.height - h));
    webView_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    webView_->setDelegate(weakAs<WebViewDelegate>());
    webView_->setScalesPageToFit(true);
    root->addSubview(webView_);
    root->addSubview(toolbar_);
}

void IKWebController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    updateToolbarWithOrientation(InterfaceKit::statusBarOrientation());
}

void IKWebController::viewWillDisappear(bool animated) {
    ViewController::viewWillDisappear(animated);
    if (isViewLoaded())
        if (auto window = view()->window()) window->makeKeyWindow();
}

void IKWebController::viewDidUnload() {
    ViewController::viewDidUnload();
    releaseAllSubviews();
}

void IKWebController::releaseAllSubviews() {
    if (actionSheet_) actionSheet_->setDelegate({});
    if (webView_) webView_->setDelegate({});
    actionSheet_ = nullptr;
    webView_ = nullptr;
    toolbar_ = nullptr;
    backButton_ = forwardButton_ = refreshButton_ = stopButton_ = actionButton_ = activityItem_ = nullptr;
}

bool IKWebController::shouldAutorotateToInterfaceOrientation(int orientation) {
    return InterfaceKit::isSupportedOrientation(orientation);
}

void IKWebController::willAnimateRotationToInterfaceOrientationDuration(int orientation, double) {
    updateToolbarWithOrientation(orientation);
}

void IKWebController::updateToolbarWithOrientation(int orientation) {
    if (!toolbar_ || !webView_) return;
    const float viewHeight = view()->bounds().size.height;
    const float h = InterfaceKit::toolbarHeightForOrientation(orientation);
    Rect bar = toolbar_->frame();
    toolbar_->setFrame(Rect(bar.origin.x, viewHeight - h, bar.size.width, h));
    Rect page = webView_->frame();
    webView_->setFrame(Rect(page.origin.x, page.origin.y, page.size.width, viewHeight - h));
}

void IKWebController::openURL(const platform::URL& url) { openRequest(URLRequest(url)); }

void IKWebController::openRequest(const URLRequest& request) {
    view();
    webView_->loadRequest(request);
}

std::optional<platform::URL> IKWebController::URL() const {
    if (loadingURL_) return loadingURL_;
    return webView_ ? webView_->mainDocumentURL() : std::nullopt;
}

void IKWebController::setToolbarTintColor(const Color& colour) {
    view();
    toolbar_->setTintColor(colour);
}

void IKWebController::backAction() {
    if (webView_) webView_->goBack();
}

void IKWebController::forwardAction() {
    if (webView_) webView_->goForward();
}

void IKWebController::refreshAction() {
    if (webView_) webView_->reload();
}

void IKWebController::stopAction() {
    if (webView_) webView_->stopLoading();
}

void IKWebController::refreshBackForward() {
    if (!webView_) return;
    backButton_->setEnabled(webView_->canGoBack());
    forwardButton_->setEnabled(webView_->canGoForward());
}

void IKWebController::replaceToolbarItemWithTag(int tag, const std::shared_ptr<BarButtonItem>& item) {
    auto items = toolbar_->items();
    for (auto& existing : items) {
        if (existing && existing->tag() == tag) {
            existing = item;
            toolbar_->setItemsAnimated(std::move(items), false);
            return;
        }
    }
}

bool IKWebController::webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<WebView>&,
                                                                      const std::shared_ptr<URLRequest>& request,
                                                                      WebViewNavigationType) {
    loadingURL_ =
        request->mainDocumentURL() ? request->mainDocumentURL() : std::optional<platform::URL>(request->url());
    refreshBackForward();
    return true;
}

void IKWebController::webViewDidStartLoad(const std::shared_ptr<WebView>&) {
    setTitle("Loading...");
    if (!navigationItem()->rightBarButtonItem()) navigationItem()->setRightBarButtonItemAnimated(activityItem_, true);
    replaceToolbarItemWithTag(kRefreshStopTag, stopButton_);
    refreshBackForward();
}

void IKWebController::webViewDidFinishLoad(const std::shared_ptr<WebView>& webView) {
    loadingURL_.reset();
    if (webView) setTitle(webView->stringByEvaluatingJavaScriptFromString("document.title"));
    if (navigationItem()->rightBarButtonItem() == activityItem_)
        navigationItem()->setRightBarButtonItemAnimated(nullptr, true);
    replaceToolbarItemWithTag(kRefreshStopTag, refreshButton_);
    refreshBackForward();
}

void IKWebController::webViewDidFailLoadWithError(const std::shared_ptr<WebView>& webView, const Error&) {
    loadingURL_.reset();
    webViewDidFinishLoad(webView);
}

void IKWebController::shareAction() {
    if (actionSheet_ && actionSheet_->isVisible()) {
        auto sheet = std::move(actionSheet_);
        sheet->setDelegate({});
        sheet->dismissWithClickedButtonIndexAnimated(sheet->cancelButtonIndex(), true);
        actionSheetURL_.reset();
        return;
    }
    actionSheetURL_ = URL();
    if (!actionSheet_) {
        auto sheet = std::make_shared<ActionSheet>(actionSheetURL_ ? actionSheetURL_->absoluteString() : std::string(),
                                                   weakAs<ActionSheetDelegate>(), std::nullopt, std::nullopt);
        if (!shouldPresentActionSheet(sheet)) {
            actionSheetURL_.reset();
            return;
        }
        if (!InterfaceKit::isPad()) sheet->setCancelButtonIndex(sheet->addButtonWithTitle("Cancel"));
        actionSheet_ = sheet;
    }
    if (InterfaceKit::isPad())
        actionSheet_->showFromBarButtonItemAnimated(actionButton_, true);
    else
        actionSheet_->showInView(view());
}

bool IKWebController::shouldPresentActionSheet(const std::shared_ptr<ActionSheet>& sheet) {
    if (sheet == actionSheet_ || !actionSheet_) {
        sheet->addButtonWithTitle("Open in Safari");
        sheet->addButtonWithTitle("Copy URL");
    }
    return true;
}

void IKWebController::actionSheetClickedButtonAtIndex(const std::shared_ptr<ActionSheet>& sheet, int index) {
    if (sheet != actionSheet_ || !actionSheetURL_) return;
    if (index == 0)
        Application::sharedApplication()->openURL(*actionSheetURL_);
    else if (index == 1)
        Pasteboard::generalPasteboard()->setURL(*actionSheetURL_);
}

void IKWebController::actionSheetDidDismissWithButtonIndex(const std::shared_ptr<ActionSheet>& sheet, int) {
    if (sheet != actionSheet_) return;
    actionSheet_->setDelegate({});
    actionSheet_ = nullptr;
    actionSheetURL_.reset();
}

}  // namespace clipora
