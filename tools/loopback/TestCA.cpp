#include "tools/loopback/TestCA.h"

#include <fstream>
#include <stdexcept>

#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <boost/asio/ip/address.hpp>

namespace clipora::loopback {

namespace {

EVP_PKEY* newKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key) throw std::runtime_error("TestCA: key generation failed");
    return key;
}

std::string pem(X509* cert) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string out(data, static_cast<std::size_t>(n));
    BIO_free(bio);
    return out;
}

std::string pem(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string out(data, static_cast<std::size_t>(n));
    BIO_free(bio);
    return out;
}

void write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext) throw std::runtime_error("TestCA: bad extension " + value);
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

X509* newCertificate(long serial, const std::string& commonName, EVP_PKEY* key) {
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 7L * 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1,
                               -1, 0);
    return cert;
}

}  // namespace

TestCA::TestCA(std::filesystem::path directory, const std::vector<std::string>& extraNames)
    : directory_(std::move(directory)) {
    std::filesystem::create_directories(directory_);
    caKey_.reset(newKey());
    caCertificate_.reset(newCertificate(serial_++, "Clipora Test CA", caKey_.get()));
    X509* ca = caCertificate_.get();
    X509_set_issuer_name(ca, X509_get_subject_name(ca));
    addExtension(ca, ca, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(ca, ca, NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(ca, ca, NID_subject_key_identifier, "hash");
    X509_sign(ca, caKey_.get(), EVP_sha256());
    caPEM_ = pem(ca);
    caFile_ = directory_ / "test-ca.pem";
    write(caFile_, caPEM_);
    std::vector<std::string> names{"localhost", "127.0.0.1"};
    names.insert(names.end(), extraNames.begin(), extraNames.end());
    server_ = issue(names, "server");
}

TestCA::~TestCA() = default;

TestCA::Leaf TestCA::issue(const std::vector<std::string>& names, const std::string& fileStem) {
    return makeLeaf(names, fileStem, false);
}

TestCA::Leaf TestCA::selfSigned(const std::vector<std::string>& names, const std::string& fileStem) {
    return makeLeaf(names, fileStem, true);
}

TestCA::Leaf TestCA::makeLeaf(const std::vector<std::string>& names, const std::string& fileStem, bool selfSigned) {
    EVP_PKEY* key = newKey();
    X509* cert = newCertificate(serial_++, names.empty() ? "unnamed" : names.front(), key);
    X509_set_issuer_name(cert, selfSigned ? X509_get_subject_name(cert) : X509_get_subject_name(caCertificate_.get()));
    std::string alt;
    for (const auto& n : names) {
        boost::system::error_code ec;
        boost::asio::ip::make_address(n, ec);
        if (!alt.empty()) alt += ",";
        alt += (ec ? "DNS:" : "IP:") + n;
    }
    addExtension(cert, selfSigned ? cert : caCertificate_.get(), NID_basic_constraints, "critical,CA:FALSE");
    if (!alt.empty()) addExtension(cert, selfSigned ? cert : caCertificate_.get(), NID_subject_alt_name, alt);
    addExtension(cert, selfSigned ? cert : caCertificate_.get(), NID_ext_key_usage, "serverAuth,clientAuth");
    X509_sign(cert, selfSigned ? key : caKey_.get(), EVP_sha256());
    Leaf leaf;
    leaf.names = names;
    leaf.certificatePEM = pem(cert);
    leaf.privateKeyPEM = pem(key);
    leaf.certificateFile = directory_ / (fileStem + "-cert.pem");
    leaf.privateKeyFile = directory_ / (fileStem + "-key.pem");
    write(leaf.certificateFile, leaf.certificatePEM);
    write(leaf.privateKeyFile, leaf.privateKeyPEM);
    X509_free(cert);
    EVP_PKEY_free(key);
    return leaf;
}

}  // namespace clipora::loopback
