#include "platform/cfnetwork/TLSTrust.h"

#include <cstdlib>
#include <mutex>
#include <utility>

#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <boost/asio/error.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/ssl/error.hpp>

#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/foundation/Log.h"

namespace clipora::platform {

namespace {

bool isAddressLiteral(const std::string& host) {
    boost::system::error_code ec;
    boost::asio::ip::make_address(host, ec);
    return !ec;
}

std::optional<std::string> nonEmpty(std::optional<std::string> path) {
    if (path && path->empty()) return std::nullopt;
    return path;
}

struct ExtraCAFile {
    std::mutex mutex;
    std::optional<std::string> path;
};

ExtraCAFile& extraCAFileState() {
    // Never destroyed: detached I/O threads may still configure a context
    // while the process exits.
    static ExtraCAFile* state = [] {
        auto* made = new ExtraCAFile;
        if (const char* file = std::getenv(TLSTrust::kExtraCAFileVariable)) made->path = nonEmpty(file);
        return made;
    }();
    return *state;
}

// The environment is read during start-up, before any thread runs that
// could change it.
[[maybe_unused]] const bool kExtraCAFileRead = (extraCAFileState(), true);

}  // namespace

Error TLSPeerTrust::error() const { return TLSTrust::verifyError(verifyResult); }

std::optional<std::string> TLSTrust::extraCAFile() {
    auto& state = extraCAFileState();
    std::lock_guard lock(state.mutex);
    return state.path;
}

std::optional<std::string> TLSTrust::setExtraCAFile(std::optional<std::string> path) {
    auto& state = extraCAFileState();
    std::lock_guard lock(state.mutex);
    return std::exchange(state.path, nonEmpty(std::move(path)));
}

bool TLSTrust::configureContext(SSL_CTX* context, const std::shared_ptr<TLSIdentity>& identity, std::string* problem) {
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(context);
    if (const auto file = extraCAFile()) {
        if (SSL_CTX_load_verify_locations(context, file->c_str(), nullptr) != 1) {
            ERR_clear_error();
            Log::write("TLS: cannot load the CA file " + *file);
        }
    }
    if (identity) {
        if (SSL_CTX_use_certificate(context, identity->certificate()) != 1 ||
            SSL_CTX_use_PrivateKey(context, identity->privateKey()) != 1 || SSL_CTX_check_private_key(context) != 1) {
            ERR_clear_error();
            if (problem) *problem = "The client certificate does not match its key";
            return false;
        }
        for (X509* extra : identity->chain()) {
            X509_up_ref(extra);
            if (SSL_CTX_add_extra_chain_cert(context, extra) != 1) X509_free(extra);
        }
    }
    return true;
}

void TLSTrust::configureSession(SSL* ssl, const std::string& host, bool enforce) {
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    if (isAddressLiteral(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl, host.c_str());
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
    }
    SSL_set_verify(ssl, enforce ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
}

TLSPeerTrust TLSTrust::peerTrust(SSL* ssl, const std::string& host) {
    TLSPeerTrust trust;
    trust.host = host;
    if (STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl)) {
        for (int i = 0; i < sk_X509_num(chain); ++i)
            trust.certificateChain.push_back(TLSIdentity::derOf(sk_X509_value(chain, i)));
    }
    trust.verifyResult = trust.certificateChain.empty() ? X509_V_ERR_UNSPECIFIED : SSL_get_verify_result(ssl);
    trust.verifyDescription = X509_verify_cert_error_string(trust.verifyResult);
    return trust;
}

Error TLSTrust::verifyError(long verifyResult) {
    std::string text = X509_verify_cert_error_string(verifyResult);
    switch (verifyResult) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return HTTPStreamError::tls(HTTPStreamError::kTLSBadCertificate,
                                    "The certificate does not name the host: " + text);
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return HTTPStreamError::tls(HTTPStreamError::kTLSCertificateExpired, "The certificate has expired: " + text);
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return HTTPStreamError::tls(HTTPStreamError::kTLSCertificateNotYetValid,
                                    "The certificate is not yet valid: " + text);
    default:
        return HTTPStreamError::tls(HTTPStreamError::kTLSChainNotTrusted, "The certificate is not trusted: " + text);
    }
}

Error TLSTrust::handshakeError(SSL* ssl, const boost::system::error_code& ec) {
    if (ssl) {
        long verify = SSL_get_verify_result(ssl);
        if (verify != X509_V_OK && SSL_get_verify_mode(ssl) != SSL_VERIFY_NONE) return verifyError(verify);
    }
    if (ec == boost::asio::error::eof || ec == boost::asio::ssl::error::stream_truncated ||
        ec == boost::asio::error::connection_reset) {
        return HTTPStreamError::tls(HTTPStreamError::kTLSClosedAbort,
                                    "The server closed the connection during the TLS handshake");
    }
    if (ec.category() == boost::asio::error::get_ssl_category()) {
        int reason = ERR_GET_REASON(static_cast<unsigned long>(ec.value()));
        if (reason >= SSL_AD_REASON_OFFSET) {
            return HTTPStreamError::tls(HTTPStreamError::kTLSFatalAlert,
                                        "The server refused the TLS handshake: " + ec.message());
        }
        if (reason == SSL_R_CERTIFICATE_VERIFY_FAILED) {
            return HTTPStreamError::tls(HTTPStreamError::kTLSChainNotTrusted, "The certificate is not trusted");
        }
        return HTTPStreamError::tls(HTTPStreamError::kTLSNegotiation, "TLS negotiation failed: " + ec.message());
    }
    return HTTPStreamError::tls(HTTPStreamError::kTLSProtocol, "TLS handshake failed: " + ec.message());
}

}  // namespace clipora::platform
