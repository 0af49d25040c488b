#include "platform/cfnetwork/ProxySettings.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/cfnetwork/HTTPClientCore.h"
#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/foundation/Log.h"

extern char** environ;

namespace clipora::platform {

namespace {

std::string lowered(std::string_view s) {
    std::string out(s);
    for (auto& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    }
    return out;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// What the PAC evaluator is started with: the environment this process
// started with, copied before any thread ran, and the evaluator's location
// found on that environment's PATH. Evaluations run on worker threads, and
// a worker that handed the spawn the live `environ` (or searched the live
// PATH, as posix_spawnp does) read strings that setenv() on another thread
// may be replacing and freeing at that moment; a copy nobody changes can be
// read from any thread.
struct EvaluatorLaunch {
    std::vector<std::string> variables;
    std::vector<char*> environment;  // into `variables`, null-terminated
    std::string searchPath;
};

const EvaluatorLaunch& evaluatorLaunch() {
    // Never destroyed: a detached evaluation may still start one at exit.
    static const EvaluatorLaunch* launch = [] {
        auto* made = new EvaluatorLaunch;
        for (char** variable = environ; variable && *variable; ++variable) made->variables.emplace_back(*variable);
        for (std::string& variable : made->variables) {
            made->environment.push_back(variable.data());
            if (variable.starts_with("PATH=")) made->searchPath = variable.substr(5);
        }
        made->environment.push_back(nullptr);
        // The C library's default search path when there is no PATH.
        if (made->searchPath.empty()) made->searchPath = "/bin:/usr/bin";
        return made;
    }();
    return *launch;
}

// Taken during start-up, before main() starts any thread.
[[maybe_unused]] const bool kEvaluatorLaunchTaken = (evaluatorLaunch(), true);

// The first executable `name` on the search path; empty when there is none.
std::string executableOnPath(const std::string& name, std::string_view searchPath) {
    while (true) {
        const auto colon = searchPath.find(':');
        std::string folder(searchPath.substr(0, colon));
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) return {};
        searchPath.remove_prefix(colon + 1);
    }
}

std::optional<std::string> environment(const char* lowerName) {
    if (const char* v = std::getenv(lowerName); v && *v) return std::string(v);
    std::string upper = lowerName;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (const char* v = std::getenv(upper.c_str()); v && *v) return std::string(v);
    return std::nullopt;
}

// "host:port" (with [v6] brackets) into its parts.
bool splitHostPort(std::string_view text, std::string& host, std::optional<std::uint16_t>& port) {
    std::string_view portText;
    if (!text.empty() && text.front() == '[') {
        auto close = text.find(']');
        if (close == std::string_view::npos) return false;
        host = std::string(text.substr(1, close - 1));
        text.remove_prefix(close + 1);
        if (!text.empty()) {
            if (text.front() != ':') return false;
            portText = text.substr(1);
        }
    } else {
        auto colon = text.rfind(':');
        host = std::string(text.substr(0, colon));
        if (colon != std::string_view::npos) portText = text.substr(colon + 1);
    }
    if (host.empty()) return false;
    if (!portText.empty()) {
        unsigned long value = 0;
        for (char c : portText) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + static_cast<unsigned long>(c - '0');
            if (value > 65535) return false;
        }
        if (value == 0) return false;
        port = static_cast<std::uint16_t>(value);
    }
    return true;
}

// Never destroyed: URL loading on background threads reads it, also while
// statics are destroyed at exit.
std::shared_ptr<const ProxySettings>& injected() {
    static std::shared_ptr<const ProxySettings>& settings = *new std::shared_ptr<const ProxySettings>;
    return settings;
}

std::mutex& injectedMutex() {
    static std::mutex m;
    return m;
}

// The machine's first non-loopback IPv4 address, for the PAC helper
// myIpAddress() (found without a DNS look-up).
std::string localAddress() {
    ifaddrs* list = nullptr;
    std::string address = "127.0.0.1";
    if (getifaddrs(&list) != 0) return address;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || (i->ifa_flags & IFF_LOOPBACK) ||
            !(i->ifa_flags & IFF_UP))
            continue;
        char text[INET_ADDRSTRLEN];
        auto* in = reinterpret_cast<sockaddr_in*>(i->ifa_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) {
            address = text;
            break;
        }
    }
    freeifaddrs(list);
    return address;
}

// Collects a transaction's body for a blocking caller.
class BlockingReader : public HTTPTransactionObserver {
public:
    void httpTransactionChanged(HTTPTransaction&) override {
        std::lock_guard lock(mutex);
        ++changes;
        condition.notify_all();
    }
    std::mutex mutex;
    std::condition_variable condition;
    std::uint64_t changes = 0;
};

std::optional<std::string> fetchOverHTTP(const URL& url, double timeLimit) {
    auto request = HTTPMessage::createRequest("GET", url);
    if (!request) return std::nullopt;
    auto reader = std::make_shared<BlockingReader>();
    HTTPTransactionOptions options;
    options.persistentConnection = false;
    options.inactivityTimeout = timeLimit;
    auto transaction = HTTPClientCore::shared()->start(request, options, reader);
    if (!transaction) return std::nullopt;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                           std::chrono::duration<double>(timeLimit));
    std::string script;
    std::vector<std::uint8_t> buffer(64 * 1024);
    std::uint64_t seen = 0;
    for (;;) {
        for (;;) {
            auto n = transaction->read(buffer.data(), buffer.size());
            if (n <= 0) break;
            script.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n));
            if (script.size() > ProxySettings::kMaxPACScriptSize) {
                transaction->cancel();
                return std::nullopt;
            }
        }
        if (transaction->error()) return std::nullopt;
        if (transaction->atEnd()) break;
        std::unique_lock lock(reader->mutex);
        if (!reader->condition.wait_until(lock, deadline, [&]() { return reader->changes != seen; })) {
            transaction->cancel();
            return std::nullopt;
        }
        seen = reader->changes;
    }
    auto response = transaction->response();
    transaction->release(true);
    if (!response || response->responseStatusCode() != 200) return std::nullopt;
    return script;
}

}  // namespace

HTTPProxy ProxyEntry::transactionProxy() const {
    HTTPProxy proxy;
    switch (type) {
    case Type::HTTP:
    case Type::HTTPS: proxy.type = HTTPProxy::Type::HTTP; break;
    case Type::SOCKS: proxy.type = HTTPProxy::Type::SOCKS; break;
    default: return proxy;
    }
    proxy.host = host;
    proxy.port = port;
    return proxy;
}

std::optional<ProxyEntry> ProxySettings::parseProxyValue(std::string_view value) {
    value = trimmed(value);
    if (value.empty()) return std::nullopt;
    ProxyEntry entry;
    entry.type = ProxyEntry::Type::HTTP;
    std::uint16_t defaultPort = 1080;
    if (auto scheme = value.find("://"); scheme != std::string_view::npos) {
        std::string name = lowered(value.substr(0, scheme));
        if (name == "socks5" || name == "socks5h" || name == "socks") {
            entry.type = ProxyEntry::Type::SOCKS;
        } else if (name == "http") {
            defaultPort = 80;
        } else {
            return std::nullopt;  // TLS to the proxy itself and SOCKS4 are not spoken
        }
        value.remove_prefix(scheme + 3);
    }
    value = value.substr(0, value.find('/'));
    if (auto at = value.rfind('@'); at != std::string_view::npos) value.remove_prefix(at + 1);
    std::optional<std::uint16_t> port;
    if (!splitHostPort(value, entry.host, port)) return std::nullopt;
    entry.port = port.value_or(defaultPort);
    return entry;
}

ProxySettings ProxySettings::fromEnvironment() {
    ProxySettings settings;
    if (auto v = environment("http_proxy")) settings.httpProxy = parseProxyValue(*v);
    if (auto v = environment("https_proxy")) settings.httpsProxy = parseProxyValue(*v);
    if (auto v = environment("all_proxy")) settings.allProxy = parseProxyValue(*v);
    if (auto v = environment("no_proxy")) {
        std::string_view list = *v;
        while (!list.empty()) {
            auto comma = list.find_first_of(", ");
            auto item = trimmed(list.substr(0, comma));
            if (!item.empty()) settings.noProxy.emplace_back(item);
            if (comma == std::string_view::npos) break;
            list.remove_prefix(comma + 1);
        }
    }
    if (const char* pac = std::getenv(kPACURLVariable); pac && *pac) settings.pacURL = pac;
    return settings;
}

std::shared_ptr<const ProxySettings> ProxySettings::systemProxySettings() {
    {
        std::lock_guard lock(injectedMutex());
        if (injected()) return injected();
    }
    return std::make_shared<const ProxySettings>(fromEnvironment());
}

void ProxySettings::setSystemProxySettings(std::shared_ptr<const ProxySettings> settings) {
    std::lock_guard lock(injectedMutex());
    injected() = std::move(settings);
}

bool ProxySettings::bypasses(const URL& url) const {
    std::string host = lowered(url.host());
    const int port = url.effectivePort();
    for (const auto& raw : noProxy) {
        if (raw == "*") return true;
        std::string pattern = lowered(raw);
        std::optional<std::uint16_t> patternPort;
        std::string patternHost;
        if (!splitHostPort(pattern, patternHost, patternPort)) continue;
        if (patternPort && *patternPort != port) continue;
        if (patternHost.rfind("*.", 0) == 0) patternHost.erase(0, 1);
        if (!patternHost.empty() && patternHost.front() == '.') patternHost.erase(0, 1);
        if (host == patternHost) return true;
        if (host.size() > patternHost.size() && host.ends_with("." + patternHost)) return true;
    }
    return false;
}

std::vector<ProxyEntry> ProxySettings::proxiesForURL(const URL& url) const {
    if (pacURL) {
        ProxyEntry entry;
        entry.type = ProxyEntry::Type::AutoConfigurationURL;
        entry.pacURL = *pacURL;
        return {entry};
    }
    if (bypasses(url)) return {};
    bool secure = lowered(url.scheme()) == "https";
    std::optional<ProxyEntry> chosen = secure ? httpsProxy : httpProxy;
    if (!chosen) chosen = allProxy;
    if (!chosen || chosen->type == ProxyEntry::Type::None) return {};
    ProxyEntry entry = *chosen;
    if (entry.type == ProxyEntry::Type::HTTP && secure) entry.type = ProxyEntry::Type::HTTPS;
    return {entry};
}

std::vector<ProxyEntry> ProxySettings::parsePACAnswer(std::string_view answer, const URL& url) {
    std::vector<ProxyEntry> entries;
    bool secure = lowered(url.scheme()) == "https";
    while (!answer.empty()) {
        auto semicolon = answer.find(';');
        auto item = trimmed(answer.substr(0, semicolon));
        answer.remove_prefix(semicolon == std::string_view::npos ? answer.size() : semicolon + 1);
        auto space = item.find_first_of(" \t");
        std::string keyword = lowered(item.substr(0, space));
        auto where = space == std::string_view::npos ? std::string_view() : trimmed(item.substr(space));
        ProxyEntry entry;
        if (keyword == "direct") {
            entries.push_back(entry);
            continue;
        }
        if (keyword == "proxy") {
            entry.type = secure ? ProxyEntry::Type::HTTPS : ProxyEntry::Type::HTTP;
        } else if (keyword == "socks" || keyword == "socks5") {
            entry.type = ProxyEntry::Type::SOCKS;
        } else {
            continue;  // HTTPS (TLS to the proxy) and SOCKS4 proxies are not spoken
        }
        std::optional<std::uint16_t> port;
        if (!splitHostPort(where, entry.host, port)) continue;
        entry.port = port.value_or(entry.type == ProxyEntry::Type::SOCKS ? 1080 : 80);
        entries.push_back(entry);
    }
    return entries;
}

std::optional<std::vector<ProxyEntry>> ProxySettings::proxiesForPACScript(std::string_view script, const URL& url,
                                                                          std::optional<Error>* error,
                                                                          double timeLimit) {
    auto fail = [&](std::string text) -> std::optional<std::vector<ProxyEntry>> {
        if (error) *error = HTTPStreamError::network(HTTPStreamError::kPACFileError, std::move(text));
        return std::nullopt;
    };
    if (script.size() > kMaxPACScriptSize) return fail("The proxy auto-configuration script is larger than 1 MiB");

    // The script goes in on standard input (a socket, so that a child that
    // quits early cannot raise SIGPIPE here), the answer comes back on
    // standard output.
    int input[2];
    int output[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0)
        return fail("Cannot run the proxy auto-configuration script");
    if (::pipe2(output, O_CLOEXEC) != 0) {
        ::close(input[0]);
        ::close(input[1]);
        return fail("Cannot run the proxy auto-configuration script");
    }
    std::string urlText = url.absoluteString();
    std::string hostText = url.host();
    std::string myAddress = localAddress();
    std::vector<std::string> arguments = {kPACEvaluator, "-p", "-", "-u", urlText, "-h", hostText, "-c", myAddress};
    std::vector<char*> argv;
    for (auto& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    const EvaluatorLaunch& launch = evaluatorLaunch();
    const std::string evaluator = executableOnPath(kPACEvaluator, launch.searchPath);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[1], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int spawned = evaluator.empty() ? ENOENT
                                    : ::posix_spawn(&pid, evaluator.c_str(), &actions, nullptr, argv.data(),
                                                    launch.environment.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[1]);
    ::close(output[1]);
    if (spawned != 0) {
        ::close(input[0]);
        ::close(output[0]);
        Log::write(std::string("Proxy auto-configuration: cannot start ") + kPACEvaluator);
        return fail("Cannot run the proxy auto-configuration script");
    }

    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                           std::chrono::duration<double>(timeLimit));
    ::fcntl(input[0], F_SETFL, ::fcntl(input[0], F_GETFL) | O_NONBLOCK);
    std::string_view pending = script;
    bool inputOpen = true;
    if (pending.empty()) {
        ::close(input[0]);
        inputOpen = false;
    }
    std::string answer;
    bool overran = false;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            overran = true;
            break;
        }
        pollfd p[2] = {{output[0], POLLIN, 0}, {inputOpen ? input[0] : -1, POLLOUT, 0}};
        int ready = ::poll(p, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (inputOpen && (p[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = ::send(input[0], pending.data(), pending.size(), MSG_NOSIGNAL);
            if (n > 0) pending.remove_prefix(static_cast<std::size_t>(n));
            if (n < 0 && errno != EAGAIN && errno != EINTR) pending = {};
            if (pending.empty()) {
                ::close(input[0]);
                inputOpen = false;
            }
        }
        if (p[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[4096];
            ssize_t n = ::read(output[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            answer.append(buffer, static_cast<std::size_t>(n));
            if (answer.size() > 64 * 1024) {
                overran = true;
                break;
            }
        }
    }
    if (inputOpen) ::close(input[0]);
    ::close(output[0]);
    if (overran) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (overran) return fail("The proxy auto-configuration script ran too long");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return fail("The proxy auto-configuration script failed");
    auto entries = parsePACAnswer(answer, url);
    if (entries.empty()) return fail("The proxy auto-configuration script gave no usable answer");
    return entries;
}

std::optional<std::string> ProxySettings::fetchPACScript(const std::string& pacURL, double timeLimit) {
    std::string path;
    auto url = URL::fromString(pacURL);
    if (url && (lowered(url->scheme()) == "http" || lowered(url->scheme()) == "https")) {
        return fetchOverHTTP(*url, timeLimit);
    }
    if (url && url->isFileURL()) {
        path = url->path();
    } else if (!pacURL.empty() && pacURL.front() == '/') {
        path = pacURL;
    } else {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string script(kMaxPACScriptSize + 1, '\0');
    in.read(script.data(), static_cast<std::streamsize>(script.size()));
    script.resize(static_cast<std::size_t>(in.gcount()));
    if (script.size() > kMaxPACScriptSize) return std::nullopt;
    return script;
}

void ProxySettings::resolveProxiesForURL(const URL& url, std::function<void(std::vector<ProxyEntry>)> completion) {
    auto settings = systemProxySettings();
    std::thread([settings, url, completion = std::move(completion)]() {
        auto entries = settings->proxiesForURL(url);
        if (!entries.empty() && entries.front().type == ProxyEntry::Type::AutoConfigurationURL) {
            std::vector<ProxyEntry> answer;
            if (auto script = fetchPACScript(entries.front().pacURL)) {
                if (auto found = proxiesForPACScript(*script, url)) answer = std::move(*found);
            } else {
                Log::write("Proxy auto-configuration script unavailable; connecting directly");
            }
            entries = std::move(answer);
        }
        completion(std::move(entries));
    }).detach();
}

}  // namespace clipora::platform
