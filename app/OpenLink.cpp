#include "app/OpenLink.h"

#include "app/AppConfig.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"

namespace clipora {

using namespace platform;

namespace {

bool isWebScheme(const URL& url) {
    return Text::equalsCaseInsensitive(url.scheme(), "http") || Text::equalsCaseInsensitive(url.scheme(), "https");
}

// The store application's own addresses: the one place outside the web that
// an affiliate chain is allowed to lead to.
bool isStoreScheme(const URL& url) { return Text::equalsCaseInsensitive(url.scheme(), OpenLink::kStoreScheme); }

}  // namespace

std::shared_ptr<OpenLink> OpenLink::shareOpenLink() {
    static const auto opener = std::make_shared<OpenLink>();
    return opener;
}

void OpenLink::openLinkShareLink(const std::optional<std::string>& link) {
    const std::string text = link.value_or(std::string());
    const std::string& clickHost = AppConfig::current().affiliateClickHost;
    auto url = URL::fromString(text);
    if (!clickHost.empty() && Text::contains(text, clickHost) && url) {
        foreignTarget_.reset();
        URLConnection::connectionWithRequestDelegate(URLRequest(*url), shared_from_this());
        return;
    }
    if (url) Application::sharedApplication()->openURL(*url);
}

std::shared_ptr<URLRequest> OpenLink::connectionWillSendRequestRedirectResponse(
    const std::shared_ptr<URLConnection>&, const std::shared_ptr<URLRequest>& request,
    const std::shared_ptr<HTTPURLResponse>& redirectResponse) {
    itunesURL_ = redirectResponse ? std::optional<URL>(redirectResponse->url()) : std::nullopt;
    if (redirectResponse && request && !isWebScheme(request->url())) {
        // The chain leaves the web here, so it is not followed further. Only
        // the store's own address is opened in its place; any other scheme
        // (another application's address, named by whoever answered on the
        // way) is not ours to open, and the chain ends at the last web
        // address, the one that answered with this redirect.
        if (isStoreScheme(request->url())) foreignTarget_ = request->url();
        return nullptr;
    }
    return request;
}

void OpenLink::connectionDidReceiveData(const std::shared_ptr<URLConnection>&, const Data&) {}

void OpenLink::connectionDidFinishLoading(const std::shared_ptr<URLConnection>&) {
    std::optional<URL> target = foreignTarget_ ? foreignTarget_ : itunesURL_;
    foreignTarget_.reset();
    if (target && (isWebScheme(*target) || isStoreScheme(*target))) Application::sharedApplication()->openURL(*target);
}

void OpenLink::connectionDidFailWithError(const std::shared_ptr<URLConnection>&, const Error&) {
    foreignTarget_.reset();
}

}  // namespace clipora
