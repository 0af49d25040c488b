#pragma once

// cpp-httplib is built with TLS support; every user of its header must see
// the same configuration, so it is only ever included through this header.
#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace clipora::loopback {

// An HTTP or HTTPS server (cpp-httplib) on 127.0.0.1 with an ephemeral port,
// run on a thread of its own from start() until destruction. Routes are set
// on server() before start().
class LoopbackServer {
public:
    // Plain HTTP.
    LoopbackServer();
    // HTTPS with a certificate and key (PEM files, e.g. a TestCA leaf).
    LoopbackServer(const std::filesystem::path& certificateFile, const std::filesystem::path& privateKeyFile);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    httplib::Server& server() { return *server_; }

    // Binds and starts serving; returns once the server accepts.
    void start();
    void stop();
    std::uint16_t port() const { return port_; }
    bool isSecure() const { return secure_; }
    // "http://127.0.0.1:<port><path>" or "https://localhost:<port><path>";
    // `host` replaces the host name.
    std::string url(const std::string& path = "/", const std::string& host = {}) const;

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::uint16_t port_ = 0;
    bool secure_ = false;
};

}  // namespace clipora::loopback
