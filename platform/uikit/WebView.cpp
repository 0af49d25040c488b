#include "platform/uikit/WebView.h"

#include <cctype>
#include <regex>
#include <utility>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

bool isWebScheme(const URL& url) {
    return Text::equalsCaseInsensitive(url.scheme(), "http") || Text::equalsCaseInsensitive(url.scheme(), "https");
}

bool isBlank(const URL& url) { return Text::equalsCaseInsensitive(url.absoluteString(), "about:blank"); }

Error frameLoadInterrupted(const URL& url) {
    Error error = Error::withDescription(std::string(Error::kWebKitErrorDomain),
                                         Error::kWebKitErrorFrameLoadInterrupted, "Frame load interrupted");
    error.setUserInfoValue(std::string(Error::kURLKey), url.absoluteString());
    return error;
}

// --- A little HTML reading, enough for the expressions answered ------------

std::string lower(std::string_view text) { return Text::lowercase(text); }

// The content between the first start tag `name` and the last matching end
// tag, or std::nullopt when there is no such start tag.
std::optional<std::string> elementContent(const std::string& html, std::string_view name, bool lastEnd) {
    const std::string l = lower(html);
    const std::string open = "<" + std::string(name);
    std::size_t pos = 0;
    while ((pos = l.find(open, pos)) != std::string::npos) {
        char next = pos + open.size() < l.size() ? l[pos + open.size()] : '\0';
        if (next == '>' || next == '/' || std::isspace(static_cast<unsigned char>(next))) break;
        pos += open.size();
    }
    if (pos == std::string::npos) return std::nullopt;
    std::size_t start = l.find('>', pos);
    if (start == std::string::npos) return std::nullopt;
    ++start;
    const std::string close = "</" + std::string(name);
    std::size_t end = lastEnd ? l.rfind(close) : l.find(close, start);
    if (end == std::string::npos || end < start) end = html.size();
    return html.substr(start, end - start);
}

std::string decodeEntities(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        std::size_t semi = text.find(';', i);
        if (semi == std::string::npos || semi - i > 10) {
            out += text[i];
            continue;
        }
        std::string entity = text.substr(i + 1, semi - i - 1);
        std::optional<unsigned long> code;
        if (entity == "amp")
            out += '&';
        else if (entity == "lt")
            out += '<';
        else if (entity == "gt")
            out += '>';
        else if (entity == "quot")
            out += '"';
        else if (entity == "apos")
            out += '\'';
        else if (entity == "nbsp")
            out += ' ';
        else if (entity.size() > 1 && entity[0] == '#') {
            bool hex = entity[1] == 'x' || entity[1] == 'X';
            std::string digits = entity.substr(hex ? 2 : 1);
            if (hex) {
                if (auto value = Text::parseHex(digits)) code = static_cast<unsigned long>(*value);
            } else if (auto value = Text::parseInt64(digits); value && *value >= 0) {
                code = static_cast<unsigned long>(*value);
            }
            if (!code || *code == 0 || *code > 0x10FFFF) {
                out += text.substr(i, semi - i + 1);
            } else {
                unsigned long c = *code;  // UTF-8 encode
                if (c < 0x80)
                    out += static_cast<char>(c);
                else if (c < 0x800) {
                    out += static_cast<char>(0xC0 | (c >> 6));
                    out += static_cast<char>(0x80 | (c & 0x3F));
                } else if (c < 0x10000) {
                    out += static_cast<char>(0xE0 | (c >> 12));
                    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (c & 0x3F));
                } else {
                    out += static_cast<char>(0xF0 | (c >> 18));
                    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (c & 0x3F));
                }
            }
        } else {
            out += text.substr(i, semi - i + 1);
        }
        i = semi;
    }
    return out;
}

// The inner HTML of the element whose id attribute is `id`.
std::optional<std::string> elementByIdContent(const std::string& html, const std::string& id) {
    const std::string l = lower(html);
    std::size_t pos = 0;
    while ((pos = html.find('<', pos)) != std::string::npos) {
        std::size_t nameStart = pos + 1;
        std::size_t nameEnd = nameStart;
        while (nameEnd < html.size() && std::isalnum(static_cast<unsigned char>(html[nameEnd]))) ++nameEnd;
        if (nameEnd == nameStart) {
            ++pos;
            continue;
        }
        // The end of the start tag, skipping quoted attribute values.
        std::size_t end = nameEnd;
        char quote = 0;
        for (; end < html.size(); ++end) {
            char c = html[end];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (end >= html.size()) return std::nullopt;
        std::string attributes = html.substr(nameEnd, end - nameEnd);
        static const std::regex idPattern(R"re((?:^|\s)id\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>/]+)))re",
                                          std::regex::icase);
        std::smatch match;
        if (std::regex_search(attributes, match, idPattern)) {
            std::string value = match[1].matched ? match[1].str() : match[2].matched ? match[2].str() : match[3].str();
            if (value == id) {
                const std::string name = lower(html.substr(nameStart, nameEnd - nameStart));
                std::size_t contentStart = end + 1;
                if (!attributes.empty() && attributes.back() == '/') return std::string();
                // Find the matching end tag, counting nested tags of the same name.
                int depth = 1;
                std::size_t scan = contentStart;
                while (depth > 0) {
                    std::size_t nextOpen = l.find("<" + name, scan);
                    std::size_t nextClose = l.find("</" + name, scan);
                    if (nextClose == std::string::npos) return html.substr(contentStart);
                    if (nextOpen != std::string::npos && nextOpen < nextClose) {
                        char after = nextOpen + 1 + name.size() < l.size() ? l[nextOpen + 1 + name.size()] : '\0';
                        if (after == '>' || std::isspace(static_cast<unsigned char>(after))) ++depth;
                        scan = nextOpen + 1;
                    } else {
                        if (--depth == 0) return html.substr(contentStart, nextClose - contentStart);
                        scan = nextClose + 1;
                    }
                }
            }
        }
        pos = end + 1;
    }
    return std::nullopt;
}

}  // namespace

// Receives one load's connection callbacks and hands them to the web view
// while it lives.
class WebView::Loader : public URLConnectionDelegate {
public:
    Loader(std::weak_ptr<WebView> view, std::uint64_t id) : view_(std::move(view)), id_(id) {}

    std::shared_ptr<URLRequest> connectionWillSendRequestRedirectResponse(
        const std::shared_ptr<URLConnection>&, const std::shared_ptr<URLRequest>& request,
        const std::shared_ptr<HTTPURLResponse>& redirectResponse) override {
        if (!redirectResponse) return request;
        auto view = view_.lock();
        return view ? view->loaderWillRedirect(id_, request) : nullptr;
    }
    void connectionDidReceiveResponse(const std::shared_ptr<URLConnection>&,
                                      const std::shared_ptr<HTTPURLResponse>& response) override {
        if (auto view = view_.lock()) view->loaderDidReceiveResponse(id_, response);
    }
    void connectionDidReceiveData(const std::shared_ptr<URLConnection>&, const Data& data) override {
        if (auto view = view_.lock()) view->loaderDidReceiveData(id_, data);
    }
    void connectionDidFinishLoading(const std::shared_ptr<URLConnection>&) override {
        if (auto view = view_.lock()) view->loaderDidFinish(id_);
    }
    void connectionDidFailWithError(const std::shared_ptr<URLConnection>&, const Error& error) override {
        if (auto view = view_.lock()) view->loaderDidFail(id_, error);
    }

private:
    std::weak_ptr<WebView> view_;
    std::uint64_t id_;
};

// The field editor's Return key submits the form of the focused field.
class WebView::FieldEditorDelegate : public TextFieldDelegate {
public:
    explicit FieldEditorDelegate(std::weak_ptr<WebView> view) : view_(std::move(view)) {}
    bool textFieldShouldReturn(const std::shared_ptr<TextField>&) override {
        auto view = view_.lock();
        if (!view || !view->focused_) return false;
        const std::size_t form = view->focused_->first;
        // Not while the editor is still inside its own callback.
        RunLoop::main()->perform([weak = view_, form] {
            if (auto later = weak.lock()) later->submitForm(form);
        });
        return true;
    }
    void textFieldDidEndEditing(const std::shared_ptr<TextField>&) override {
        if (auto view = view_.lock()) view->takeEditorText();
    }

private:
    std::weak_ptr<WebView> view_;
};

WebView::WebView() = default;

WebView::WebView(Rect frame) : View(frame) {}

WebView::~WebView() {
    if (load_ && load_->connection) load_->connection->cancel();
}

// ---------------------------------------------------------------------------
// Navigation

void WebView::loadRequest(const URLRequest& request) {
    navigate(std::make_shared<URLRequest>(request), WebViewNavigationTypeOther, std::nullopt, false, std::nullopt);
}

void WebView::loadHTMLStringBaseURL(std::string html, const std::optional<URL>& baseURL) {
    URL address = baseURL ? *baseURL : *URL::fromString("about:blank");
    navigate(std::make_shared<URLRequest>(address), WebViewNavigationTypeOther, std::nullopt, false, std::move(html));
}

void WebView::simulateLinkClick(std::string_view href) {
    std::optional<URL> target;
    if (auto page = mainDocumentURL(); page && !isBlank(*page)) target = URL::fromString(href, *page);
    if (!target) target = URL::fromString(href);
    if (!target) return;
    navigate(std::make_shared<URLRequest>(*target), WebViewNavigationTypeLinkClicked, std::nullopt, false,
             std::nullopt);
}

void WebView::reload() {
    if (!index_) return;
    const Entry& entry = history_[*index_];
    navigate(entry.request->copy(), WebViewNavigationTypeReload, std::nullopt, true, entry.html);
}

bool WebView::canGoBack() const { return index_ && *index_ > 0; }

bool WebView::canGoForward() const { return index_ && *index_ + 1 < history_.size(); }

void WebView::goBack() {
    if (!canGoBack()) return;
    const Entry& entry = history_[*index_ - 1];
    navigate(entry.request->copy(), WebViewNavigationTypeBackForward, *index_ - 1, false, entry.html);
}

void WebView::goForward() {
    if (!canGoForward()) return;
    const Entry& entry = history_[*index_ + 1];
    navigate(entry.request->copy(), WebViewNavigationTypeBackForward, *index_ + 1, false, entry.html);
}

void WebView::stopLoading() { cancelCurrent(); }

std::shared_ptr<URLRequest> WebView::request() const { return load_ ? load_->request : pageRequest_; }

std::optional<URL> WebView::mainDocumentURL() const {
    auto current = request();
    if (!current) return std::nullopt;
    return current->mainDocumentURL() ? current->mainDocumentURL() : std::optional<URL>(current->url());
}

bool WebView::navigate(std::shared_ptr<URLRequest> request, WebViewNavigationType type,
                       std::optional<std::size_t> historyTarget, bool reload, std::optional<std::string> html) {
    auto self = sharedAs<WebView>();  // the delegate may let go of the view
    request->setMainDocumentURL(request->url());
    if (auto d = delegate_.lock()) {
        if (!d->webViewShouldStartLoadWithRequestNavigationType(self, request, type)) return false;
    }
    auto load = std::make_shared<Load>();
    load->id = nextLoadId_++;
    load->request = std::move(request);
    load->type = type;
    load->historyTarget = historyTarget;
    load->reload = reload;
    load->html = std::move(html);
    begin(std::move(load));
    return true;
}

void WebView::begin(std::shared_ptr<Load> load) {
    cancelCurrent();
    load_ = load;
    post([](const std::shared_ptr<WebView>& view, const std::shared_ptr<WebViewDelegate>& d) {
        if (d) d->webViewDidStartLoad(view);
    });
    const URL& url = load->request->url();
    std::weak_ptr<WebView> weak = sharedAs<WebView>();
    auto completeLater = [weak, load](std::function<void(WebView&)> complete) {
        RunLoop::main()->perform([weak, load, complete = std::move(complete)] {
            auto view = weak.lock();
            if (view && view->load_ == load) complete(*view);
        });
    };
    if (load->html) {
        completeLater([load](WebView& view) { view.commit(load, *load->html); });
    } else if (isBlank(url)) {
        completeLater([load](WebView& view) { view.commit(load, std::string()); });
    } else if (url.isFileURL()) {
        completeLater([load](WebView& view) {
            auto bytes = FileManager::contentsOfFile(load->request->url().path());
            if (!bytes) {
                view.failLoad(load, URLConnection::urlError(Error::kURLErrorFileDoesNotExist, load->request->url()));
                return;
            }
            view.commit(load, std::string(bytes->begin(), bytes->end()));
        });
    } else if (isWebScheme(url)) {
        load->connection = URLConnection::create(*load->request, std::make_shared<Loader>(weak, load->id), true);
    } else {
        completeLater([load](WebView& view) {
            view.failLoad(load, URLConnection::urlError(Error::kURLErrorUnsupportedURL, load->request->url()));
        });
    }
}

void WebView::cancelCurrent() {
    if (!load_) return;
    auto load = load_;
    if (load->connection) load->connection->cancel();
    failLoad(load, URLConnection::urlError(Error::kURLErrorCancelled, load->request->url()));
}

void WebView::commit(const std::shared_ptr<Load>& load, std::string html) {
    if (load_ != load) return;
    // A page nested too deeply to be read fails to load: the page shown
    // before stays, with its history.
    bool tooDeep = false;
    HTMLDocument document = HTMLDocument::parse(html, &tooDeep);
    if (tooDeep) {
        failLoad(load, URLConnection::urlError(Error::kURLErrorCannotParseResponse, load->request->url()));
        return;
    }
    load_ = nullptr;
    pageRequest_ = load->request;
    response_ = load->response;
    documentHTML_ = std::move(html);
    document_ = std::move(document);
    pageFunctions_.clear();
    forms_.reset();
    focused_.reset();
    if (fieldEditor_ && fieldEditor_->isFirstResponder()) fieldEditor_->resignFirstResponder();
    Entry entry{load->request, load->html};
    if (load->historyTarget && *load->historyTarget < history_.size()) {
        index_ = *load->historyTarget;
        history_[*index_] = std::move(entry);
    } else if (load->reload && index_) {
        history_[*index_] = std::move(entry);
    } else {
        if (index_)
            history_.resize(*index_ + 1);
        else
            history_.clear();
        history_.push_back(std::move(entry));
        index_ = history_.size() - 1;
    }
    post([](const std::shared_ptr<WebView>& view, const std::shared_ptr<WebViewDelegate>& d) {
        if (d) d->webViewDidFinishLoad(view);
    });
}

void WebView::failLoad(const std::shared_ptr<Load>& load, const Error& error) {
    if (load_ != load) return;
    load_ = nullptr;
    post([error](const std::shared_ptr<WebView>& view, const std::shared_ptr<WebViewDelegate>& d) {
        if (d) d->webViewDidFailLoadWithError(view, error);
    });
}

void WebView::post(std::function<void(const std::shared_ptr<WebView>&, const std::shared_ptr<WebViewDelegate>&)> call) {
    std::weak_ptr<WebView> weak = sharedAs<WebView>();
    RunLoop::main()->perform([weak, call = std::move(call)] {
        auto view = weak.lock();
        if (!view) return;
        call(view, view->delegate_.lock());
    });
}

// ---------------------------------------------------------------------------
// Connection callbacks

std::shared_ptr<URLRequest> WebView::loaderWillRedirect(std::uint64_t id, const std::shared_ptr<URLRequest>& request) {
    if (!load_ || load_->id != id) return nullptr;
    auto self = sharedAs<WebView>();
    auto load = load_;
    auto next = request->copy();
    next->setMainDocumentURL(next->url());
    bool allowed = true;
    if (auto d = delegate_.lock())
        allowed = d->webViewShouldStartLoadWithRequestNavigationType(self, next, WebViewNavigationTypeOther);
    if (load_ != load) return nullptr;  // the delegate started something else meanwhile
    if (!allowed) {
        load->connection->cancel();
        failLoad(load, frameLoadInterrupted(next->url()));
        return nullptr;
    }
    if (!isWebScheme(next->url())) {
        load->connection->cancel();
        failLoad(load, URLConnection::urlError(Error::kURLErrorUnsupportedURL, next->url()));
        return nullptr;
    }
    load->request = next;
    return next;
}

void WebView::loaderDidReceiveResponse(std::uint64_t id, const std::shared_ptr<HTTPURLResponse>& response) {
    if (!load_ || load_->id != id) return;
    load_->response = response;
    load_->body.clear();
}

void WebView::loaderDidReceiveData(std::uint64_t id, const Data& data) {
    if (!load_ || load_->id != id) return;
    load_->body.insert(load_->body.end(), data.begin(), data.end());
}

void WebView::loaderDidFinish(std::uint64_t id) {
    if (!load_ || load_->id != id) return;
    auto load = load_;
    commit(load, std::string(load->body.begin(), load->body.end()));
}

void WebView::loaderDidFail(std::uint64_t id, const Error& error) {
    if (!load_ || load_->id != id) return;
    failLoad(load_, error);
}

// ---------------------------------------------------------------------------
// Scripts

std::string WebView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
    scripts_.push_back(script);
    return evaluateStatements(script, 0);
}

namespace {

// The statements of a script: split at ";" outside strings, brackets and
// comments, and after the closing brace of a top-level function body.
std::vector<std::string> splitStatements(const std::string& script) {
    std::vector<std::string> out;
    std::string current;
    int depth = 0;
    char quote = 0;
    auto flush = [&] {
        std::string piece = Text::trimWhitespaceAndNewlines(current);
        if (!piece.empty()) out.push_back(std::move(piece));
        current.clear();
    };
    for (std::size_t i = 0; i < script.size(); ++i) {
        const char c = script[i];
        if (quote) {
            current += c;
            if (c == '\\' && i + 1 < script.size())
                current += script[++i];
            else if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '/' && i + 1 < script.size() && script[i + 1] == '/') {
            while (i < script.size() && script[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < script.size() && script[i + 1] == '*') {
            const std::size_t end = script.find("*/", i + 2);
            i = end == std::string::npos ? script.size() : end + 1;
            continue;
        }
        if (c == '"' || c == '\'') quote = c;
        if (c == '{' || c == '(' || c == '[') ++depth;
        if (c == '}' || c == ')' || c == ']') depth = depth > 0 ? depth - 1 : 0;
        if (c == ';' && depth == 0) {
            flush();
            continue;
        }
        current += c;
        if (c == '}' && depth == 0 && Text::hasPrefix(Text::trimWhitespaceAndNewlines(current), "function")) flush();
    }
    flush();
    return out;
}

}  // namespace

std::string WebView::evaluateStatements(const std::string& script, int depth) {
    std::string answer;
    for (const std::string& statement : splitStatements(script)) answer = evaluateStatement(statement, depth);
    return answer;
}

std::string WebView::evaluateStatement(const std::string& statement, int depth) {
    std::string s = statement;
    if (s == "document.title") {
        auto title = elementContent(documentHTML_, "title", false);
        return title ? HTMLDocument::collapseWhitespace(decodeEntities(*title)) : std::string();
    }
    if (s == "document.body.innerHTML") {
        auto body = elementContent(documentHTML_, "body", true);
        return body ? *body : documentHTML_;
    }
    if (s == "document.documentElement.outerHTML") return documentHTML_;
    if (s == "document.documentElement.innerHTML") {
        auto inner = elementContent(documentHTML_, "html", true);
        return inner ? *inner : documentHTML_;
    }
    if (s == "document.URL" || s == "window.location.href" || s == "document.location.href" || s == "location.href") {
        if (!pageRequest_) return std::string();
        return (pageRequest_->mainDocumentURL() ? *pageRequest_->mainDocumentURL() : pageRequest_->url())
            .absoluteString();
    }
    static const std::regex byId(R"re(^document\.getElementById\(\s*(['"])(.*?)\1\s*\)\.innerHTML$)re");
    std::smatch match;
    if (std::regex_match(s, match, byId)) {
        auto content = elementByIdContent(documentHTML_, match[2].str());
        return content ? *content : std::string();
    }
    static const std::regex definition(R"re(^function\s+([A-Za-z_$][\w$]*)\s*\(\s*\)\s*\{([\s\S]*)\}$)re");
    if (std::regex_match(s, match, definition)) {
        const std::string name = match[1].str();
        std::erase_if(pageFunctions_, [&](const auto& entry) { return entry.first == name; });
        pageFunctions_.emplace_back(name, match[2].str());
        return std::string();
    }
    static const std::regex call(R"re(^([A-Za-z_$][\w$]*)\s*\(\s*\)$)re");
    if (std::regex_match(s, match, call)) {
        // Calls nest only as deep as a sane page script would.
        if (depth >= 16) return std::string();
        for (const auto& [name, body] : pageFunctions_)
            if (name == match[1].str()) {
                const std::string code = body;  // the body may redefine the function
                return evaluateStatements(code, depth + 1);
            }
        return std::string();
    }
    static const std::regex count(R"re(^document\.querySelectorAll\(\s*(['"])(.*?)\1\s*\)\.length$)re");
    if (std::regex_match(s, match, count)) {
        auto found = document_.querySelectorAll(match[2].str());
        return found ? std::to_string(found->size()) : std::string();
    }
    static const std::regex edit(
        R"re(^document\.querySelectorAll\(\s*(['"])(.*?)\1\s*\)\.forEach\(\s*function\s*\(\s*([A-Za-z_$][\w$]*)\s*\)\s*\{\s*\3\.(removeAttribute|setAttribute)\(\s*(['"])([^'"]*)\5\s*(?:,\s*(['"])([^'"]*)\7\s*)?\)\s*;?\s*\}\s*\)$)re");
    if (std::regex_match(s, match, edit)) {
        auto found = document_.querySelectorAll(match[2].str());
        if (!found) return std::string();
        const bool remove = match[4].str() == "removeAttribute";
        if (!remove && !match[8].matched) return std::string();
        for (std::size_t index : *found) {
            auto& element = document_.elements()[index];
            if (remove)
                element.removeAttribute(match[6].str());
            else
                element.setAttribute(match[6].str(), match[8].str());
        }
        return std::string();
    }
    return std::string();
}

std::vector<WebView::Link> WebView::links() const {
    std::vector<Link> out;
    for (const auto& element : document_.elements()) {
        if (element.tag != "a") continue;
        auto href = element.attribute("href");
        if (!href) continue;
        out.push_back(Link{*href, element.attribute("target"), element.text});
    }
    return out;
}

bool WebView::opensNewWindow(const Link& link) {
    if (!link.target || link.target->empty()) return false;
    const std::string target = Text::lowercase(*link.target);
    return target != "_self" && target != "_top" && target != "_parent";
}

bool WebView::tapLinkAtIndex(std::size_t index) {
    auto all = links();
    if (index >= all.size() || opensNewWindow(all[index])) return false;
    simulateLinkClick(all[index].href);
    return true;
}

// ---------------------------------------------------------------------------
// Forms

const std::vector<HTMLForm>& WebView::forms() const {
    if (!forms_) forms_ = HTMLForm::parse(documentHTML_);
    takeEditorText();
    return *forms_;
}

void WebView::takeEditorText() const {
    if (!forms_ || !focused_ || !fieldEditor_) return;
    auto& [form, control] = *focused_;
    if (form < forms_->size() && control < (*forms_)[form].controls.size())
        (*forms_)[form].controls[control].value = fieldEditor_->text();
}

HTMLForm::Control* WebView::textField(std::size_t form, std::size_t control) {
    const auto& all = forms();
    if (form >= all.size() || control >= all[form].controls.size()) return nullptr;
    HTMLForm::Control& found = (*forms_)[form].controls[control];
    return found.isTextField() && !found.disabled ? &found : nullptr;
}

bool WebView::setFormFieldValue(std::size_t form, std::size_t control, std::string value) {
    HTMLForm::Control* field = textField(form, control);
    if (!field) return false;
    field->value = std::move(value);
    if (focused_ && *focused_ == std::pair{form, control} && fieldEditor_) fieldEditor_->setText(field->value);
    return true;
}

bool WebView::focusFormField(std::size_t form, std::size_t control) {
    HTMLForm::Control* field = textField(form, control);
    if (!field) return false;
    if (!fieldEditor_) {
        fieldEditor_ = std::make_shared<TextField>();
        fieldEditor_->setHidden(true);  // the page draws the field; the editor only takes the keys
        fieldEditorDelegate_ = std::make_shared<FieldEditorDelegate>(sharedAs<WebView>());
        fieldEditor_->setDelegate(fieldEditorDelegate_);
        addSubview(fieldEditor_);
    }
    const std::string value = field->value;
    const bool secure = field->isSecure();
    if (fieldEditor_->isFirstResponder()) fieldEditor_->resignFirstResponder();  // ends the last field's editing
    focused_ = std::pair{form, control};
    fieldEditor_->setText(value);
    fieldEditor_->setSecureTextEntry(secure);
    fieldEditor_->setPlaceholder(field->label);
    return fieldEditor_->becomeFirstResponder();
}

std::optional<std::pair<std::size_t, std::size_t>> WebView::focusedFormField() const {
    if (!fieldEditor_ || !fieldEditor_->isFirstResponder()) return std::nullopt;
    return focused_;
}

bool WebView::submitForm(std::size_t form, std::optional<std::size_t> submitter) {
    const auto& all = forms();
    if (form >= all.size()) return false;
    const HTMLForm& chosen = all[form];
    if (!submitter)
        for (std::size_t i = 0; i < chosen.controls.size(); ++i)
            if (chosen.controls[i].isSubmitButton() && !chosen.controls[i].disabled) {
                submitter = i;
                break;
            }
    // Against the page shown, even while another one loads.
    if (!pageRequest_) return false;
    const URL page = pageRequest_->mainDocumentURL() ? *pageRequest_->mainDocumentURL() : pageRequest_->url();
    auto request = chosen.submission(page, submitter);
    if (!request) return false;
    if (fieldEditor_ && fieldEditor_->isFirstResponder()) fieldEditor_->resignFirstResponder();
    return navigate(std::make_shared<URLRequest>(std::move(*request)), WebViewNavigationTypeFormSubmitted, std::nullopt,
                    false, std::nullopt);
}

}  // namespace clipora::platform
