#pragma once

#include <memory>

#include "share/UI/SXFormControllerLargeTextField.h"

namespace clipora {

// The Vkontakte sharer's compose screen: the large text form, with the
// keyboard's height taken from its bounds as they are.
class SXVkontakteForm : public SXFormControllerLargeTextField {
public:
    void keyboardWillShow(const platform::Notification& notification) override;
    std::string description() const override { return "SXVkontakteForm"; }
};

}  // namespace clipora
