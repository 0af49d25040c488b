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

std::vector<PageForms::Place> PageForms::places(const WebView& web, bool (HTMLForm::Control::*kind)() const) {
    std::vector<Place> out;
    const auto& forms = web.forms();
    for (std::size_t f = 0; f < forms.size(); ++f)
        for (std::size_t c = 0; c < forms[f].controls.size(); ++c)
            if ((forms[f].controls[c].*kind)() && !forms[f].controls[c].disabled) out.push_back({f, c});
    return out;
}

std::vector<PageForms::Place> PageForms::fields(const WebView& web) {
    return places(web, &HTMLForm::Control::isTextField);
}

std::vector<PageForms::Place> PageForms::buttons(const WebView& web) {
    return places(web, &HTMLForm::Control::isSubmitButton);
}

std::string PageForms::screenText(const WebView& web) {
    const auto& forms = web.forms();
    const auto fieldList = fields(web);
    const auto buttonList = buttons(web);
    if (fieldList.empty() && buttonList.empty()) return {};
    const auto focused = web.focusedFormField();
    std::string out;
    for (std::size_t i = 0; i < fieldList.size(); ++i) {
        const auto& control = forms[fieldList[i].form].controls[fieldList[i].control];
        const std::string label = control.label.empty() ? control.name : control.label;
        std::string value = control.isSecure() ? TerminalText::masked(control.value)
                                               : TerminalText::printable(control.value, TerminalText::kEchoLimit);
        if (value.empty()) value = "(empty)";
        const bool typing = focused && focused->first == fieldList[i].form && focused->second == fieldList[i].control;
        out += "  [f " + std::to_string(i + 1) + "] " + TerminalText::printable(label) + ": " + value +
               (typing ? "  (typing)" : "") + "\n";
    }
    if (!buttonList.empty()) {
        out += " ";
        for (std::size_t i = 0; i < buttonList.size(); ++i) {
            const auto& control = forms[buttonList[i].form].controls[buttonList[i].control];
            const std::string caption = control.label.empty() ? std::string("Submit") : control.label;
            out += " [s " + std::to_string(i + 1) + "] " + TerminalText::printable(caption);
        }
        out += "\n";
    }
    return out;
}

std::optional<bool> PageForms::execute(const std::shared_ptr<WebView>& web, const std::string& verb,
                                       const std::string& argument, std::ostream& output) {
    if (verb != "field" && verb != "submit") return std::nullopt;
    auto fail = [&output](const std::string& why) {
        output << "(" << why << ")\n";
        return false;
    };
    if (!web) return fail("no page is shown");
    auto number = [&](std::size_t count) -> std::optional<std::size_t> {
        auto value = Text::parseInt64(argument);
        if (!value || *value < 1 || static_cast<std::size_t>(*value) > count) return std::nullopt;
        return static_cast<std::size_t>(*value - 1);
    };
    const std::string named = TerminalText::printable(argument, TerminalText::kEchoLimit);
    if (verb == "field") {
        const auto list = fields(*web);
        auto index = number(list.size());
        if (!index) return fail("no field " + named);
        if (!web->focusFormField(list[*index].form, list[*index].control))
            return fail("field " + named + " is not typed into");
        return true;
    }
    std::optional<std::size_t> form;
    std::optional<std::size_t> button;
    if (argument.empty()) {
        if (auto focused = web->focusedFormField())
            form = focused->first;
        else if (web->forms().size() == 1)
            form = 0;
        else
            return fail("which button? submit N");
    } else {
        const auto list = buttons(*web);
        auto index = number(list.size());
        if (!index) return fail("no submit button " + named);
        form = list[*index].form;
        button = list[*index].control;
    }
    if (!web->submitForm(*form, button)) return fail("the form was not sent");
    return true;
}

}  // namespace clipora::device
