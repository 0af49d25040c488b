#pragma once

#include <functional>
#include <string>

#include "platform/foundation/URL.h"

namespace clipora {

// The two services of neighbouring subsystems that the screens call: posting
// a link on the microblog service through the sharing framework's
// SXTwitter::shareURLTitle, and the analytics agent's event log. Tests may
// install their own share hook;
// the sharing framework and the analytics agent are wired here, and only here.
class NeighbourServices {
public:
    using ShareHook = std::function<void(const platform::URL& url, const std::string& title)>;

    NeighbourServices() = delete;

    // "Share Video on Twitter", the settings screen's "shareTwitter" and the
    // browser screens' tweets.
    static void shareURLTitle(const platform::URL& url, const std::string& title);
    // One event with no parameters ("Watch Video" after a playback) in the
    // analytics agent's current session; nothing is recorded without one.
    static void logEvent(const std::string& eventName);

    // Replace the hook (empty: back to the default one).
    static void setShareHook(ShareHook hook);
};

}  // namespace clipora
