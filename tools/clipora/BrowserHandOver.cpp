#include "tools/clipora/BrowserHandOver.h"

#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "tools/clipora/TerminalText.h"

namespace clipora::device {

using namespace platform;

namespace {

bool isWeb(const URL& url) {
    return Text::equalsCaseInsensitive(url.scheme(), "http") || Text::equalsCaseInsensitive(url.scheme(), "https");
}

std::string unescapeHTML(std::string text) {
    for (auto [from, to] : {std::pair{"&quot;", "\""}, std::pair{"&lt;", "<"}, std::pair{"&gt;", ">"},
                            std::pair{"&#39;", "'"}, std::pair{"&amp;", "&"}})
        text = Text::replaceAll(text, from, to);
    return text;
}

// The action of the form with this id, if the page has one.
std::optional<std::string> formAction(const std::string& html, const std::string& id) {
    std::size_t at = 0;
    while ((at = html.find("<form", at)) != std::string::npos) {
        const std::size_t end = html.find('>', at);
        if (end == std::string::npos) return std::nullopt;
        const std::string tag = html.substr(at, end - at);
        at = end;
        if (tag.find("id=\"" + id + "\"") == std::string::npos) continue;
        const std::size_t start = tag.find("action=\"");
        if (start == std::string::npos) return std::nullopt;
        const std::size_t close = tag.find('"', start + 8);
        if (close == std::string::npos) return std::nullopt;
        return unescapeHTML(tag.substr(start + 8, close - start - 8));
    }
    return std::nullopt;
}

// The page's visible text, roughly: tags dropped, blank lines folded.
std::string pageText(const std::string& html) {
    std::string text;
    bool inTag = false;
    for (char c : html) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if (!inTag)
            text += c;
    }
    std::string folded;
    for (const auto& line : Text::split(unescapeHTML(text), "\n")) {
        const std::string trimmed = TerminalText::printable(Text::trimWhitespaceAndNewlines(line));
        if (!trimmed.empty()) folded += "  " + trimmed + "\n";
    }
    return folded;
}

}  // namespace

void BrowserHandOver::open(const URL& url) {
    email_.clear();
    password_.clear();
    message_.clear();
    load(URLRequest(url));
}

void BrowserHandOver::load(const URLRequest& request) {
    if (connection_) connection_->cancel();
    state_ = State::Loading;
    appURL_.reset();
    body_.clear();
    host_ = request.url().host();
    connection_ = URLConnection::connectionWithRequestDelegate(request, shared_from_this());
}

void BrowserHandOver::type(const std::string& text) {
    if (state_ != State::ShowingForm) return;
    if (email_.empty())
        email_ = text;
    else
        password_ = text;
}

void BrowserHandOver::logIn() { submit("login"); }

void BrowserHandOver::cancel() {
    if (state_ == State::ShowingForm)
        submit("cancel");
    else
        close();
}

void BrowserHandOver::close() {
    if (connection_) connection_->cancel();
    connection_.reset();
    state_ = State::Idle;
}

void BrowserHandOver::submit(const std::string& button) {
    auto url = URL::fromString(formAction_);
    if (state_ != State::ShowingForm || !url) return;
    URLRequest request(*url);
    request.setHTTPMethod("POST");
    request.setValueForHTTPHeaderField(std::string("application/x-www-form-urlencoded"), "Content-Type");
    std::string form = "email=" + Text::percentEscape(email_) + "&pass=" + Text::percentEscape(password_) + "&" +
                       button + "=" + (button == "login" ? "Log%20In" : "Cancel");
    request.setHTTPBody(Text::toData(form));
    message_.clear();
    load(request);
}

void BrowserHandOver::handBack(const URL& url) {
    close();
    Application::sharedApplication()->handleIncomingURL(url);
}

std::shared_ptr<URLRequest> BrowserHandOver::connectionWillSendRequestRedirectResponse(
    const std::shared_ptr<URLConnection>&, const std::shared_ptr<URLRequest>& request,
    const std::shared_ptr<HTTPURLResponse>& redirectResponse) {
    if (redirectResponse && request && !isWeb(request->url())) {
        // Back to the application that opened the page.
        appURL_ = request->url();
        return nullptr;
    }
    if (request) host_ = request->url().host();
    return request;
}

void BrowserHandOver::connectionDidReceiveResponse(const std::shared_ptr<URLConnection>&,
                                                   const std::shared_ptr<HTTPURLResponse>&) {
    body_.clear();
}

void BrowserHandOver::connectionDidReceiveData(const std::shared_ptr<URLConnection>&, const Data& data) {
    body_.append(data.begin(), data.end());
}

void BrowserHandOver::connectionDidFinishLoading(const std::shared_ptr<URLConnection>&) {
    connection_.reset();
    if (appURL_) return handBack(*appURL_);
    if (auto action = formAction(body_, "login_form")) {
        if (state_ == State::Loading && !email_.empty()) message_ = "The e-mail or password was not accepted.";
        formAction_ = *action;
        email_.clear();
        password_.clear();
        state_ = State::ShowingForm;
        return;
    }
    state_ = State::ShowingPage;
}

void BrowserHandOver::connectionDidFailWithError(const std::shared_ptr<URLConnection>&, const Error& error) {
    connection_.reset();
    body_ = "<p>The page could not be loaded: " + error.localizedDescription() + "</p>";
    state_ = State::ShowingPage;
}

std::string BrowserHandOver::screenText() const {
    std::string out = "== Browser: " + TerminalText::printable(host_) + " ==\n";
    switch (state_) {
    case State::Idle: return {};
    case State::Loading: return out + "  Loading...\n";
    case State::ShowingForm:
        out += "  Log in to continue to the application.\n";
        if (!message_.empty()) out += "  " + message_ + "\n";
        out += "  e-mail:   " +
               (email_.empty() ? std::string("(type it)") : TerminalText::printable(email_, TerminalText::kEchoLimit)) +
               "\n";
        out += "  password: " +
               (password_.empty() ? std::string(email_.empty() ? "" : "(type it)") : TerminalText::masked(password_)) +
               "\n";
        out += "  [b 1] Log In  [b 2] Cancel\n";
        return out;
    case State::ShowingPage: return out + pageText(body_) + "  [b 1] Close\n";
    }
    return out;
}

}  // namespace clipora::device
