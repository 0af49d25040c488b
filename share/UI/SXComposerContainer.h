#pragma once

#include "platform/uikit/NavigationController.h"

namespace clipora {

// Holds a mail or message composer while the hub presents it and tells the
// hub when it has gone, as every framework screen does (the composers are
// platform screens that know nothing of the hub).
class SXComposerContainer : public platform::NavigationController {
public:
    static std::shared_ptr<SXComposerContainer> withComposer(const std::shared_ptr<platform::ViewController>& composer);
    void viewDidDisappear(bool animated) override;
};

}  // namespace clipora
