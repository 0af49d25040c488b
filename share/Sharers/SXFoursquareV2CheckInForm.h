#pragma once

#include <memory>
#include <string>

#include "share/Sharers/SXTwitterForm.h"

namespace clipora {

class SXFoursquareV2;

// The check-in message: the counted 140-character compose screen, titled
// "Foursquare" with a "Check In" button; the keyboard's height is taken from
// its bounds as they are.
class SXFoursquareV2CheckInForm : public SXTwitterForm {
public:
    static std::shared_ptr<SXFoursquareV2CheckInForm> initWithDelegate(const std::shared_ptr<SXFoursquareV2>& delegate);

    void loadView() override;
    void keyboardWillShow(const platform::Notification& notification) override;
    // Refuses a message longer than 140 characters or empty; else the
    // sharer checks in with it.
    void save() override;

    std::string description() const override { return "SXFoursquareV2CheckInForm"; }

private:
    std::weak_ptr<SXFoursquareV2> sharer_;
};

}  // namespace clipora
