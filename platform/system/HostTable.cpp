#include "platform/system/HostTable.h"

#include <iterator>
#include <map>
#include <mutex>
#include <utility>

namespace clipora::platform {

namespace {

std::string lowered(std::string s) {
    for (auto& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    }
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

struct Table {
    std::mutex mutex;
    std::map<std::pair<std::string, std::uint16_t>, std::uint16_t> entries;  // (host, url port or 0) -> loopback port
};

Table& table() {
    // Never destroyed: the HTTP core's I/O thread reads it.
    static Table& t = *new Table;
    return t;
}

}  // namespace

void HostTable::set(const std::string& host, std::uint16_t urlPort, std::uint16_t loopbackPort) {
    std::lock_guard lock(table().mutex);
    table().entries[{lowered(host), urlPort}] = loopbackPort;
}

void HostTable::remove(const std::string& host) {
    std::lock_guard lock(table().mutex);
    auto name = lowered(host);
    for (auto it = table().entries.begin(); it != table().entries.end();) {
        it = it->first.first == name ? table().entries.erase(it) : std::next(it);
    }
}

void HostTable::removeAll() {
    std::lock_guard lock(table().mutex);
    table().entries.clear();
}

std::optional<std::uint16_t> HostTable::loopbackPortFor(const std::string& host, std::uint16_t port) {
    std::lock_guard lock(table().mutex);
    auto name = lowered(host);
    auto it = table().entries.find({name, port});
    if (it == table().entries.end()) it = table().entries.find({name, 0});
    if (it == table().entries.end()) return std::nullopt;
    return it->second;
}

}  // namespace clipora::platform
