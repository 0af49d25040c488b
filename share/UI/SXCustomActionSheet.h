#pragma once

#include "share/UI/SXActionSheet.h"

namespace clipora {

// The sheet class the framework creates, so that a host can restyle the
// sheet in one place.
class SXCustomActionSheet : public SXActionSheet {
public:
    using SXActionSheet::SXActionSheet;
    std::string className() const override { return "SXCustomActionSheet"; }
};

}  // namespace clipora
