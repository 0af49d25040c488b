#pragma once

#include "share/UI/SXFormController.h"

namespace clipora {

// The form class the sharers create, so that a host can restyle the forms
// in one place.
class SXCustomFormController : public SXFormController {
public:
    using SXFormController::SXFormController;
};

}  // namespace clipora
