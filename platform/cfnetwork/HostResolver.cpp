#include "platform/cfnetwork/HostResolver.h"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>

#include "platform/cfnetwork/HTTPStreamError.h"

namespace clipora::platform {

namespace {

std::string lowered(std::string s) {
    for (auto& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    }
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

struct OverrideTable {
    std::mutex mutex;
    std::map<std::pair<std::string, std::uint16_t>, std::uint16_t> entries;  // (host, url port or 0) -> loopback port
};

OverrideTable& table() {
    // Never destroyed: the HTTP core's I/O thread reads it.
    static OverrideTable& t = *new OverrideTable;
    return t;
}

}  // namespace

void HostResolver::setOverride(const std::string& host, std::uint16_t loopbackPort) { setOverride(host, 0, loopbackPort); }

void HostResolver::setOverride(const std::string& host, std::uint16_t urlPort, std::uint16_t loopbackPort) {
    std::lock_guard lock(table().mutex);
    table().entries[{lowered(host), urlPort}] = loopbackPort;
}

void HostResolver::removeOverride(const std::string& host) {
    std::lock_guard lock(table().mutex);
    auto name = lowered(host);
    for (auto it = table().entries.begin(); it != table().entries.end();) {
        it = it->first.first == name ? table().entries.erase(it) : std::next(it);
    }
}

void HostResolver::removeAllOverrides() {
    std::lock_guard lock(table().mutex);
    table().entries.clear();
}

std::optional<boost::asio::ip::tcp::endpoint> HostResolver::overrideFor(const std::string& host, std::uint16_t port) {
    std::lock_guard lock(table().mutex);
    auto name = lowered(host);
    auto it = table().entries.find({name, port});
    if (it == table().entries.end()) it = table().entries.find({name, 0});
    if (it == table().entries.end()) return std::nullopt;
    return boost::asio::ip::tcp::endpoint(boost::asio::ip::address_v4::loopback(), it->second);
}

void HostResolver::resolve(boost::asio::io_context& io, const std::string& host, std::uint16_t port, Completion completion) {
    if (auto endpoint = overrideFor(host, port)) {
        boost::asio::post(io, [completion = std::move(completion), e = *endpoint]() { completion(std::nullopt, Endpoints{e}); });
        return;
    }
    boost::system::error_code ec;
    auto address = boost::asio::ip::make_address(host, ec);
    if (!ec) {
        boost::asio::post(io, [completion = std::move(completion), e = boost::asio::ip::tcp::endpoint(address, port)]() {
            completion(std::nullopt, Endpoints{e});
        });
        return;
    }
    auto resolver = std::make_shared<boost::asio::ip::tcp::resolver>(io);
    resolver->async_resolve(host, std::to_string(port),
                            [resolver, host, completion = std::move(completion)](
                                const boost::system::error_code& error,
                                boost::asio::ip::tcp::resolver::results_type results) {
                                if (error || results.empty()) {
                                    completion(HTTPStreamError::network(HTTPStreamError::kHostNotFound,
                                                                        "The host " + host + " could not be found"),
                                               {});
                                    return;
                                }
                                Endpoints endpoints;
                                for (const auto& r : results) endpoints.push_back(r.endpoint());
                                completion(std::nullopt, std::move(endpoints));
                            });
}

}  // namespace clipora::platform
