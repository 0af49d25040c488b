#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLConnectionDelegate.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/URL.h"

namespace clipora {

// Opens a link outside the application. Links of the affiliate network are
// first followed through their redirects in the background, so that the
// store address they lead to opens directly.
//
// When the load finishes, the last address that answered with a redirect is
// opened. Only web addresses and the store application's own address
// (scheme kStoreScheme) are ever opened from a chain: a redirect to the
// store's address ends the load there and opens that address, it is where the
// chain was going; a redirect to any other scheme ends the load too, and the
// last web address (the one that redirected) is opened instead, so nobody on
// the path can make the application open another application's address. A
// failed load opens nothing. Main thread.
class OpenLink : public platform::URLConnectionDelegate, public std::enable_shared_from_this<OpenLink> {
public:
    // The scheme of the store application's own addresses.
    static constexpr const char* kStoreScheme = "itms-apps";

    static std::shared_ptr<OpenLink> shareOpenLink();

    void openLinkShareLink(const std::optional<std::string>& link);

    const std::optional<platform::URL>& itunesURL() const { return itunesURL_; }
    void setItunesURL(std::optional<platform::URL> url) { itunesURL_ = std::move(url); }

    std::shared_ptr<platform::URLRequest> connectionWillSendRequestRedirectResponse(
        const std::shared_ptr<platform::URLConnection>& connection,
        const std::shared_ptr<platform::URLRequest>& request,
        const std::shared_ptr<platform::HTTPURLResponse>& redirectResponse) override;
    void connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection,
                                  const platform::Data& data) override;
    void connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>& connection) override;
    void connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>& connection,
                                    const platform::Error& error) override;

private:
    std::optional<platform::URL> itunesURL_;
    // A redirect to the store's own address, opened when the load ends.
    std::optional<platform::URL> foreignTarget_;
};

}  // namespace clipora
