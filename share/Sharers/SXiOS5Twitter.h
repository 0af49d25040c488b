#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "share/Core/SXSharer.h"

namespace clipora {

namespace platform {
class TweetComposeViewController;
}

// Shares through the platform's tweet sheet: the item's link and picture
// attached, its title (or text) as the initial text. When a framework
// screen is still up, the sheet waits until the hub reports it gone. Its
// id is "SXTwitter", so favourites and the auto-share default are shared
// with the service sharer. Main thread only.
class SXiOS5Twitter : public SXSharer {
public:
    std::string sharerTitle() const override { return "Twitter"; }
    std::string sharerId() const override { return "SXTwitter"; }
    bool canShareURL() const override { return true; }
    bool canShareText() const override { return true; }
    bool canShareImage() const override { return true; }

    ~SXiOS5Twitter() override;

    // No validation, no login: the sheet does both.
    void share() override;
    void callUI();
    void presentUI();

    // The sheet's initial text: at most 140 UTF-16 units, never cut inside a
    // surrogate pair.
    static std::string initialText(const std::string& text);

    const std::shared_ptr<platform::ViewController>& currentTopViewController() const {
        return currentTopViewController_;
    }
    void setCurrentTopViewController(std::shared_ptr<platform::ViewController> controller) {
        currentTopViewController_ = std::move(controller);
    }

private:
    std::shared_ptr<platform::ViewController> currentTopViewController_;
    // Held while waiting for the framework's screen to go.
    std::shared_ptr<SXSharer> waiting_;
    platform::NotificationCenter::ObserverId observer_ = 0;
};

}  // namespace clipora
