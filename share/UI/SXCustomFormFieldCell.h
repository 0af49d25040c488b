#pragma once

#include "share/UI/SXFormFieldCell.h"

namespace clipora {

// The class the forms create, so that a host can restyle the rows in one
// place.
class SXCustomFormFieldCell : public SXFormFieldCell {
public:
    using SXFormFieldCell::SXFormFieldCell;
    std::string className() const override { return "SXCustomFormFieldCell"; }
};

}  // namespace clipora
