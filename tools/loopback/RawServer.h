#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace clipora::loopback {

// A scripted TCP server on 127.0.0.1 (ephemeral port) for byte-exact and
// misbehaving peers: each accepted connection runs the script on a thread of
// its own, which reads requests and writes whatever bytes it likes (truncated
// bodies, resets, slow heads, keep-alive connections it then closes). The
// connection is closed when the script returns, unless it already was.
class RawServer {
public:
    class Connection {
    public:
        Connection(int fd, std::size_t index, RawServer& server);
        ~Connection();
        Connection(const Connection&) = delete;
        Connection& operator=(const Connection&) = delete;

        // Which accepted connection this is, from 0.
        std::size_t index() const { return index_; }
        // One request: the head and its body (Content-Length or chunked),
        // raw; empty when the peer closed first.
        std::string readRequest();
        // Up to `n` bytes as they come (empty at EOF).
        std::string readSome(std::size_t n = 65536);
        // Exactly `n` bytes (fewer only at EOF).
        std::string readExactly(std::size_t n);
        // Connects to 127.0.0.1:port and relays bytes both ways (what was
        // read but not consumed goes first) until both sides have closed.
        // False when the upstream connection cannot be made. A slow link
        // towards the client: with `piece` set, the upstream's bytes go on
        // at most `piece` at a time with `pause` seconds after each.
        bool relayTo(std::uint16_t port, std::size_t piece = 0, double pause = 0);
        void send(std::string_view bytes);
        // Sends `total` bytes of filler (for large bodies).
        void sendFiller(std::uint64_t total, char fill = 'x');
        // Closes after the peer's close (EOF) or immediately.
        bool waitForPeerClose(double timeoutSeconds = 5);
        void close();
        // Closes with a TCP reset (SO_LINGER 0).
        void reset();
        void shutdownWrite();
        bool isOpen() const { return fd_ >= 0; }
        // Holds the script for a while: a slow peer (a slow head, a
        // trickling body) is played by pausing between sends.
        static void pauseBriefly(double seconds);

    private:
        bool fill(std::size_t minimum);
        void release(bool abortive);
        int fd_;
        std::size_t index_;
        RawServer& server_;  // outlives every connection
        std::string pending_;
    };

    using Script = std::function<void(Connection& connection)>;

    explicit RawServer(Script script);
    ~RawServer();
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    std::uint16_t port() const { return port_; }
    std::string url(const std::string& path = "/", const std::string& host = "127.0.0.1") const;
    std::size_t connectionsAccepted() const { return accepted_.load(); }
    // Connections whose script has returned (and which are closed).
    std::size_t connectionsFinished() const { return finished_.load(); }
    // Every request head read so far, in order.
    std::vector<std::string> requests() const;
    // Blocks (real time) until `count` connections finished; for tests that
    // need the server side closed before going on.
    bool waitForFinished(std::size_t count, double timeoutSeconds = 5);

private:
    void acceptLoop();

    Script script_;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> accepted_{0};
    std::atomic<std::size_t> finished_{0};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::condition_variable finishedCondition_;
    std::vector<std::thread> workers_;
    std::vector<int> openFds_;
    std::vector<std::string> requests_;

    friend class Connection;
    void recordRequest(const std::string& head);
};

}  // namespace clipora::loopback
