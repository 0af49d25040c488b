#include "platform/foundation/URL.h"

#include <filesystem>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

bool isAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool isUnreserved(char c) { return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~'; }
bool isSubDelim(char c) {
    switch (c) {
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=': return true;
    default: return false;
    }
}

// Every character of `text` is allowed by `allowed` or starts a valid
// percent escape.
template <class Allowed>
bool consistsOf(std::string_view text, Allowed allowed) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) return false;
            i += 2;
        } else if (!allowed(c)) {
            return false;
        }
    }
    return true;
}

// pchar and '/', plus '[' and ']', which the legacy URL rules allow outside
// the host and which real query strings use ("a[]=1").
bool isPathChar(char c) {
    return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@' || c == '/' || c == '[' || c == ']';
}
bool isQueryChar(char c) { return isPathChar(c) || c == '?'; }
bool isUserInfoChar(char c) { return isUnreserved(c) || isSubDelim(c) || c == ':'; }
bool isRegNameChar(char c) { return isUnreserved(c) || isSubDelim(c); }

struct Authority {
    std::optional<std::string> userInfo;
    std::string host;  // brackets removed
    std::optional<int> port;
};

std::optional<Authority> parseAuthority(std::string_view text) {
    Authority out;
    if (const auto at = text.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = text.substr(0, at);
        if (!consistsOf(userInfo, isUserInfoChar)) return std::nullopt;
        out.userInfo = std::string(userInfo);
        text.remove_prefix(at + 1);
    }
    std::string_view portText;
    bool hasPort = false;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        const std::string_view literal = text.substr(1, close - 1);
        bool colon = false;
        for (char c : literal) {
            if (c == ':') {
                colon = true;
            } else if (!isHex(c) && c != '.') {
                return std::nullopt;
            }
        }
        if (!colon) return std::nullopt;
        out.host = std::string(literal);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return std::nullopt;
            hasPort = true;
            portText = rest.substr(1);
        }
    } else {
        const auto colon = text.find(':');
        const std::string_view host = text.substr(0, colon);
        if (!consistsOf(host, isRegNameChar)) return std::nullopt;
        out.host = std::string(host);
        if (colon != std::string_view::npos) {
            hasPort = true;
            portText = text.substr(colon + 1);
        }
    }
    if (hasPort && !portText.empty()) {
        long value = 0;
        for (char c : portText) {
            if (!isDigit(c)) return std::nullopt;
            value = value * 10 + (c - '0');
            if (value > 65535) return std::nullopt;
        }
        out.port = static_cast<int>(value);
    }
    return out;
}

// RFC 3986 section 5.2.4.
std::string removeDotSegments(std::string_view input) {
    std::string output;
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../") || input == "/..") {
            if (input == "/..") {
                input = "/";
            } else {
                input.remove_prefix(3);
            }
            const auto slash = output.rfind('/');
            output.erase(slash == std::string::npos ? 0 : slash);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const auto next = input.find('/', 1);
            const std::size_t length = next == std::string_view::npos ? input.size() : next;
            output.append(input.substr(0, length));
            input.remove_prefix(length);
        }
    }
    return output;
}

std::string decodedOrRaw(std::string_view text) {
    if (auto decoded = Text::percentUnescape(text)) return *std::move(decoded);
    return std::string(text);
}

}  // namespace

std::optional<URL::Parts> URL::split(std::string_view text) {
    Parts parts;
    std::string_view rest = text;

    // scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"
    if (!rest.empty() && isAlpha(rest.front())) {
        std::size_t i = 1;
        while (i < rest.size() &&
               (isAlpha(rest[i]) || isDigit(rest[i]) || rest[i] == '+' || rest[i] == '-' || rest[i] == '.')) {
            ++i;
        }
        if (i < rest.size() && rest[i] == ':') {
            parts.scheme = std::string(rest.substr(0, i));
            rest.remove_prefix(i + 1);
        }
    }
    if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
        const std::string_view fragment = rest.substr(hash + 1);
        if (!consistsOf(fragment, isQueryChar)) return std::nullopt;
        parts.fragment = std::string(fragment);
        rest = rest.substr(0, hash);
    }
    if (const auto question = rest.find('?'); question != std::string_view::npos) {
        const std::string_view query = rest.substr(question + 1);
        if (!consistsOf(query, isQueryChar)) return std::nullopt;
        parts.query = std::string(query);
        rest = rest.substr(0, question);
    }
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const auto slash = rest.find('/');
        const std::string_view authority = rest.substr(0, slash);
        if (!parseAuthority(authority)) return std::nullopt;
        parts.authority = std::string(authority);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
    }
    if (!consistsOf(rest, isPathChar)) return std::nullopt;
    parts.path = std::string(rest);
    return parts;
}

std::optional<URL> URL::make(Parts parts, std::string relative) {
    URL url;
    if (parts.authority) {
        auto authority = parseAuthority(*parts.authority);
        if (!authority) return std::nullopt;
        url.userInfo_ = std::move(authority->userInfo);
        url.host_ = std::move(authority->host);
        url.port_ = authority->port;
    }
    // Recomposition, RFC 3986 section 5.3.
    std::string absolute;
    if (!parts.scheme.empty()) absolute += parts.scheme + ":";
    if (parts.authority) absolute += "//" + *parts.authority;
    absolute += parts.path;
    if (parts.query) absolute += "?" + *parts.query;
    if (parts.fragment) absolute += "#" + *parts.fragment;

    url.absolute_ = std::move(absolute);
    url.relative_ = std::move(relative);
    url.scheme_ = std::move(parts.scheme);
    url.authority_ = std::move(parts.authority);
    url.path_ = std::move(parts.path);
    url.query_ = std::move(parts.query);
    url.fragment_ = std::move(parts.fragment);
    return url;
}

std::optional<URL> URL::fromString(std::string_view text) {
    if (text.empty()) return std::nullopt;
    auto parts = split(text);
    if (!parts) return std::nullopt;
    return make(*std::move(parts), std::string(text));
}

std::optional<URL> URL::fromString(std::string_view text, const URL& base) {
    auto reference = split(text);
    if (!reference) return std::nullopt;
    Parts& r = *reference;

    // RFC 3986 section 5.2.2, strict.
    Parts t;
    if (!r.scheme.empty()) {
        t.scheme = r.scheme;
        t.authority = r.authority;
        t.path = removeDotSegments(r.path);
        t.query = r.query;
    } else {
        if (r.authority) {
            t.authority = r.authority;
            t.path = removeDotSegments(r.path);
            t.query = r.query;
        } else {
            if (r.path.empty()) {
                t.path = base.path_;
                t.query = r.query ? r.query : base.query_;
            } else {
                if (r.path.front() == '/') {
                    t.path = removeDotSegments(r.path);
                } else {
                    // Merge, section 5.2.3.
                    std::string merged;
                    if (base.authority_ && base.path_.empty()) {
                        merged = "/" + r.path;
                    } else {
                        const auto slash = base.path_.rfind('/');
                        merged =
                            (slash == std::string::npos ? std::string() : base.path_.substr(0, slash + 1)) + r.path;
                    }
                    t.path = removeDotSegments(merged);
                }
                t.query = r.query;
            }
            t.authority = base.authority_;
        }
        t.scheme = base.scheme_;
    }
    t.fragment = r.fragment;
    return make(std::move(t), std::string(text));
}

URL URL::fileURLWithPath(std::string_view path) {
    std::string absolute(path);
    if (absolute.empty() || absolute.front() != '/') {
        std::error_code ec;
        std::string cwd = std::filesystem::current_path(ec).string();
        if (ec || cwd.empty()) cwd = "/";
        if (cwd.back() != '/') cwd += '/';
        absolute = cwd + absolute;
    }
    Parts parts;
    parts.scheme = "file";
    parts.authority = std::string();
    parts.path = percentEscapePath(absolute);
    // Escaped text always makes a valid URL.
    URL url = *make(std::move(parts), {});
    url.relative_ = url.absolute_;
    return url;
}

bool URL::isFileURL() const { return Text::equalsCaseInsensitive(scheme_, "file"); }

std::optional<std::string> URL::user() const {
    if (!userInfo_) return std::nullopt;
    return decodedOrRaw(std::string_view(*userInfo_).substr(0, userInfo_->find(':')));
}

std::optional<std::string> URL::password() const {
    if (!userInfo_) return std::nullopt;
    const auto colon = userInfo_->find(':');
    if (colon == std::string::npos) return std::nullopt;
    return decodedOrRaw(std::string_view(*userInfo_).substr(colon + 1));
}

std::string URL::host() const { return decodedOrRaw(host_); }

int URL::effectivePort() const {
    if (port_) return *port_;
    return Text::equalsCaseInsensitive(scheme_, "https") ? 443 : 80;
}

bool URL::isSameOrigin(const URL& other) const {
    return Text::equalsCaseInsensitive(scheme_, other.scheme_) && Text::equalsCaseInsensitive(host(), other.host()) &&
           effectivePort() == other.effectivePort();
}

std::string URL::path() const { return decodedOrRaw(path_); }

std::string URL::lastPathComponent() const {
    std::string_view p(path_);
    while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
    if (p == "/") return "/";
    if (const auto slash = p.rfind('/'); slash != std::string_view::npos) p.remove_prefix(slash + 1);
    return decodedOrRaw(p);
}

std::string URL::pathExtension() const {
    const std::string last = lastPathComponent();
    const auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    return last.substr(dot + 1);
}

std::string URL::resourceSpecifier() const {
    if (scheme_.empty()) return absolute_;
    return absolute_.substr(scheme_.size() + 1);
}

URL URL::URLByAppendingPathComponent(std::string_view component) const {
    Parts parts{scheme_, authority_, path_, query_, fragment_};
    if (parts.path.empty() ? authority_.has_value() : parts.path.back() != '/') parts.path += '/';
    while (!component.empty() && component.front() == '/' && !parts.path.empty() && parts.path.back() == '/') {
        component.remove_prefix(1);
    }
    parts.path += percentEscapePath(component);
    // Only escaped text was added, so the parts still make a URL.
    URL url = *make(std::move(parts), {});
    url.relative_ = url.absolute_;
    return url;
}

std::string URL::percentEscapePath(std::string_view path, std::string_view alsoEscape) {
    std::vector<std::string> pieces = Text::split(path, "/");
    for (auto& piece : pieces) piece = Text::percentEscape(piece, alsoEscape);
    return Text::join(pieces, "/");
}

bool operator==(const URL& a, const URL& b) {
    auto key = [](const URL& u) {
        return std::make_tuple(Text::lowercase(u.scheme_), u.authority_.has_value(), std::cref(u.userInfo_),
                               Text::lowercase(u.host_), u.port_, std::cref(u.path_), std::cref(u.query_),
                               std::cref(u.fragment_));
    };
    return key(a) == key(b);
}

bool URL::isEqual(const Object& other) const {
    const auto* url = dynamic_cast<const URL*>(&other);
    return url != nullptr && *url == *this;
}

}  // namespace clipora::platform
