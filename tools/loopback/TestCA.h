#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace clipora::loopback {

// A certificate authority made at test time (OpenSSL, EC P-256 keys) and the
// server certificates it issues. Nothing trusts it until its user hands
// caFile() to the client under test. Files are written into `directory` (a
// test's temporary home).
class TestCA {
public:
    struct Leaf {
        std::vector<std::string> names;
        std::string certificatePEM;
        std::string privateKeyPEM;
        std::filesystem::path certificateFile;
        std::filesystem::path privateKeyFile;
    };

    // The CA and a server certificate for "localhost", "127.0.0.1" and the
    // extra names (host names or IP addresses).
    explicit TestCA(std::filesystem::path directory, const std::vector<std::string>& extraNames = {});
    ~TestCA();
    TestCA(const TestCA&) = delete;
    TestCA& operator=(const TestCA&) = delete;

    const std::filesystem::path& caFile() const { return caFile_; }
    const std::string& caPEM() const { return caPEM_; }
    // The server certificate made by the constructor.
    const Leaf& server() const { return server_; }

    // Another certificate issued by this CA for exactly these names.
    Leaf issue(const std::vector<std::string>& names, const std::string& fileStem);
    // A certificate for these names that signs itself (no CA vouches for it).
    Leaf selfSigned(const std::vector<std::string>& names, const std::string& fileStem);

private:
    Leaf makeLeaf(const std::vector<std::string>& names, const std::string& fileStem, bool selfSigned);

    std::filesystem::path directory_;
    std::filesystem::path caFile_;
    std::string caPEM_;
    std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> caKey_{nullptr, EVP_PKEY_free};
    std::unique_ptr<X509, void (*)(X509*)> caCertificate_{nullptr, X509_free};
    Leaf server_;
    long serial_ = 1;
};

}  // namespace clipora::loopback
