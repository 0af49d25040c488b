#include "platform/cfnetwork/HTTPClientCore.h"

#include <openssl/ssl.h>

#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include <unistd.h>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>

#include "platform/cfnetwork/HTTPConnection.h"

namespace clipora::platform {

namespace asio = boost::asio;

struct HTTPClientCore::Impl {
    asio::io_context io;
    asio::executor_work_guard<asio::io_context::executor_type> work{io.get_executor()};
    std::thread thread;
    // Idle connections by sharing key; touched on the I/O thread only.
    std::multimap<std::string, std::shared_ptr<HTTPConnection>> idle;
    // Connections carrying an exchange. A connection that waits for its
    // reader (flow control) has no operation pending, so the core keeps it.
    std::set<std::shared_ptr<HTTPConnection>> busy;
    std::atomic<std::size_t> idleCount{0};
    // The process that started the I/O thread (a forked child has no such
    // thread and must not wait for it at exit).
    pid_t owner = ::getpid();
};

namespace {

std::string lowered(std::string s) {
    for (auto& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    }
    return s;
}

// Everything that must be equal for two transactions to share a connection.
std::string sharingKey(const HTTPMessage& request, const HTTPTransactionOptions& options) {
    std::string key = request.isSecure() ? "https" : "http";
    key += '|' + lowered(request.requestURL().host()) + '|' + std::to_string(request.port());
    if (!options.proxy.isNone()) {
        key += options.proxy.type == HTTPProxy::Type::SOCKS ? "|socks:" : "|http:";
        key += lowered(options.proxy.host) + ':' + std::to_string(options.proxy.port);
    } else {
        key += "|direct";
    }
    if (request.isSecure()) {
        key += options.validatesCertificateChain ? "|verify" : "|noverify";
        if (options.serverTrustHandler) key += "|asked";
        key += "|id:" + std::to_string(options.clientIdentity ? options.clientIdentity->serial() : 0);
    }
    key += "|group:" + options.connectionGroup;
    return key;
}

}  // namespace

HTTPClientCore::HTTPClientCore() : impl_(std::make_unique<Impl>()) {
    impl_->thread = std::thread([this]() { impl_->io.run(); });
}

HTTPClientCore::~HTTPClientCore() {
    impl_->work.reset();
    impl_->io.stop();
    if (impl_->thread.joinable()) {
        if (impl_->thread.get_id() == std::this_thread::get_id()) {
            impl_->thread.detach();
        } else {
            impl_->thread.join();
        }
    }
    impl_->idle.clear();
    impl_->busy.clear();
}

std::shared_ptr<HTTPClientCore> HTTPClientCore::shared() {
    // Never destroyed. Threads that outlive main() (operation-queue workers,
    // the request engine's network thread) may still start or cancel
    // transactions while statics are destroyed, so the core must outlive
    // them. A static shared_ptr did not give that, nor a clean end: pooled
    // connections hold the core, so its destructor mostly never ran and the
    // I/O thread kept reading TLS while OpenSSL freed its globals at exit;
    // and when the last reference fell on the I/O thread itself, the
    // io_context was destroyed under its own run().
    static const std::shared_ptr<HTTPClientCore>& core = *[] {
        // OpenSSL registers its own exit-time clean-up when it initialises;
        // initialising it first makes that clean-up run after ours (exit
        // handlers run in reverse order). Otherwise a process whose first
        // TLS use comes after this point freed OpenSSL's globals while the
        // I/O thread was still in a handshake.
        OPENSSL_init_ssl(0, nullptr);
        auto* leaked = new std::shared_ptr<HTTPClientCore>(new HTTPClientCore());
        std::atexit(&HTTPClientCore::stopAtExit);
        return leaked;
    }();
    return core;
}

void HTTPClientCore::stopAtExit() {
    // Runs before the statics made earlier than the core are destroyed and
    // before OpenSSL's own exit-time clean-up: no handler, TLS read or
    // observer call may run concurrently with either. Exchanges still in
    // flight never complete; their callers wait on run loops that the
    // ending process does not turn again.
    auto& impl = *shared()->impl_;
    impl.work.reset();
    impl.io.stop();
    if (impl.owner == ::getpid() && impl.thread.joinable() && impl.thread.get_id() != std::this_thread::get_id()) {
        impl.thread.join();
    }
}

asio::io_context& HTTPClientCore::ioContext() { return impl_->io; }

std::shared_ptr<HTTPTransaction> HTTPClientCore::start(const std::shared_ptr<HTTPMessage>& request,
                                                       HTTPTransactionOptions options,
                                                       std::weak_ptr<HTTPTransactionObserver> observer) {
    if (!request || !request->isRequest()) return nullptr;
    HTTPExchangePlan plan;
    plan.secure = request->isSecure();
    plan.host = request->requestURL().host();
    plan.port = request->port();
    std::string method = request->requestMethod();
    plan.headRequest = method == "HEAD";
    bool viaHTTPProxy = !options.proxy.isNone() && options.proxy.type == HTTPProxy::Type::HTTP;
    HTTPHeaders headers = request->allHeaderFields();
    if (viaHTTPProxy && plan.secure) {
        // Credentials for the proxy travel on the CONNECT only, never inside
        // the tunnel to the origin server.
        plan.proxyAuthorization = headers.value("Proxy-Authorization");
        headers.remove("Proxy-Authorization");
    }
    plan.streamed = options.streamedBody;
    if (!plan.streamed) {
        plan.body = request->body();
        if (!plan.body.empty() && !headers.contains("Content-Length")) {
            headers.set("Content-Length", std::to_string(plan.body.size()));
        }
    } else if (!headers.contains("Content-Length")) {
        auto coding = headers.value("Transfer-Encoding");
        if (!coding) {
            if (request->version() != HTTPMessage::kVersion11) return nullptr;
            headers.set("Transfer-Encoding", "chunked");
        }
        plan.chunked = true;
    }
    std::string& head = plan.head;
    head = method + " " + request->requestTarget(viaHTTPProxy && !plan.secure) + " " + request->version() + "\r\n";
    if (!headers.contains("Host")) head += "Host: " + request->hostFieldValue() + "\r\n";
    for (const auto& field : headers.fields()) {
        for (const auto& value : field.values) head += field.name + ": " + value + "\r\n";
    }
    head += "\r\n";

    auto identifier = ++nextTransaction_;
    auto key = sharingKey(*request, options);
    // Without persistence a transaction neither takes nor leaves a pooled
    // connection: its key is its own.
    if (!options.persistentConnection) key += "|single:" + std::to_string(identifier);
    auto transaction = std::shared_ptr<HTTPTransaction>(
        new HTTPTransaction(shared_from_this(), identifier, request, std::move(options), std::move(observer)));
    auto self = shared_from_this();
    asio::post(impl_->io, [self, transaction, key, plan = std::move(plan)]() mutable {
        if (transaction->isFinished()) return;
        std::shared_ptr<HTTPConnection> connection;
        auto range = self->impl_->idle.equal_range(key);
        // The most recently pooled connection first.
        std::vector<std::multimap<std::string, std::shared_ptr<HTTPConnection>>::iterator> candidates;
        for (auto it = range.first; it != range.second; ++it) candidates.push_back(it);
        for (auto it = candidates.rbegin(); it != candidates.rend() && !connection; ++it) {
            auto candidate = (*it)->second;
            self->impl_->idle.erase(*it);
            if (candidate->isUsable()) {
                connection = candidate;
            } else {
                candidate->close();
            }
        }
        self->impl_->idleCount = self->impl_->idle.size();
        if (!connection) {
            connection = std::make_shared<HTTPConnection>(self, self->impl_->io, key, self->nextConnectionSerial());
        }
        self->impl_->busy.insert(connection);
        connection->begin(transaction, std::move(plan));
    });
    return transaction;
}

void HTTPClientCore::returnToPool(const std::shared_ptr<HTTPConnection>& connection) {
    impl_->busy.erase(connection);
    impl_->idle.emplace(connection->key(), connection);
    impl_->idleCount = impl_->idle.size();
    connection->startIdleLifetime(kIdleConnectionLifetime);
}

void HTTPClientCore::removeFromPool(const HTTPConnection* connection) {
    for (auto it = impl_->busy.begin(); it != impl_->busy.end();) {
        it = it->get() == connection ? impl_->busy.erase(it) : std::next(it);
    }
    for (auto it = impl_->idle.begin(); it != impl_->idle.end();) {
        it = it->second.get() == connection ? impl_->idle.erase(it) : std::next(it);
    }
    impl_->idleCount = impl_->idle.size();
}

void HTTPClientCore::closeIdleConnectionOf(std::uint64_t transactionIdentifier, std::uint64_t connectionSerial) {
    for (auto it = impl_->idle.begin(); it != impl_->idle.end(); ++it) {
        auto connection = it->second;
        if (connection->serial() == connectionSerial && connection->lastTransaction() == transactionIdentifier) {
            impl_->idle.erase(it);
            impl_->idleCount = impl_->idle.size();
            connection->close();
            return;
        }
    }
}

void HTTPClientCore::closeIdleConnections() {
    auto self = shared_from_this();
    asio::post(impl_->io, [self]() {
        auto idle = std::move(self->impl_->idle);
        self->impl_->idle.clear();
        self->impl_->idleCount = 0;
        for (auto& entry : idle) entry.second->close();
    });
}

std::size_t HTTPClientCore::idleConnectionCount() const { return impl_->idleCount.load(); }

}  // namespace clipora::platform
