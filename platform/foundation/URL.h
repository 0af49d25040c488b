#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"

namespace clipora::platform {

// A URL or relative reference (RFC 3986). Made with fromString(), which
// refuses text that may not stand in a URL: spaces, control characters,
// non-ASCII bytes, any of "\"<>\\^`{|}", a '%' without two hex digits, a
// second '#', a malformed authority or a port that is not a number up to
// 65535. Such characters must be percent-escaped by the caller first.
// A relative reference without a base is a URL too ("RATE_LIMIT_EXCEEDED"),
// with no scheme and no host.
//
// Components keep the text as written: query(), fragment() and
// percentEncodedPath() are raw; user(), password(), host() and path() are
// percent-decoded (raw when the escapes do not decode to UTF-8). Scheme and
// host keep their case but compare without regard to it.
//
// A URL is an Object so that it can travel inside a Value.
class URL : public Object {
public:
    // The text as a URL, or std::nullopt when it is not one (see above). An
    // empty text is not a URL.
    static std::optional<URL> fromString(std::string_view text);
    // The text as a reference resolved against `base` (RFC 3986 section 5.2,
    // strict: a reference with a scheme is taken as it is, dot segments
    // removed). An empty text gives the base without its fragment.
    static std::optional<URL> fromString(std::string_view text, const URL& base);
    // "file://" and the percent-escaped absolute path; a relative path is taken
    // from the current directory. path() gives the path back.
    static URL fileURLWithPath(std::string_view path);

    // The whole URL: the text as given, or, for one made against a base, the
    // resolved target.
    const std::string& absoluteString() const { return absolute_; }
    // The text it was made from.
    const std::string& relativeString() const { return relative_; }

    // Empty when there is none.
    const std::string& scheme() const { return scheme_; }
    bool isFileURL() const;
    // True when the URL has an authority ("//...") part, even an empty one.
    bool hasAuthority() const { return authority_.has_value(); }
    std::optional<std::string> user() const;
    std::optional<std::string> password() const;
    // Without the brackets of an IPv6 literal; empty when there is none.
    std::string host() const;
    std::optional<int> port() const { return port_; }
    // The port the URL reaches: port() when it is given, else the default of
    // the HTTP scheme, 443 for "https" and 80 for any other scheme.
    int effectivePort() const;
    // Decoded path ("/a b" for "/a%20b"); empty for "http://host".
    std::string path() const;
    const std::string& percentEncodedPath() const { return path_; }
    // The last component of path() ("c" for "/a/c/"; "/" for "/").
    std::string lastPathComponent() const;
    // The last component's text after its last '.', unless that dot is its
    // first character ("gz" for "a.tar.gz", "" for ".profile").
    std::string pathExtension() const;
    const std::optional<std::string>& query() const { return query_; }
    const std::optional<std::string>& fragment() const { return fragment_; }
    // Everything after "scheme:" (the whole URL when there is no scheme).
    std::string resourceSpecifier() const;

    // A URL whose path has `component` appended after a '/'. The component is
    // percent-escaped as needed ('/' inside it separates further components);
    // query and fragment stay.
    URL URLByAppendingPathComponent(std::string_view component) const;

    // The path with each '/'-separated segment percent-escaped (everything
    // but ALPHA, DIGIT and "-._~", and the bytes in `alsoEscape`); the
    // slashes stay. Text that would change the URL's meaning ("?", "#",
    // "&", "%") can never leave a path built this way.
    static std::string percentEscapePath(std::string_view path, std::string_view alsoEscape = {});

    // Same origin: the same scheme and host (without regard to case) and the
    // same effectivePort(). User information, path, query and fragment do not
    // count; two URLs without a host are of one origin when scheme and port
    // agree.
    bool isSameOrigin(const URL& other) const;

    // Same scheme and host (without regard to case), user information, port,
    // path, query and fragment.
    friend bool operator==(const URL& a, const URL& b);
    friend bool operator!=(const URL& a, const URL& b) { return !(a == b); }

    std::string description() const override { return absolute_; }
    bool isEqual(const Object& other) const override;

private:
    struct Parts {
        std::string scheme;
        std::optional<std::string> authority;
        std::string path;
        std::optional<std::string> query;
        std::optional<std::string> fragment;
    };

    static std::optional<Parts> split(std::string_view text);
    static std::optional<URL> make(Parts parts, std::string relative);

    URL() = default;

    std::string absolute_;
    std::string relative_;
    std::string scheme_;
    std::optional<std::string> authority_;
    std::optional<std::string> userInfo_;  // raw
    std::string host_;                     // raw, brackets removed
    std::optional<int> port_;
    std::string path_;  // raw
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

}  // namespace clipora::platform
