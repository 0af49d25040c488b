#include "tools/standin/StandinServer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>  // mkdtemp
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

// cpp-httplib only through the test support header, so that every user
// sees the same TLS configuration.
#include "platform/foundation/Text.h"
#include "tools/loopback/LoopbackServer.h"
#include "tools/loopback/TestCA.h"

#include "platform/cfnetwork/HostResolver.h"
#include "platform/cfnetwork/TLSTrust.h"
#include "tools/standin/MultipartForm.h"
#include "tools/standin/StandinGraph.h"
#include "tools/standin/StandinMaker.h"
#include "tools/standin/StandinReply.h"
#include "tools/standin/StandinRest.h"
#include "tools/standin/StandinText.h"
#include "tools/standin/StandinWeb.h"

#ifndef CLIPORA_STANDIN_DATA_FILE
#define CLIPORA_STANDIN_DATA_FILE "tools/standin/data.json"
#endif

namespace clipora::standin {

namespace {

// The header that keeps a multipart request's real Content-Type while the
// HTTP library reads its body as plain bytes (see Impl::install).
constexpr const char* kHiddenContentType = "X-Standin-Content-Type";

StandinHosts makeHosts(const StandinServer::Options& options) {
    StandinHosts hosts(options.domain);
    for (const auto& [role, name] : options.hostNames) hosts.setName(role, name);
    return hosts;
}

std::filesystem::path makeTemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "clipora-standin-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("stand-in: cannot make a temporary folder");
    return std::filesystem::path(buffer.data());
}

}  // namespace

struct StandinServer::Impl {
    struct KnobEntry {
        std::string path;
        std::optional<StandinHost> role;
        StandinKnob knob;
    };

    explicit Impl(Options opts)
        : options(std::move(opts)), hosts(makeHosts(options)), data(hosts), rest(data), graph(data), web(data),
          maker(data) {}

    Options options;
    StandinHosts hosts;
    StandinData data;
    StandinRest rest;
    StandinGraph graph;
    StandinWeb web;
    StandinMaker maker;

    std::filesystem::path directory;
    bool ownsDirectory = false;
    std::unique_ptr<loopback::TestCA> ca;
    // While the server runs with trustCA: the extra CA file trusted before.
    bool trusting = false;
    std::optional<std::string> previousCAFile;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    std::uint16_t port = 0;
    std::string meToken;

    mutable std::mutex mutex;  // knobs, log, holding
    std::condition_variable wake;
    std::vector<KnobEntry> knobs;
    std::vector<StandinRequest> log;
    std::uint64_t releaseGeneration = 0;
    std::size_t held = 0;
    bool stopping = false;

    void install();
    void serve(const httplib::Request& req, httplib::Response& res, std::string body);
    StandinRequest describe(const httplib::Request& req, std::string body) const;
    std::optional<StandinKnob> takeKnob(const StandinRequest& request);
    StandinReply dispatch(const StandinRequest& request);
    // Waits for `duration` (or, with `hold`, for a release); false when the
    // server stops meanwhile.
    bool wait(std::chrono::milliseconds duration, bool hold);
};

StandinRequest StandinServer::Impl::describe(const httplib::Request& req, std::string body) const {
    StandinRequest request;
    request.hostHeader = req.get_header_value("Host");
    request.host = hosts.roleFor(request.hostHeader);
    request.method = req.method;
    request.path = req.path;
    request.target = req.target;
    for (const auto& [name, value] : req.headers) {
        std::string key = platform::Text::lowercase(name);
        if (key == platform::Text::lowercase(kHiddenContentType)) key = "content-type";
        request.headers[key] = value;
    }
    // The query, decoded by hand: the library's own reading is lenient.
    if (auto q = req.target.find('?'); q != std::string::npos) {
        std::string text = req.target.substr(q + 1);
        if (auto hash = text.find('#'); hash != std::string::npos) text.erase(hash);
        if (auto parsed = StandinText::parseForm(text)) {
            request.query = *parsed;
        } else {
            request.bodyError = "the query has a malformed percent escape";
        }
    }
    std::string contentType = request.header("content-type");
    std::string type = platform::Text::lowercase(contentType.substr(0, contentType.find(';')));
    while (!type.empty() && type.back() == ' ') type.pop_back();
    if (type == "multipart/form-data") {
        std::string problem;
        if (auto form = MultipartForm::parse(contentType, body, problem)) {
            for (const auto& part : form->parts()) {
                if (part.filename) {
                    request.files.push_back({part.name, *part.filename, part.contentType, part.data});
                } else {
                    request.form[part.name] = part.data;
                }
            }
        } else {
            request.bodyError = problem;
        }
    } else if (type == "application/x-www-form-urlencoded") {
        if (auto parsed = StandinText::parseForm(body)) {
            request.form = *parsed;
        } else {
            request.bodyError = "the form has a malformed percent escape";
        }
    }
    request.params = request.query;
    for (const auto& [key, value] : request.form) request.params[key] = value;
    request.body = std::move(body);
    return request;
}

std::optional<StandinKnob> StandinServer::Impl::takeKnob(const StandinRequest& request) {
    std::lock_guard lock(mutex);
    // The most specific knob wins: an exact path over a prefix, a longer
    // prefix over a shorter one, and one for this host over one for all.
    KnobEntry* best = nullptr;
    std::size_t bestScore = 0;
    for (auto& entry : knobs) {
        if (entry.role && entry.role != request.host) continue;
        std::size_t score = 0;
        if (entry.path == request.path) {
            score = 1u << 20;
        } else if (!entry.path.empty() && entry.path.back() == '*' &&
                   platform::Text::hasPrefix(request.path,
                                             std::string_view(entry.path).substr(0, entry.path.size() - 1))) {
            score = entry.path.size();
        } else {
            continue;
        }
        score = score * 2 + (entry.role ? 1 : 0);
        if (!best || score > bestScore) {
            best = &entry;
            bestScore = score;
        }
    }
    if (!best) return std::nullopt;
    StandinKnob knob = best->knob;
    if (best->knob.times > 0 && --best->knob.times == 0) {
        knobs.erase(knobs.begin() + (best - knobs.data()));
    }
    return knob;
}

bool StandinServer::Impl::wait(std::chrono::milliseconds duration, bool hold) {
    std::unique_lock lock(mutex);
    if (hold) {
        std::uint64_t generation = releaseGeneration;
        ++held;
        wake.wait(lock, [&] { return stopping || releaseGeneration != generation; });
        --held;
    }
    if (duration.count() > 0) wake.wait_for(lock, duration, [&] { return stopping; });
    return !stopping;
}

StandinReply StandinServer::Impl::dispatch(const StandinRequest& request) {
    if (!request.host) {
        return StandinReply::errorPage(404, "No host of the stand-in is called \"" + request.hostHeader + "\".");
    }
    switch (*request.host) {
    case StandinHost::Rest: return rest.handle(request);
    case StandinHost::Graph: return graph.handle(request, false);
    case StandinHost::VideoGraph: return graph.handle(request, true);
    case StandinHost::Web:
    case StandinHost::Www:
    case StandinHost::Login: return web.handle(request);
    case StandinHost::Maker: return maker.handle(request);
    }
    return StandinReply::errorPage(404, "Unknown host.");
}

void StandinServer::Impl::serve(const httplib::Request& req, httplib::Response& res, std::string body) {
    StandinRequest request = describe(req, std::move(body));
    {
        std::lock_guard lock(mutex);
        log.push_back(request);
    }
    std::optional<StandinKnob> knob = takeKnob(request);
    if (knob && (knob->hold || knob->delay.count() > 0) && !wait(knob->delay, knob->hold)) {
        res.status = 503;
        res.set_content("The stand-in is stopping.", "text/plain");
        return;
    }

    StandinReply reply;
    if (knob && (knob->status != 0 || knob->body)) {
        int status = knob->status != 0 ? knob->status : 200;
        if (knob->body) {
            reply = StandinReply::json(*knob->body, status);
        } else {
            reply = StandinReply::errorPage(status, "The server could not answer this request.");
        }
    } else {
        try {
            reply = dispatch(request);
        } catch (const std::exception& e) {
            reply = StandinReply::errorPage(500, std::string("The stand-in failed: ") + e.what());
        }
    }
    if (knob && knob->contentType) reply.contentType = *knob->contentType;
    if (knob) {
        for (const auto& header : knob->headers) {
            const std::string lowered = platform::Text::lowercase(header.first);
            reply.headers.erase(
                std::remove_if(reply.headers.begin(), reply.headers.end(),
                               [&](const auto& h) { return platform::Text::lowercase(h.first) == lowered; }),
                reply.headers.end());
            reply.headers.emplace_back(header.first, header.second);
        }
    }

    // Left unset for 200, the library answers a Range request with 206 and
    // the part asked for (the download engine resumes that way).
    if (reply.status != 200) res.status = reply.status;
    for (const auto& [name, value] : reply.headers) {
        if (platform::Text::lowercase(name) == "content-type") {
            reply.contentType = value;
            continue;
        }
        res.headers.emplace(name, value);
    }
    // A video goes out in small pieces, each its own TLS record, so that a
    // client on a slow link can show its progress as the bytes arrive
    // (a single record of the whole file is only readable once all of it
    // is in). A range request is left to the library.
    const bool video = platform::Text::hasPrefix(reply.contentType, "video/") && !req.has_header("Range");
    const bool shaped = knob && (knob->truncateAfter || knob->bodyDelay.count() > 0 || knob->tricklePiece > 0);
    if (!shaped && !video) {
        res.set_content(reply.body, reply.contentType.c_str());
        return;
    }
    auto shared = std::make_shared<std::string>(std::move(reply.body));
    const std::size_t send =
        knob && knob->truncateAfter ? std::min(*knob->truncateAfter, shared->size()) : shared->size();
    const bool truncated = send < shared->size();
    const auto bodyDelay = knob ? knob->bodyDelay : std::chrono::milliseconds(0);
    constexpr std::size_t kVideoPiece = 1024;
    const bool trickle = knob && knob->tricklePiece > 0;
    const std::size_t piece = trickle ? knob->tricklePiece : kVideoPiece;
    const auto interval = trickle ? knob->trickleInterval : std::chrono::milliseconds(0);
    res.set_content_provider(shared->size(), reply.contentType,
                             [this, shared, send, truncated, bodyDelay, piece, interval](
                                 std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                 if (offset == 0 && bodyDelay.count() > 0 && !wait(bodyDelay, false)) return false;
                                 if (offset > 0 && interval.count() > 0 && !wait(interval, false)) return false;
                                 // Giving up mid-body makes the library close the connection.
                                 if (offset >= send) return !truncated;
                                 return sink.write(shared->data() + offset, std::min(piece, send - offset));
                             });
}

void StandinServer::Impl::install() {
    // The library reads multipart bodies with its own lenient parser and
    // gives no way to the raw bytes; hiding the type until routing lets
    // the stand-in read them strictly itself.
    server->set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        auto& request = const_cast<httplib::Request&>(req);
        std::string type = request.get_header_value("Content-Type");
        if (platform::Text::hasPrefix(platform::Text::lowercase(type), "multipart/")) {
            request.headers.erase("Content-Type");
            request.headers.emplace(kHiddenContentType, type);
            request.headers.emplace("Content-Type", "application/octet-stream");
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server->set_payload_max_length(options.maxBodyBytes);
    // One request per connection: the library's stop() otherwise waits out
    // the keep-alive time-out of every connection a client left open.
    server->set_keep_alive_max_count(1);
    auto plain = [this](const httplib::Request& req, httplib::Response& res) { serve(req, res, req.body); };
    auto reading = [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        std::string body;
        reader([&](const char* bytes, std::size_t length) {
            body.append(bytes, length);
            return true;
        });
        serve(req, res, std::move(body));
    };
    server->Get(".*", plain);
    server->Post(".*", reading);
    server->Put(".*", reading);
    server->Delete(".*", reading);
}

StandinServer::StandinServer() : StandinServer(Options()) {}

StandinServer::StandinServer(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {
    Impl& d = *impl_;
    d.data.load(d.options.dataFile.empty() ? defaultDataFile() : d.options.dataFile);
    if (!d.options.stateFile.empty()) d.data.setStateFile(d.options.stateFile);
    d.meToken = d.data.issueToken(d.data.meUid(), 0);
}

StandinServer::~StandinServer() {
    stop();
    impl_->ca.reset();
    if (impl_->ownsDirectory) {
        std::error_code ignored;
        std::filesystem::remove_all(impl_->directory, ignored);
    }
}

std::filesystem::path StandinServer::defaultDataFile() { return CLIPORA_STANDIN_DATA_FILE; }

void StandinServer::start() {
    Impl& d = *impl_;
    if (d.thread.joinable()) return;
    if (!d.ca) {
        if (d.options.directory.empty()) {
            d.directory = makeTemporaryFolder();
            d.ownsDirectory = true;
        } else {
            d.directory = d.options.directory;
            std::filesystem::create_directories(d.directory);
        }
        d.ca = std::make_unique<loopback::TestCA>(d.directory, d.hosts.names());
    }
    if (d.options.trustCA) {
        d.previousCAFile = platform::TLSTrust::setExtraCAFile(d.ca->caFile().string());
        d.trusting = true;
    }
    d.server = std::make_unique<httplib::SSLServer>(d.ca->server().certificateFile.c_str(),
                                                    d.ca->server().privateKeyFile.c_str());
    if (!d.server->is_valid()) throw std::runtime_error("stand-in: the server certificate does not load");
    d.install();
    {
        std::lock_guard lock(d.mutex);
        d.stopping = false;
    }
    int port = d.options.port == 0 ? d.server->bind_to_any_port("127.0.0.1")
                                   : (d.server->bind_to_port("127.0.0.1", d.options.port) ? d.options.port : -1);
    if (port <= 0) throw std::runtime_error("stand-in: cannot bind 127.0.0.1:" + std::to_string(d.options.port));
    d.port = static_cast<std::uint16_t>(port);
    d.thread = std::thread([&d] { d.server->listen_after_bind(); });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!d.server->is_running() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    if (d.options.overrideResolver) {
        for (const auto& name : d.hosts.names()) platform::HostResolver::setOverride(name, d.port);
    }
}

void StandinServer::stop() {
    Impl& d = *impl_;
    if (!d.thread.joinable()) return;
    {
        std::lock_guard lock(d.mutex);
        d.stopping = true;
    }
    d.wake.notify_all();
    d.server->stop();
    d.thread.join();
    d.server.reset();
    if (d.options.overrideResolver) {
        for (const auto& name : d.hosts.names()) platform::HostResolver::removeOverride(name);
    }
    if (d.trusting) {
        platform::TLSTrust::setExtraCAFile(std::exchange(d.previousCAFile, std::nullopt));
        d.trusting = false;
    }
}

bool StandinServer::isRunning() const { return impl_->thread.joinable(); }

std::uint16_t StandinServer::port() const { return impl_->port; }

const StandinHosts& StandinServer::hosts() const { return impl_->hosts; }

std::string StandinServer::hostName(StandinHost role) const { return impl_->hosts.name(role); }

std::string StandinServer::baseURL(StandinHost role) const { return impl_->hosts.baseURL(role); }

std::string StandinServer::url(StandinHost role, const std::string& path) const {
    return "https://" + impl_->hosts.name(role) + ":" + std::to_string(impl_->port) + path;
}

std::filesystem::path StandinServer::caFile() const {
    return impl_->ca ? impl_->ca->caFile() : std::filesystem::path();
}

std::string StandinServer::caPEM() const { return impl_->ca ? impl_->ca->caPEM() : std::string(); }

void StandinServer::setKnob(const std::string& path, StandinKnob knob, std::optional<StandinHost> role) {
    std::lock_guard lock(impl_->mutex);
    auto& knobs = impl_->knobs;
    knobs.erase(std::remove_if(knobs.begin(), knobs.end(),
                               [&](const Impl::KnobEntry& e) { return e.path == path && e.role == role; }),
                knobs.end());
    if (knob.times != 0) knobs.push_back({path, role, std::move(knob)});
}

void StandinServer::clearKnob(const std::string& path, std::optional<StandinHost> role) {
    std::lock_guard lock(impl_->mutex);
    auto& knobs = impl_->knobs;
    knobs.erase(std::remove_if(knobs.begin(), knobs.end(),
                               [&](const Impl::KnobEntry& e) { return e.path == path && e.role == role; }),
                knobs.end());
}

void StandinServer::clearKnobs() {
    std::lock_guard lock(impl_->mutex);
    impl_->knobs.clear();
}

void StandinServer::releaseHeld() {
    {
        std::lock_guard lock(impl_->mutex);
        ++impl_->releaseGeneration;
    }
    impl_->wake.notify_all();
}

std::size_t StandinServer::heldCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->held;
}

std::vector<StandinRequest> StandinServer::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->log;
}

std::vector<StandinRequest> StandinServer::requestsTo(const std::string& path, std::optional<StandinHost> role) const {
    std::lock_guard lock(impl_->mutex);
    std::vector<StandinRequest> out;
    for (const auto& request : impl_->log) {
        if (request.path == path && (!role || request.host == role)) out.push_back(request);
    }
    return out;
}

void StandinServer::clearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->log.clear();
}

StandinData& StandinServer::data() { return impl_->data; }

std::string StandinServer::meUid() const { return impl_->data.meUid(); }

std::string StandinServer::accessToken() const { return impl_->meToken; }

std::string StandinServer::issueToken(const std::string& uid, double lifetime) {
    return impl_->data.issueToken(uid, lifetime);
}

void StandinServer::revokeToken(const std::string& token) { impl_->data.revokeToken(token); }

void StandinServer::setTokenLifetime(double seconds) { impl_->data.setTokenLifetime(seconds); }

std::vector<std::string> StandinServer::signIn(const std::string& uid) {
    return StandinWeb::sessionCookies(impl_->data, uid);
}

void StandinServer::signOutEveryone() { impl_->data.closeAllSessions(); }

}  // namespace clipora::standin
