#include "share/Sharers/SXLinkedIn.h"

#include "platform/foundation/MarkupEscaping.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/TextView.h"
#include "share/Core/Helpers/OAuth/OAAsynchronousDataFetcher.h"
#include "share/Core/Helpers/OAuth/OAHMAC_SHA1SignatureProvider.h"
#include "share/Core/Helpers/OAuth/OAMutableURLRequest.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/Sharers/SXLinkedInOAMutableURLRequest.h"
#include "share/Sharers/SXLinkedInTextForm.h"
#include "share/Sharers/SXPlainRequestSharer.h"

namespace clipora {

using platform::Text;

namespace {

std::optional<platform::URL> apiURL(std::string_view path) {
    return SXPlainRequestSharer::serviceURL(SXLinkedIn::kAPIBaseURLKey, SXLinkedIn::kDefaultAPIBaseURL, path);
}

}  // namespace

void SXLinkedIn::init() {
    SXOAuthSharer::init();
    setConsumerKey(SXConfiguration::stringValue("linkedInConsumerKey"));
    setSecretKey(SXConfiguration::stringValue("linkedInSecret"));
    auto callback = SXConfiguration::stringValue("linkedInCallbackUrl");
    setAuthorizeCallbackURL(callback.empty() ? std::nullopt : platform::URL::fromString(callback));
    setRequestURL(apiURL("/uas/oauth/requestToken"));
    setAuthorizeURL(SXPlainRequestSharer::serviceURL(kSiteBaseURLKey, kDefaultSiteBaseURL, "/uas/oauth/authorize"));
    setAccessURL(apiURL("/uas/oauth/accessToken"));
    setSignatureProvider(std::make_shared<OAHMAC_SHA1SignatureProvider>());
}

void SXLinkedIn::tokenAccessModifyRequest(const std::shared_ptr<OAMutableURLRequest>& request) {
    if (const auto& vars = authorizeResponseQueryVars()) {
        if (auto verifier = vars->find("oauth_verifier"); verifier != vars->end()) {
            request->setOAuthParameterNameWithValue("oauth_verifier", verifier->second);
        }
    }
}

std::shared_ptr<OAMutableURLRequest> SXLinkedIn::tokenAccessRequest(const platform::URL& url,
                                                                    const std::optional<OAToken>& token) const {
    auto callback = authorizeCallbackURL();
    auto request = SXLinkedInOAMutableURLRequest::initWithURLConsumerTokenRealmSignatureProviderCallback(
        url, consumer().value_or(OAConsumer(consumerKey(), secretKey())), token, std::nullopt, signatureProvider(),
        callback ? callback->absoluteString() : std::string());
    request->setHTTPMethod("POST");
    return request;
}

void SXLinkedIn::show() {
    auto type = item() ? item()->shareType() : SXItem::SXShareTypeUndefined;
    if (type == SXItem::SXShareTypeURL || type == SXItem::SXShareTypeText) {
        showLinkedInTextForm();
        return;
    }
    // Nothing else can be shared here; the share must still end.
    sendDidFailWithError(SX::error("There was an error while sharing"));
}

void SXLinkedIn::showLinkedInTextForm() {
    auto keep = self();
    auto form = SXFormControllerLargeTextField::initWithDelegate<SXLinkedInTextForm>(
        std::weak_ptr<SXFormControllerLargeTextFieldDelegate>(std::static_pointer_cast<SXLinkedIn>(keep)));
    bool isLink = item()->shareType() == SXItem::SXShareTypeURL;
    form->textView()->setText((isLink ? item()->title() : item()->text()).value_or(""));
    if (viewControllers().empty()) {
        pushViewControllerAnimated(form, false);
    } else {
        setViewControllers({form});
    }
    SX::currentHelper()->showViewController(keep);
}

void SXLinkedIn::sendForm(const std::shared_ptr<SXFormControllerLargeTextField>& form) {
    auto keep = self();
    if (item()->shareType() == SXItem::SXShareTypeURL) {
        item()->setTitle(form->textView()->text());
    } else {
        item()->setText(form->textView()->text());
    }
    // The user's text must not vanish without a word.
    if (!tryToSend()) sendDidFailWithError(SX::error("There was an error while sharing"));
}

bool SXLinkedIn::validateItem() {
    if (!SXOAuthSharer::validateItem()) return false;
    if (item()->shareType() != SXItem::SXShareTypeURL) return true;
    return item()->title() && !item()->title()->empty();
}

std::string SXLinkedIn::shareBody() const {
    using Markup = platform::MarkupEscaping;
    bool isLink = item()->shareType() == SXItem::SXShareTypeURL;
    auto comment = (isLink ? item()->title() : item()->text()).value_or("");
    std::string content;
    if (isLink && item()->URL()) {
        content = Text::format("<content><submitted-url>%@</submitted-url></content>",
                               Markup::escaped(item()->URL()->absoluteString()));
    }
    std::string visibility = "anyone";
    if (auto code = item()->customValueForKey("visibility.code"); code && code->string()) visibility = *code->string();
    return Text::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><share><comment>%@</comment>%@<visibility><code>%@"
        "</code></visibility></share>",
        Markup::escaped(comment), content, Markup::escaped(visibility));
}

bool SXLinkedIn::send() {
    if (!validateItem()) return false;
    auto type = item()->shareType();
    if (type != SXItem::SXShareTypeURL && type != SXItem::SXShareTypeText) return false;
    auto url = apiURL("/v1/people/~/shares");
    // The stored token, also for a share that did not pass the login check
    // (an offline replay).
    if (!url || !restoreAccessToken()) return false;
    auto request = signedRequest(*url, accessToken());
    request->prepare();
    // The XML body is not a form: it takes no part in the signature.
    request->setHTTPBody(Text::toData(shareBody()));
    request->setValueForHTTPHeaderField("text/xml;charset=UTF-8", "Content-Type");
    std::weak_ptr<SXLinkedIn> weak = std::static_pointer_cast<SXLinkedIn>(self());
    auto fetcher = OAAsynchronousDataFetcher::asynchronousFetcherWithRequestDelegateDidFinishSelectorDidFailSelector(
        request, weak,
        [weak](const OAServiceTicket& ticket, const platform::Data& data) {
            if (auto sharer = weak.lock()) sharer->sendTicketDidFinishWithData(ticket, data);
        },
        [weak](const OAServiceTicket& ticket, const std::optional<platform::Error>& error) {
            if (auto sharer = weak.lock()) sharer->sendTicketDidFailWithError(ticket, error);
        });
    sendDidStart();
    fetcher->start();
    return true;
}

void SXLinkedIn::sendTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data&) {
    auto keep = self();
    if (ticket.didSucceed()) {
        sendDidFinish();
    } else {
        sendDidFailWithErrorShouldRelogin(SX::error("Why it failed"), false);
    }
}

void SXLinkedIn::sendTicketDidFailWithError(const OAServiceTicket&, const std::optional<platform::Error>& error) {
    auto keep = self();
    sendDidFailWithErrorShouldRelogin(error ? error : SX::error("There was an error while sharing"), false);
}

}  // namespace clipora
