#include "net/request/RQProxyScriptLoader.h"

#include <cstdint>
#include <utility>

#include "net/request/RQProxyResolver.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"

namespace clipora {

using platform::ProxyEntry;
using platform::RunLoop;
using platform::URL;

RQProxyScriptLoader::SystemChoice RQProxyScriptLoader::systemChoice(const URL& url) {
    SystemChoice choice;
    auto settings = platform::ProxySettings::systemProxySettings();
    if (!settings) {
        choice.unavailable = true;
        return choice;
    }
    auto proxies = settings->proxiesForURL(url);
    if (proxies.empty()) return choice;
    const ProxyEntry& first = proxies.front();
    if (first.type == ProxyEntry::Type::AutoConfigurationURL) {
        // A script that cannot be named goes directly.
        choice.scriptURL =
            first.pacURL.starts_with("/") ? URL::fileURLWithPath(first.pacURL) : URL::fromString(first.pacURL);
    } else if (first.type != ProxyEntry::Type::None) {
        choice.proxy = first;
    }
    return choice;
}

std::shared_ptr<RQProxyScriptLoader> RQProxyScriptLoader::start(Load load, Fetch fetch, Hop hop, Done done) {
    auto loader = std::make_shared<RQProxyScriptLoader>(std::move(load), std::move(hop), std::move(done));
    loader->begin(fetch);
    return loader;
}

RQProxyScriptLoader::RQProxyScriptLoader(Load load, Hop hop, Done done)
    : load_(std::move(load)), hop_(std::move(hop)), done_(std::move(done)) {}

RQProxyScriptLoader::~RQProxyScriptLoader() {
    // Whatever is still open is closed here; nothing is reported.
    if (timeOut_) timeOut_->invalidate();
    if (file_) file_->close();
    if (cancelFetch_) cancelFetch_();
}

void RQProxyScriptLoader::begin(const Fetch& fetch) {
    const URL& script = load_.scriptURL;
    if (script.isFileURL()) {
        file_ = platform::InputStream::withFile(script.path());
        file_->setDelegate(std::weak_ptr<platform::StreamDelegate>(shared_from_this()));
        file_->scheduleInRunLoop(RunLoop::current(), load_.runLoopMode);
        file_->open();
        std::weak_ptr<RQProxyScriptLoader> weak = weak_from_this();
        timeOut_ = RunLoop::current()->performAfterDelay(load_.timeOutSeconds,
                                                         [weak] {
                                                             if (auto loader = weak.lock()) loader->timeOutRead();
                                                         },
                                                         this, "timeOutPACRead", {load_.runLoopMode});
        return;
    }
    const std::string scheme = platform::Text::lowercase(script.scheme());
    if (scheme != "http" && scheme != "https") {
        runScript(std::nullopt);
        return;
    }
    std::weak_ptr<RQProxyScriptLoader> weak = weak_from_this();
    // The fetch ends on the network thread: the script runs once the
    // request's own thread has it.
    cancelFetch_ = fetch(script, [weak, hop = hop_](std::optional<std::string> text) {
        hop([weak, text = std::move(text)] {
            auto loader = weak.lock();
            if (!loader || loader->cancelled_) return;
            loader->cancelFetch_ = nullptr;
            loader->runScript(text);
        });
    });
}

void RQProxyScriptLoader::cancel() {
    cancelled_ = true;
    if (file_) {
        file_->setDelegate({});
        closeFile();
    }
    if (auto cancelFetch = std::exchange(cancelFetch_, nullptr)) cancelFetch();
}

void RQProxyScriptLoader::closeFile() {
    if (timeOut_) timeOut_->invalidate();
    timeOut_.reset();
    auto file = std::move(file_);
    file->close();
    file->removeFromRunLoop(RunLoop::current(), load_.runLoopMode);
    fileData_.reset();
}

void RQProxyScriptLoader::streamHandleEvent(platform::Stream& stream, unsigned event) {
    auto keep = shared_from_this();
    if (cancelled_ || !file_ || &stream != file_.get()) return;
    bool failed = event == platform::Stream::ErrorOccurred;
    if (event == platform::Stream::HasBytesAvailable) {
        if (!fileData_) fileData_ = platform::Data{};
        std::uint8_t buffer[16384];
        const std::int64_t got = file_->read(buffer, sizeof buffer);
        if (got > 0) fileData_->insert(fileData_->end(), buffer, buffer + got);
        // A "file" that never ends (a device, a pipe) is no PAC script.
        if (fileData_->size() > platform::ProxySettings::kMaxPACScriptSize) failed = true;
        if (!failed && got != 0) return;
        if (got == 0) event = platform::Stream::EndEncountered;
    }
    if (!failed && event != platform::Stream::EndEncountered) return;
    file_->setDelegate({});
    std::optional<std::string> script;
    if (!failed && fileData_) {
        script = platform::Text::fromUTF8(*fileData_);
        if (!script) script = platform::Text::decode(*fileData_, platform::Text::Encoding::ISOLatin1);
    }
    closeFile();
    runScript(script);
}

void RQProxyScriptLoader::timeOutRead() {
    if (file_) streamHandleEvent(*file_, platform::Stream::ErrorOccurred);
}

void RQProxyScriptLoader::runScript(const std::optional<std::string>& script) {
    if (!script) {
        done_(std::nullopt);
        return;
    }
    // The script may take seconds: it runs elsewhere, and the request goes
    // on on its own thread once the answer is known.
    std::weak_ptr<RQProxyScriptLoader> weak = weak_from_this();
    RQProxyResolver::shared().resolve(*script, load_.requestURL, [weak, hop = hop_](std::optional<ProxyEntry> proxy) {
        hop([weak, proxy] {
            auto loader = weak.lock();
            if (loader && !loader->cancelled_) loader->done_(proxy);
        });
    });
}

}  // namespace clipora
