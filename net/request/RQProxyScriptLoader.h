#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/cfnetwork/ProxySettings.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/StreamDelegate.h"
#include "platform/foundation/Timer.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Which proxy one request goes through when it has none of its own: what
// the system's settings say for its URL, and, when that (or the request)
// names a proxy auto-configuration script, one load of that script — read
// from a local file or fetched over HTTP — and its answer, found by
// RQProxyResolver off the network thread.
//
// Contract:
// - Ownership: a request holds the loader of its current load (and drops
//   it to cancel); everything the loader hands out refers to it weakly, so
//   dropping it cancels the load: the file stream is closed and the fetch
//   is cancelled. Cancel on the request's thread when it can.
// - Threads: start() and cancel() run on the request's thread, whose run
//   loop (in the request's mode) reads a local file and times it out.
//   `done` runs on the request's thread (through `hop`), exactly once
//   unless the load is cancelled first: with the proxy the script names,
//   or none (no script, a script that cannot be read, is larger than
//   ProxySettings::kMaxPACScriptSize, or names no proxy).
// - The engine fetches a script over HTTP (the loader knows no request
//   class): `fetch` starts that fetch, calls back with the text (none when
//   the fetch failed) on any thread, and answers a function that cancels
//   it.
class RQProxyScriptLoader : public platform::StreamDelegate, public std::enable_shared_from_this<RQProxyScriptLoader> {
public:
    using Done = std::function<void(std::optional<platform::ProxyEntry> proxy)>;
    using ScriptArrived = std::function<void(std::optional<std::string> script)>;
    using Fetch = std::function<std::function<void()>(const platform::URL& script, ScriptArrived arrived)>;
    using Hop = std::function<void(std::function<void()> task)>;

    // What the system's proxy settings say for `url`: go directly, through
    // `proxy`, or ask the script at `scriptURL`. `unavailable` when there
    // are no settings to read.
    struct SystemChoice {
        std::optional<platform::ProxyEntry> proxy;
        std::optional<platform::URL> scriptURL;
        bool unavailable = false;
    };
    static SystemChoice systemChoice(const platform::URL& url);

    struct Load {
        platform::URL scriptURL;
        platform::URL requestURL;  // the URL the script is asked about
        double timeOutSeconds = 10;
        std::string runLoopMode;
    };
    static std::shared_ptr<RQProxyScriptLoader> start(Load load, Fetch fetch, Hop hop, Done done);

    RQProxyScriptLoader(Load load, Hop hop, Done done);
    RQProxyScriptLoader(const RQProxyScriptLoader&) = delete;
    RQProxyScriptLoader& operator=(const RQProxyScriptLoader&) = delete;
    ~RQProxyScriptLoader() override;

    // Stops the load; `done` is not called.
    void cancel();

    // The local script file's events.
    void streamHandleEvent(platform::Stream& stream, unsigned event) override;

private:
    void begin(const Fetch& fetch);
    void timeOutRead();
    void closeFile();
    void runScript(const std::optional<std::string>& script);

    Load load_;
    Hop hop_;
    Done done_;
    bool cancelled_ = false;
    std::shared_ptr<platform::InputStream> file_;
    std::optional<platform::Data> fileData_;
    std::shared_ptr<platform::Timer> timeOut_;
    std::function<void()> cancelFetch_;
};

}  // namespace clipora
