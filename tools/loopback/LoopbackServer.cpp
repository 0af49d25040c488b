#include "tools/loopback/LoopbackServer.h"

#include <chrono>
#include <stdexcept>

namespace clipora::loopback {

LoopbackServer::LoopbackServer() : server_(std::make_unique<httplib::Server>()) {}

LoopbackServer::LoopbackServer(const std::filesystem::path& certificateFile,
                               const std::filesystem::path& privateKeyFile)
    : server_(std::make_unique<httplib::SSLServer>(certificateFile.c_str(), privateKeyFile.c_str())), secure_(true) {
    if (!server_->is_valid()) throw std::runtime_error("LoopbackServer: bad certificate or key");
}

LoopbackServer::~LoopbackServer() { stop(); }

void LoopbackServer::start() {
    if (thread_.joinable()) return;
    int port = server_->bind_to_any_port("127.0.0.1");
    if (port <= 0) throw std::runtime_error("LoopbackServer: cannot bind");
    port_ = static_cast<std::uint16_t>(port);
    thread_ = std::thread([this]() { server_->listen_after_bind(); });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server_->is_running() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
}

void LoopbackServer::stop() {
    if (!thread_.joinable()) return;
    server_->stop();
    thread_.join();
}

std::string LoopbackServer::url(const std::string& path, const std::string& host) const {
    std::string h = host.empty() ? (secure_ ? "localhost" : "127.0.0.1") : host;
    return std::string(secure_ ? "https://" : "http://") + h + ":" + std::to_string(port_) + path;
}

}  // namespace clipora::loopback
