#include "platform/cfnetwork/HostResolver.h"

#include <memory>
#include <utility>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>

#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/system/HostTable.h"

namespace clipora::platform {

void HostResolver::setOverride(const std::string& host, std::uint16_t loopbackPort) {
    setOverride(host, 0, loopbackPort);
}

void HostResolver::setOverride(const std::string& host, std::uint16_t urlPort, std::uint16_t loopbackPort) {
    HostTable::set(host, urlPort, loopbackPort);
}

void HostResolver::removeOverride(const std::string& host) { HostTable::remove(host); }

void HostResolver::removeAllOverrides() { HostTable::removeAll(); }

std::optional<boost::asio::ip::tcp::endpoint> HostResolver::overrideFor(const std::string& host, std::uint16_t port) {
    auto loopbackPort = HostTable::loopbackPortFor(host, port);
    if (!loopbackPort) return std::nullopt;
    return boost::asio::ip::tcp::endpoint(boost::asio::ip::address_v4::loopback(), *loopbackPort);
}

void HostResolver::resolve(boost::asio::io_context& io, const std::string& host, std::uint16_t port,
                           Completion completion) {
    if (auto endpoint = overrideFor(host, port)) {
        boost::asio::post(
            io, [completion = std::move(completion), e = *endpoint]() { completion(std::nullopt, Endpoints{e}); });
        return;
    }
    boost::system::error_code ec;
    auto address = boost::asio::ip::make_address(host, ec);
    if (!ec) {
        boost::asio::post(io,
                          [completion = std::move(completion), e = boost::asio::ip::tcp::endpoint(address, port)]() {
                              completion(std::nullopt, Endpoints{e});
                          });
        return;
    }
    auto resolver = std::make_shared<boost::asio::ip::tcp::resolver>(io);
    resolver->async_resolve(
        host, std::to_string(port),
        [resolver, host, completion = std::move(completion)](const boost::system::error_code& error,
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
