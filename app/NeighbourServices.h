#pragma once

#include <functional>
#include <string>

#include "platform/foundation/URL.h"

namespace clipora {

// The two services of neighbouring subsystems that the screens call: posting
// a link on the microblog service through the sharing framework, and the
// analytics agent's event log. Until those subsystems are linked in, the
// calls go to hooks that do nothing but log (tests install their own); the
// sharing framework and the analytics agent are wired here, and only here.
class NeighbourServices {
public:
    using ShareHook = std::function<void(const platform::URL& url, const std::string& title)>;
    using EventHook = std::function<void(const std::string& eventName)>;

    NeighbourServices() = delete;

    // "Share Video on Twitter" and the settings screen's "shareTwitter".
    static void shareURLTitle(const platform::URL& url, const std::string& title);
    // One event with no parameters ("Watch Video" after a playback).
    static void logEvent(const std::string& eventName);

    // Replace the hooks (empty: back to the default ones).
    static void setShareHook(ShareHook hook);
    static void setEventHook(EventHook hook);
};

}  // namespace clipora
