#pragma once

#include "platform/uikit/ViewController.h"

namespace clipora {

// A plain screen that turns with the device in every orientation, for a
// host that wraps its own content for the framework.
class SXViewControllerWrapper : public platform::ViewController {
public:
    bool shouldAutorotateToInterfaceOrientation(int) override { return true; }
    std::string description() const override { return "SXViewControllerWrapper"; }
};

}  // namespace clipora
