#pragma once

#include <memory>

#include "platform/uikit/ViewController.h"

namespace clipora {

class SXFoursquareV2;

class SXFoursquareV2CheckInForm : public platform::ViewController {
public:
    static std::shared_ptr<SXFoursquareV2CheckInForm> initWithDelegate(std::weak_ptr<SXFoursquareV2> delegate) {
        auto form = std::make_shared<SXFoursquareV2CheckInForm>();
        form->delegate_ = std::move(delegate);
        return form;
    }

private:
    std::weak_ptr<SXFoursquareV2> delegate_;
};

}  // namespace clipora
