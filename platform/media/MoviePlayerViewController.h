#pragma once

#include <memory>

#include "platform/foundation/URL.h"
#include "platform/media/MoviePlayerController.h"
#include "platform/uikit/ViewController.h"

namespace clipora::platform {

// The full-screen player: a view controller around a MoviePlayerController
// that starts playing when it appears. Its "Done" button (done()) ends
// playback with the user-exited reason; whoever presented it dismisses it
// when told of the end.
class MoviePlayerViewController : public ViewController {
public:
    explicit MoviePlayerViewController(URL contentURL);

    const std::shared_ptr<MoviePlayerController>& moviePlayer() const { return player_; }

    // The Done button.
    void done();

    // Whether the platform offers the full-screen player (true unless a test
    // plays an older system).
    static bool isAvailable();
    static void setAvailable(bool available);

    void loadView() override;
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;
    std::string description() const override;

private:
    std::shared_ptr<MoviePlayerController> player_;
};

}  // namespace clipora::platform
