#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace clipora::platform {

// A failure reported to a caller: a domain, an integer code and a user-info
// dictionary, plus an optional underlying error. A copyable value type; an
// optional error is std::optional<Error>.
class Error {
public:
    // Well-known user-info keys.
    static constexpr std::string_view kLocalizedDescriptionKey = "localizedDescription";
    static constexpr std::string_view kLocalizedFailureReasonKey = "localizedFailureReason";
    static constexpr std::string_view kUnderlyingErrorKey = "underlyingError";
    static constexpr std::string_view kFilePathKey = "filePath";
    static constexpr std::string_view kURLKey = "URL";  // the failing URL's absolute string

    // URL loading (connections, HTTP core).
    static constexpr std::string_view kURLErrorDomain = "NSURLErrorDomain";
    static constexpr std::int64_t kURLErrorUnknown = -1;
    static constexpr std::int64_t kURLErrorCancelled = -999;
    static constexpr std::int64_t kURLErrorBadURL = -1000;
    static constexpr std::int64_t kURLErrorTimedOut = -1001;
    static constexpr std::int64_t kURLErrorUnsupportedURL = -1002;
    static constexpr std::int64_t kURLErrorCannotFindHost = -1003;
    static constexpr std::int64_t kURLErrorCannotConnectToHost = -1004;
    static constexpr std::int64_t kURLErrorNetworkConnectionLost = -1005;
    static constexpr std::int64_t kURLErrorHTTPTooManyRedirects = -1007;
    static constexpr std::int64_t kURLErrorResourceUnavailable = -1008;
    static constexpr std::int64_t kURLErrorNotConnectedToInternet = -1009;
    static constexpr std::int64_t kURLErrorBadServerResponse = -1011;
    static constexpr std::int64_t kURLErrorUserCancelledAuthentication = -1012;
    static constexpr std::int64_t kURLErrorUserAuthenticationRequired = -1013;
    static constexpr std::int64_t kURLErrorZeroByteResource = -1014;
    static constexpr std::int64_t kURLErrorCannotDecodeContentData = -1016;
    static constexpr std::int64_t kURLErrorCannotParseResponse = -1017;
    static constexpr std::int64_t kURLErrorFileDoesNotExist = -1100;
    static constexpr std::int64_t kURLErrorSecureConnectionFailed = -1200;
    static constexpr std::int64_t kURLErrorServerCertificateHasBadDate = -1201;
    static constexpr std::int64_t kURLErrorServerCertificateUntrusted = -1202;
    static constexpr std::int64_t kURLErrorServerCertificateHasUnknownRoot = -1203;
    static constexpr std::int64_t kURLErrorServerCertificateNotYetValid = -1204;
    static constexpr std::int64_t kURLErrorClientCertificateRejected = -1205;
    static constexpr std::int64_t kURLErrorCannotLoadFromNetwork = -2000;

    // Web views.
    static constexpr std::string_view kWebKitErrorDomain = "WebKitErrorDomain";
    static constexpr std::int64_t kWebKitErrorFrameLoadInterrupted = 102;

    // Operating-system errors: the code is the errno value.
    static constexpr std::string_view kPOSIXErrorDomain = "NSPOSIXErrorDomain";

    Error(std::string domain, std::int64_t code, Value::Dictionary userInfo = {});
    // Convenience: the user info holds just the localized description.
    static Error withDescription(std::string domain, std::int64_t code, std::string localizedDescription);
    // An error of kPOSIXErrorDomain for an errno value, described by strerror.
    static Error fromErrno(int errnoValue, std::string_view path = {});

    const std::string& domain() const { return domain_; }
    std::int64_t code() const { return code_; }
    const Value::Dictionary& userInfo() const { return userInfo_; }
    void setUserInfoValue(std::string key, Value value);

    // The user info's kLocalizedDescriptionKey string when present, otherwise
    // "The operation couldn’t be completed. (<domain> error <code>.)".
    std::string localizedDescription() const;
    // The user info's kLocalizedFailureReasonKey string, if any.
    std::optional<std::string> localizedFailureReason() const;

    // The error this one wraps. Kept beside the user info (an Error is not a
    // Value); it answers for kUnderlyingErrorKey.
    const Error* underlyingError() const { return underlying_.get(); }
    void setUnderlyingError(const Error& error);
    Error withUnderlyingError(const Error& error) const;

    // True for the URL-loading domain's "cancelled".
    bool isCancellation() const;

    // "Error Domain=<domain> Code=<code> "<localized description>" UserInfo=<dictionary text>"
    // (UserInfo part omitted when empty), for logs.
    std::string description() const;

    // Domain, code, user info and underlying error all equal.
    friend bool operator==(const Error& a, const Error& b);
    friend bool operator!=(const Error& a, const Error& b) { return !(a == b); }

private:
    std::string domain_;
    std::int64_t code_;
    Value::Dictionary userInfo_;
    std::shared_ptr<const Error> underlying_;  // immutable once set, so sharing is safe
};

}  // namespace clipora::platform
