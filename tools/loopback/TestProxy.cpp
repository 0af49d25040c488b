#include "tools/loopback/TestProxy.h"

#include <cctype>

namespace clipora::loopback {

namespace {

std::optional<std::string> field(const std::string& head, const std::string& name) {
    std::string lowered = head;
    for (auto& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string key = "\r\n" + name + ":";
    for (auto& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto pos = lowered.find(key);
    if (pos == std::string::npos) return std::nullopt;
    auto start = head.find_first_not_of(' ', pos + key.size());
    auto end = head.find("\r\n", start);
    return head.substr(start, end - start);
}

}  // namespace

TestProxy::TestProxy(Kind kind) : kind_(kind) {
    server_ = std::make_unique<RawServer>([this](RawServer::Connection& connection) {
        if (kind_ == Kind::Connect) {
            serveConnect(connection);
        } else {
            serveSOCKS(connection);
        }
    });
}

TestProxy::~TestProxy() { server_.reset(); }

void TestProxy::requireAuthorization(std::string value) {
    std::lock_guard lock(mutex_);
    authorization_ = std::move(value);
}

std::vector<std::string> TestProxy::targets() const {
    std::lock_guard lock(mutex_);
    return targets_;
}

void TestProxy::serveConnect(RawServer::Connection& connection) {
    for (;;) {
        std::string head = connection.readRequest();
        if (head.empty()) return;
        auto lineEnd = head.find("\r\n");
        std::string line = head.substr(0, lineEnd);
        if (line.rfind("CONNECT ", 0) != 0) {
            connection.send("HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            return;
        }
        std::string target = line.substr(8, line.find(' ', 8) - 8);
        std::optional<std::string> required;
        {
            std::lock_guard lock(mutex_);
            targets_.push_back(target);
            required = authorization_;
        }
        if (required && field(head, "Proxy-Authorization") != required) {
            std::string body = kRefusalBody;
            connection.send(
                "HTTP/1.1 407 Proxy Authentication Required\r\n"
                "Proxy-Authenticate: Basic realm=\"test proxy\"\r\n"
                "Content-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body);
            continue;  // the client may try again on this connection
        }
        auto colon = target.rfind(':');
        auto port = static_cast<std::uint16_t>(std::stoi(target.substr(colon + 1)));
        connection.send("HTTP/1.1 200 Connection established\r\n\r\n");
        connection.relayTo(port);
        return;
    }
}

void TestProxy::serveSOCKS(RawServer::Connection& connection) {
    std::string greeting = connection.readExactly(2);
    if (greeting.size() != 2 || greeting[0] != 0x05) return;
    std::string methods = connection.readExactly(static_cast<unsigned char>(greeting[1]));
    if (methods.find('\0') == std::string::npos) {
        connection.send(std::string("\x05\xff", 2));
        return;
    }
    connection.send(std::string("\x05\x00", 2));
    std::string request = connection.readExactly(4);
    if (request.size() != 4 || request[1] != 0x01) return;
    std::string host;
    switch (request[3]) {
    case 0x01: {
        std::string a = connection.readExactly(4);
        host = std::to_string(static_cast<unsigned char>(a[0])) + "." +
               std::to_string(static_cast<unsigned char>(a[1])) + "." +
               std::to_string(static_cast<unsigned char>(a[2])) + "." +
               std::to_string(static_cast<unsigned char>(a[3]));
        break;
    }
    case 0x03: {
        std::string n = connection.readExactly(1);
        host = connection.readExactly(static_cast<unsigned char>(n[0]));
        break;
    }
    default: return;
    }
    std::string p = connection.readExactly(2);
    auto port = static_cast<std::uint16_t>((static_cast<unsigned char>(p[0]) << 8) | static_cast<unsigned char>(p[1]));
    {
        std::lock_guard lock(mutex_);
        targets_.push_back(host + ":" + std::to_string(port));
    }
    connection.send(std::string("\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x00", 10));
    connection.relayTo(port);
}

}  // namespace clipora::loopback
