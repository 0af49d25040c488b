#include "tools/loopback/RawServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace clipora::loopback {

namespace {

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

// --- Connection ---

RawServer::Connection::Connection(int fd, std::size_t index, RawServer& server)
    : fd_(fd), index_(index), server_(server) {}

RawServer::Connection::~Connection() { close(); }

bool RawServer::Connection::fill(std::size_t minimum) {
    while (pending_.size() < minimum) {
        if (fd_ < 0) return false;
        char buf[65536];
        ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        pending_.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

std::string RawServer::Connection::readSome(std::size_t n) {
    if (pending_.empty() && !fill(1)) return {};
    std::string out = pending_.substr(0, n);
    pending_.erase(0, out.size());
    return out;
}

std::string RawServer::Connection::readExactly(std::size_t n) {
    fill(n);
    std::string out = pending_.substr(0, n);
    pending_.erase(0, out.size());
    return out;
}

bool RawServer::Connection::relayTo(std::uint16_t port, std::size_t piece, double pause) {
    int upstream = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(upstream, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(upstream);
        return false;
    }
    {
        std::lock_guard lock(server_.mutex_);
        server_.openFds_.push_back(upstream);
    }
    auto pump = [](int from, int to, std::string first, std::size_t piece, double pause) {
        std::string_view pending = first;
        while (!pending.empty()) {
            ssize_t n = ::send(to, pending.data(), pending.size(), MSG_NOSIGNAL);
            if (n <= 0) break;
            pending.remove_prefix(static_cast<std::size_t>(n));
        }
        char buf[65536];
        for (;;) {
            ssize_t n = ::recv(from, buf, sizeof buf, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            std::string_view out(buf, static_cast<std::size_t>(n));
            while (!out.empty()) {
                const std::size_t size = piece > 0 ? std::min(piece, out.size()) : out.size();
                ssize_t sent = ::send(to, out.data(), size, MSG_NOSIGNAL);
                if (sent <= 0) return;
                out.remove_prefix(static_cast<std::size_t>(sent));
                if (piece > 0) pauseBriefly(pause);
            }
        }
        ::shutdown(to, SHUT_WR);
    };
    std::thread back(pump, upstream, fd_, std::string(), piece, pause);
    pump(fd_, upstream, std::move(pending_), 0, 0.0);
    pending_.clear();
    back.join();
    {
        std::lock_guard lock(server_.mutex_);
        std::erase(server_.openFds_, upstream);
        ::close(upstream);
    }
    return true;
}

std::string RawServer::Connection::readRequest() {
    std::size_t end;
    while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
        if (!fill(pending_.size() + 1)) return {};
    }
    std::string head = pending_.substr(0, end + 4);
    pending_.erase(0, end + 4);
    server_.recordRequest(head);
    std::string lowered = lower(head);
    std::string body;
    if (auto pos = lowered.find("\r\ncontent-length:"); pos != std::string::npos) {
        std::size_t length = std::stoull(head.substr(pos + 17));
        if (!fill(length)) return head + pending_;
        body = pending_.substr(0, length);
        pending_.erase(0, length);
    } else if (lowered.find("transfer-encoding: chunked") != std::string::npos) {
        while ((end = pending_.find("0\r\n\r\n")) == std::string::npos ||
               (end != 0 && pending_.compare(end - 2, 2, "\r\n") != 0)) {
            if (!fill(pending_.size() + 1)) return head + pending_;
        }
        body = pending_.substr(0, end + 5);
        pending_.erase(0, end + 5);
    }
    return head + body;
}

void RawServer::Connection::send(std::string_view bytes) {
    while (!bytes.empty() && fd_ >= 0) {
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void RawServer::Connection::sendFiller(std::uint64_t total, char fill) {
    std::string chunk(256 * 1024, fill);
    while (total > 0 && fd_ >= 0) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(total, chunk.size()));
        ssize_t sent = ::send(fd_, chunk.data(), n, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return;
        total -= static_cast<std::uint64_t>(sent);
    }
}

bool RawServer::Connection::waitForPeerClose(double timeoutSeconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (fd_ >= 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
            char buf[4096];
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) return true;
        }
        if (server_.stopping_) return false;
    }
    return false;
}

void RawServer::Connection::release(bool abortive) {
    std::lock_guard lock(server_.mutex_);
    if (fd_ < 0) return;
    if (abortive) {
        linger l{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    std::erase(server_.openFds_, fd_);
    ::close(fd_);
    fd_ = -1;
}

void RawServer::Connection::close() { release(false); }

void RawServer::Connection::reset() { release(true); }

void RawServer::Connection::pauseBriefly(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void RawServer::Connection::shutdownWrite() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

// --- Server ---

RawServer::RawServer(Script script) : script_(std::move(script)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 64) != 0) {
        throw std::runtime_error("RawServer: cannot listen");
    }
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (::pipe2(wakePipe_, O_CLOEXEC) != 0) throw std::runtime_error("RawServer: pipe");
    acceptor_ = std::thread([this]() { acceptLoop(); });
}

RawServer::~RawServer() {
    stopping_ = true;
    char c = 'x';
    (void)!::write(wakePipe_[1], &c, 1);
    acceptor_.join();
    {
        std::lock_guard lock(mutex_);
        for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    }
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        workers = std::move(workers_);
    }
    for (auto& w : workers) w.join();
    ::close(listenFd_);
    ::close(wakePipe_[0]);
    ::close(wakePipe_[1]);
}

std::string RawServer::url(const std::string& path, const std::string& host) const {
    return "http://" + host + ":" + std::to_string(port_) + path;
}

std::vector<std::string> RawServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void RawServer::recordRequest(const std::string& head) {
    std::lock_guard lock(mutex_);
    requests_.push_back(head);
}

bool RawServer::waitForFinished(std::size_t count, double timeoutSeconds) {
    std::unique_lock lock(mutex_);
    return finishedCondition_.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                                       [&]() { return finished_.load() >= count; });
}

void RawServer::acceptLoop() {
    while (!stopping_) {
        pollfd p[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (stopping_ || (p[1].revents & POLLIN)) return;
        if (!(p[0].revents & POLLIN)) continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::size_t index = accepted_++;
        std::lock_guard lock(mutex_);
        openFds_.push_back(fd);
        workers_.emplace_back([this, fd, index]() {
            {
                Connection connection(fd, index, *this);
                script_(connection);
            }
            {
                std::lock_guard lock(mutex_);
                ++finished_;
            }
            finishedCondition_.notify_all();
        });
    }
}

}  // namespace clipora::loopback
