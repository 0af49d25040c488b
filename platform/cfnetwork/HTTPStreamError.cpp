#include "platform/cfnetwork/HTTPStreamError.h"

#include <cerrno>

#include <boost/asio/error.hpp>

namespace clipora::platform {

Error HTTPStreamError::make(std::string_view domain, std::int64_t code, std::string description) {
    return Error::withDescription(std::string(domain), code, std::move(description));
}

Error HTTPStreamError::posix(std::int64_t code, std::string description) {
    return make(kPOSIXDomain, code, std::move(description));
}

Error HTTPStreamError::network(std::int64_t code, std::string description) {
    return make(kNetworkDomain, code, std::move(description));
}

Error HTTPStreamError::tls(std::int64_t code, std::string description) {
    return make(kOSStatusDomain, code, std::move(description));
}

Error HTTPStreamError::fromSystem(const boost::system::error_code& ec) {
    int value = ec.value();
    if (ec.category() == boost::asio::error::get_misc_category() && value == boost::asio::error::eof) {
        return posix(kNotConnected, "Socket is not connected");
    }
    if (ec.category() == boost::system::system_category() || ec.category() == boost::system::generic_category()) {
        switch (value) {
        case EPIPE: return posix(kBrokenPipe, "Broken pipe");
        case ENETUNREACH: return posix(kNetworkUnreachable, "Network is unreachable");
        case ECONNABORTED: return posix(kConnectionAborted, "Software caused connection abort");
        case ECONNRESET: return posix(kConnectionReset, "Connection reset by peer");
        case ENOTCONN: return posix(kNotConnected, "Socket is not connected");
        case ETIMEDOUT: return posix(kTimedOut, "Operation timed out");
        case ECONNREFUSED: return posix(kConnectionRefused, "Connection refused");
        case EHOSTUNREACH: return posix(kHostUnreachable, "No route to host");
        default: break;
        }
    }
    return posix(value, ec.message());
}

bool HTTPStreamError::isTLSError(const Error& error) {
    return error.domain() == kOSStatusDomain && error.code() >= kTLSFirst && error.code() <= kTLSLast;
}

}  // namespace clipora::platform
