#include "net/request/RQProxyResolver.h"

#include <array>

#include "platform/foundation/DispatchQueue.h"

namespace clipora {

using platform::ProxyEntry;

RQProxyResolver& RQProxyResolver::shared() {
    // Never destroyed: workers may still finish an evaluation at exit.
    static RQProxyResolver* instance = new RQProxyResolver;
    return *instance;
}

bool RQProxyResolver::answersMayBeKept(std::string_view script) {
    static constexpr std::array<std::string_view, 4> kVarying = {"weekdayRange", "dateRange", "timeRange",
                                                                 "myIpAddress"};
    for (auto name : kVarying)
        if (script.find(name) != std::string_view::npos) return false;
    return true;
}

std::optional<ProxyEntry> RQProxyResolver::firstProxy(const std::optional<std::vector<ProxyEntry>>& entries) {
    if (!entries || entries->empty()) return std::nullopt;
    const ProxyEntry& first = entries->front();
    if (first.type == ProxyEntry::Type::None || first.type == ProxyEntry::Type::AutoConfigurationURL ||
        first.host.empty())
        return std::nullopt;
    return first;
}

void RQProxyResolver::resolve(std::string script, platform::URL url, Completion completion) {
    const bool keep = answersMayBeKept(script);
    const std::string key = url.absoluteString();
    if (keep) {
        std::unique_lock lock(mutex_);
        if (script_ == script) {
            if (auto found = answers_.find(key); found != answers_.end()) {
                auto answer = found->second;
                lock.unlock();
                platform::DispatchQueue::global()->async(
                    [completion = std::move(completion), answer] { completion(answer); });
                return;
            }
        }
    }
    platform::DispatchQueue::global()->async(
        [this, script = std::move(script), url = std::move(url), key, keep, completion = std::move(completion)] {
            auto answer = firstProxy(platform::ProxySettings::proxiesForPACScript(script, url));
            {
                std::lock_guard lock(mutex_);
                ++evaluations_;
                if (keep) {
                    if (script_ != script || answers_.size() >= kMaximumKeptAnswers) {
                        answers_.clear();
                        script_ = script;
                    }
                    answers_[key] = answer;
                }
            }
            completion(answer);
        });
}

std::size_t RQProxyResolver::evaluations() const {
    std::lock_guard lock(mutex_);
    return evaluations_;
}

void RQProxyResolver::clear() {
    std::lock_guard lock(mutex_);
    answers_.clear();
    script_.clear();
    evaluations_ = 0;
}

}  // namespace clipora
