#pragma once

#include "platform/uikit/ViewController.h"

namespace clipora {

// A controller that allows every interface orientation.
class RQAutorotatingViewController : public platform::ViewController {
public:
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;
};

}  // namespace clipora
