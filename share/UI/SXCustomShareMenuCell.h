#pragma once

#include "platform/uikit/TableViewCell.h"

namespace clipora {

// The row class the share menu creates, so that a host can restyle the
// rows in one place.
class SXCustomShareMenuCell : public platform::TableViewCell {
public:
    using platform::TableViewCell::TableViewCell;
    std::string className() const override { return "SXCustomShareMenuCell"; }
};

}  // namespace clipora
