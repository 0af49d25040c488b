#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <boost/system/error_code.hpp>

#include "platform/foundation/Error.h"

namespace clipora::platform {

// The errors the HTTP core and the read stream report, in the domains and
// with the numbers the system's callers compare against. Those numbers are
// the device's, not Linux's: a POSIX-domain code follows the device's errno
// numbering (57 "socket is not connected", 32 "broken pipe", 54 "connection
// reset", 61 "connection refused", 60 "timed out").
class HTTPStreamError {
public:
    HTTPStreamError() = delete;

    static constexpr std::string_view kPOSIXDomain = Error::kPOSIXErrorDomain;
    static constexpr std::string_view kOSStatusDomain = "NSOSStatusErrorDomain";
    static constexpr std::string_view kNetworkDomain = "kCFErrorDomainCFNetwork";

    // POSIX domain (device numbering).
    static constexpr std::int64_t kBrokenPipe = 32;
    static constexpr std::int64_t kNetworkUnreachable = 51;
    static constexpr std::int64_t kConnectionAborted = 53;
    static constexpr std::int64_t kConnectionReset = 54;
    static constexpr std::int64_t kNotConnected = 57;
    static constexpr std::int64_t kTimedOut = 60;
    static constexpr std::int64_t kConnectionRefused = 61;
    static constexpr std::int64_t kHostUnreachable = 65;

    // Network domain.
    static constexpr std::int64_t kHostNotFound = 1;
    static constexpr std::int64_t kHostLookupFailed = 2;
    static constexpr std::int64_t kSOCKSUnsupportedServerVersion = 101;
    static constexpr std::int64_t kSOCKS5BadState = 120;
    static constexpr std::int64_t kSOCKS5BadResponseAddress = 121;
    static constexpr std::int64_t kSOCKS5NoAcceptableMethod = 124;
    static constexpr std::int64_t kAuthenticationTypeUnsupported = -1000;
    static constexpr std::int64_t kAuthenticationBadUserName = -1001;
    static constexpr std::int64_t kAuthenticationBadPassword = -1002;
    static constexpr std::int64_t kConnectionLost = -1005;
    static constexpr std::int64_t kParseFailure = -1006;
    static constexpr std::int64_t kBadURL = -1008;
    static constexpr std::int64_t kProxyConnectionFailure = -1009;
    static constexpr std::int64_t kPACFileError = -1011;
    static constexpr std::int64_t kHTTPSProxyConnectionFailure = -1013;

    // OSStatus domain: TLS failures, all within -9800...-9818.
    static constexpr std::int64_t kTLSProtocol = -9800;
    static constexpr std::int64_t kTLSNegotiation = -9801;
    static constexpr std::int64_t kTLSFatalAlert = -9802;
    static constexpr std::int64_t kTLSClosedAbort = -9806;
    static constexpr std::int64_t kTLSChainNotTrusted = -9807;
    static constexpr std::int64_t kTLSBadCertificate = -9808;  // also a host name the certificate does not name
    static constexpr std::int64_t kTLSInternal = -9810;
    static constexpr std::int64_t kTLSUnknownRoot = -9812;
    static constexpr std::int64_t kTLSNoRoot = -9813;
    static constexpr std::int64_t kTLSCertificateExpired = -9814;
    static constexpr std::int64_t kTLSCertificateNotYetValid = -9815;
    static constexpr std::int64_t kTLSClosedNoNotify = -9816;
    static constexpr std::int64_t kTLSFirst = -9818;
    static constexpr std::int64_t kTLSLast = -9800;

    static Error make(std::string_view domain, std::int64_t code, std::string description);
    static Error posix(std::int64_t code, std::string description);
    static Error network(std::int64_t code, std::string description);
    static Error tls(std::int64_t code, std::string description);

    // Maps a socket-level error (Linux errno or Asio's categories) to the
    // POSIX domain with the device's numbering; unknown errors keep their
    // number and message.
    static Error fromSystem(const boost::system::error_code& ec);

    static bool isTLSError(const Error& error);
};

}  // namespace clipora::platform
