#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/URL.h"
#include "share/Sharers/photo/PHHTTPRequestDelegate.h"

namespace clipora {

namespace platform {
class NetworkReachability;
class RunLoop;
class Timer;
}  // namespace platform

class PHHTTPRequest;
class PHSiteReachability;

// Told whether a web site can be reached. Every operation is optional.
class PHSiteReachabilityDelegate {
public:
    virtual ~PHSiteReachabilityDelegate() = default;
    // `connectionType` is kWiFi or kWWAN.
    virtual void reachabilitySiteIsAvailableOverConnectionType(PHSiteReachability& reachability,
                                                               const platform::URL& site,
                                                               const std::string& connectionType) {
        (void)reachability, (void)site, (void)connectionType;
    }
    virtual void reachabilitySiteIsNotAvailable(PHSiteReachability& reachability, const platform::URL& site) {
        (void)reachability, (void)site;
    }
};

// Watches the device's network and, while it is up, confirms with a HEAD
// request that a web site answers; the delegate hears of each change, on
// the run loop of the thread that started the check.
class PHSiteReachability : public PHHTTPRequestDelegate, public std::enable_shared_from_this<PHSiteReachability> {
public:
    static constexpr const char* kWiFi = "PHSiteReachabilityConnectionTypeWiFi";
    static constexpr const char* kWWAN = "PHSiteReachabilityConnectionTypeWWAN";
    static constexpr const char* kNotReachable = "PHSiteReachabilityNotReachable";
    static constexpr const char* kDefaultSite = "https://www.wikipedia.org/";
    static constexpr double kDefaultTimeout = 15.0;

    PHSiteReachability();
    ~PHSiteReachability() override;

    void startChecking();
    void stopChecking();
    bool isChecking() const { return reachability_ != nullptr; }
    // A one-shot test of the device's network.
    static bool networkConnectivityExists();

    std::shared_ptr<PHSiteReachabilityDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<PHSiteReachabilityDelegate> delegate) { delegate_ = std::move(delegate); }
    // None: the network alone is checked.
    const std::optional<platform::URL>& siteURL() const { return siteURL_; }
    void setSiteURL(std::optional<platform::URL> url) { siteURL_ = std::move(url); }
    double timeoutInterval() const;
    void setTimeoutInterval(double seconds);
    const std::optional<std::string>& lastCheckStatus() const { return lastCheckStatus_; }

    void httpRequestDidComplete(PHHTTPRequest& request) override;
    void httpRequestDidFailWithError(PHHTTPRequest& request, const std::string& error) override;

private:
    void handleFlags(std::uint32_t flags);
    void notAvailable();
    void available(const std::string& type);
    void stopTimer();
    platform::URL site() const;

    std::weak_ptr<PHSiteReachabilityDelegate> delegate_;
    std::optional<platform::URL> siteURL_;
    std::shared_ptr<platform::NetworkReachability> reachability_;
    std::shared_ptr<PHHTTPRequest> siteRequest_;
    std::shared_ptr<platform::Timer> timeoutTimer_;
    std::optional<std::string> lastCheckStatus_;
    std::shared_ptr<platform::RunLoop> runLoop_;
};

}  // namespace clipora
