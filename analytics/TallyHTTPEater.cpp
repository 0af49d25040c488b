#include "analytics/TallyHTTPEater.h"

#include <chrono>

#include "analytics/TallyConnectionDelegate.h"
#include "analytics/TallyHTTPResponse.h"
#include "analytics/TallyUtil.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "platform/uikit/WebView.h"
#include "platform/uikit/WebViewDelegate.h"

namespace clipora {

using namespace platform;

namespace {

std::optional<URL> toURL(const std::variant<URL, std::string>& url) {
    if (const auto* text = std::get_if<std::string>(&url)) return URL::fromString(*text);
    return std::get<URL>(url);
}

std::string joinQuery(const Value::Dictionary& query, bool escape) {
    std::vector<std::string> pairs;
    for (const auto& [key, value] : query) {
        const std::string text = value.description();
        pairs.push_back(escape ? Text::percentEscape(key) + "=" + Text::percentEscape(text) : key + "=" + text);
    }
    return Text::join(pairs, "&");
}

// Keeps an off-screen web view alive until its load is over: nothing else
// holds it once the sender has returned. Main thread only.
class OffScreenLoad : public WebViewDelegate, public std::enable_shared_from_this<OffScreenLoad> {
public:
    static void start(const URLRequest& request) {
        auto load = std::make_shared<OffScreenLoad>();
        load->view_ = std::make_shared<WebView>(Rect{10, 10, 10, 10});
        load->view_->setDelegate(load);
        running().push_back(load);
        load->view_->loadRequest(request);
    }
    void webViewDidFinishLoad(const std::shared_ptr<WebView>&) override { finish(); }
    void webViewDidFailLoadWithError(const std::shared_ptr<WebView>&, const Error&) override { finish(); }

private:
    static std::vector<std::shared_ptr<OffScreenLoad>>& running() {
        static std::vector<std::shared_ptr<OffScreenLoad>> loads;
        return loads;
    }
    // Let go on a later turn of the main loop: the view is still inside the
    // callback that tells of the end.
    void finish() {
        Thread::performOnMainThread([self = shared_from_this()] { std::erase(running(), self); }, false);
    }
    std::shared_ptr<WebView> view_;
};

}  // namespace

std::shared_ptr<TallyHTTPResponse> TallyHTTPEater::get(const std::variant<URL, std::string>& url) {
    return getHeaderFields(url, std::nullopt);
}

std::shared_ptr<TallyHTTPResponse> TallyHTTPEater::getHeaderFields(const std::variant<URL, std::string>& url,
                                                                   const std::optional<Value::Dictionary>& headers) {
    const auto target = toURL(url);
    // Text that is no URL fails like a request the connection cannot make.
    if (!target)
        return TallyHTTPResponse::initWithBodyStatusCodeHeadersError(
            std::nullopt, 0, std::nullopt, URLConnection::urlError(Error::kURLErrorBadURL, std::nullopt));
    return sendMethodToBodyHeaderFieldsTimeoutIntervalUseWebView("GET", *target, std::nullopt, headers, kDefaultTimeout,
                                                                 false);
}

std::shared_ptr<TallyHTTPResponse> TallyHTTPEater::postBody(const URL& url, const Data& body) {
    return postBodyHeaderFields(url, body, std::nullopt);
}

std::shared_ptr<TallyHTTPResponse> TallyHTTPEater::postBodyHeaderFields(
    const URL& url, const Data& body, const std::optional<Value::Dictionary>& headers) {
    return sendMethodToBodyHeaderFieldsTimeoutIntervalUseWebView("POST", url, body, headers, kDefaultTimeout, false);
}

std::shared_ptr<TallyHTTPResponse> TallyHTTPEater::sendMethodToBodyHeaderFieldsTimeoutIntervalUseWebView(
    const std::string& method, const URL& url, const std::optional<Data>& body,
    const std::optional<Value::Dictionary>& headers, double timeoutSeconds, bool useWebView) {
    TallyUtil::debugLog("TallyAnalytics: %@: %@", method, url.absoluteString());
    URLRequest request(url, URLRequest::CachePolicy::ReloadIgnoringLocalAndRemoteCacheData, timeoutSeconds);
    if (headers) request.setAllHTTPHeaderFields(*headers);
    request.setHTTPMethod(method);
    request.setHTTPBody(body);
    request.setHTTPShouldHandleCookies(false);

    if (useWebView) {
        Thread::performOnMainThread([request] { OffScreenLoad::start(request); }, true);
        return nullptr;
    }

    auto delegate = std::make_shared<TallyConnectionDelegate>();
    auto connection = URLConnection::connectionWithRequestDelegate(request, delegate);
    auto loop = RunLoop::current();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                               std::chrono::duration<double>(timeoutSeconds * kDeadlineFactor));
    while (!delegate->isDone()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            connection->cancel();
            delegate->failWithError(URLConnection::urlError(Error::kURLErrorTimedOut, url));
            break;
        }
        loop->runOnce(RunLoop::defaultMode,
                      std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(200)));
    }
    auto response =
        TallyHTTPResponse::initWithResponseBodyError(delegate->response(), delegate->body(), delegate->error());
    TallyUtil::debugLog("TallyAnalytics: HTTP Response[%@]", response->description());
    return response;
}

std::string TallyHTTPEater::queryDictionaryToString(const Value::Dictionary& query) { return joinQuery(query, false); }

std::string TallyHTTPEater::queryDictionaryToEscapedString(const Value::Dictionary& query) {
    return joinQuery(query, true);
}

std::optional<URL> TallyHTTPEater::urlWithProtocolHostPortPathQuery(
    const std::optional<std::string>& scheme, const std::optional<std::string>& host, int port,
    const std::optional<std::string>& path, const std::optional<std::variant<Value::Dictionary, std::string>>& query) {
    std::string text = scheme.value_or("http") + "://";
    if (host) text += *host;
    if (port != 0 && port != 80) text += Text::format(":%d", port);
    if (path) text += "/" + *path;
    if (query) {
        if (const auto* dictionary = std::get_if<Value::Dictionary>(&*query))
            text += "?" + queryDictionaryToString(*dictionary);
        else
            text += "?" + std::get<std::string>(*query);
    }
    return URL::fromString(text);
}

}  // namespace clipora
