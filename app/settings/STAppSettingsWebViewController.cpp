#include "app/settings/STAppSettingsWebViewController.h"

#include <filesystem>

#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Text.h"
#include "platform/media/MailComposeViewController.h"

namespace clipora {

using namespace platform;

std::shared_ptr<STAppSettingsWebViewController> STAppSettingsWebViewController::initWithURLKey(
    const std::string& url, const std::optional<std::string>&) {
    auto pane = std::make_shared<STAppSettingsWebViewController>();
    pane->url_ = URL::fromString(url);
    return pane;
}

std::shared_ptr<STAppSettingsWebViewController> STAppSettingsWebViewController::initWithFileKey(
    const std::string& file, const std::optional<std::string>&) {
    auto pane = std::make_shared<STAppSettingsWebViewController>();
    pane->url_ = URL::fromString(file);
    if (!pane->url_ || pane->url_->scheme().empty()) {
        const std::filesystem::path name(file);
        std::string extension = name.extension().string();
        if (!extension.empty()) extension.erase(0, 1);
        auto path = Bundle::mainBundle()->pathForResource((name.parent_path() / name.stem()).string(), extension);
        pane->url_ = path ? std::optional<URL>(URL::fileURLWithPath(*path)) : std::nullopt;
    }
    return pane;
}

std::shared_ptr<ViewController> STAppSettingsWebViewController::makeForSelector(
    const std::optional<std::string>& selector, const std::optional<std::string>& file,
    const std::optional<std::string>& key) {
    if (!selector) return std::make_shared<STAppSettingsWebViewController>();
    if (*selector == "initWithURL:key:") return initWithURLKey(file.value_or(std::string()), key);
    if (*selector == "initWithFile:key:") return initWithFileKey(file.value_or(std::string()), key);
    return nullptr;
}

void STAppSettingsWebViewController::loadView() {
    ViewController::loadView();
    webView_ = std::make_shared<WebView>(view()->bounds());
    webView_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    webView_->setDelegate(weakAs<WebViewDelegate>());
    view()->addSubview(webView_);
}

void STAppSettingsWebViewController::viewDidUnload() {
    ViewController::viewDidUnload();
    webView_.reset();
}

void STAppSettingsWebViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    if (webView_ && url_) webView_->loadRequest(URLRequest(*url_));
}

void STAppSettingsWebViewController::webViewDidFinishLoad(const std::shared_ptr<WebView>& webView) {
    setTitle(webView->stringByEvaluatingJavaScriptFromString("document.title"));
}

std::optional<MailComposeViewController::Message> STAppSettingsWebViewController::messageForMailtoURL(const URL& url) {
    const auto pieces = Text::split(url.resourceSpecifier(), "?");
    if (pieces.size() > 2) return std::nullopt;
    MailComposeViewController::Message message;
    if (!pieces.empty() && !pieces[0].empty()) message.toRecipients.push_back(pieces[0]);
    if (pieces.size() == 2) {
        for (const auto& part : Text::split(pieces[1], "&")) {
            const auto field = Text::split(part, "=");
            if (field.size() != 2) continue;
            const std::string name = Text::lowercase(field[0]);
            const auto value = Text::percentUnescape(field[1]);
            if (!value) continue;  // not text: a malformed field
            if (name == "subject")
                message.subject = *value;
            else if (name == "body")
                message.body = *value;
            else if (name == "to")
                for (const auto& address : Text::split(*value, ",")) message.toRecipients.push_back(address);
            else if (name == "cc")
                message.ccRecipients = Text::split(*value, ",");
            else if (name == "bcc")
                message.bccRecipients = Text::split(*value, ",");
        }
    }
    return message;
}

bool STAppSettingsWebViewController::webViewShouldStartLoadWithRequestNavigationType(
    const std::shared_ptr<WebView>&, const std::shared_ptr<URLRequest>& request, WebViewNavigationType) {
    if (!request || request->url().scheme() != "mailto") return true;
    auto message = messageForMailtoURL(request->url());
    if (!message) return false;
    auto composer = MailComposeViewController::create();
    if (!composer) return false;
    composer->setMailComposeDelegate(weakAs<MailComposeViewControllerDelegate>());
    composer->setSubject(message->subject);
    composer->setMessageBodyIsHTML(message->body, false);
    composer->setCcRecipients(message->ccRecipients);
    composer->setBccRecipients(message->bccRecipients);
    composer->setToRecipients(message->toRecipients);
    presentModalViewControllerAnimated(composer, true);
    return false;
}

void STAppSettingsWebViewController::mailComposeControllerDidFinishWithResultError(
    const std::shared_ptr<MailComposeViewController>&, MailComposeResult, const std::optional<Error>&) {
    dismissModalViewControllerAnimated(true);
}

}  // namespace clipora
