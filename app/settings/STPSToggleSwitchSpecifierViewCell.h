#pragma once

#include <memory>

#include "app/settings/STSwitch.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableViewCell.h"

namespace clipora {

// A row with a title on the left and an on/off switch on the right.
class STPSToggleSwitchSpecifierViewCell : public platform::TableViewCell {
public:
    // A cell with its controls (they go into the content view, which needs
    // the cell to be shared first).
    static std::shared_ptr<STPSToggleSwitchSpecifierViewCell> create(std::string reuseIdentifier);
    explicit STPSToggleSwitchSpecifierViewCell(std::string reuseIdentifier);

    const std::shared_ptr<platform::Label>& label() const { return label_; }
    const std::shared_ptr<STSwitch>& toggle() const { return toggle_; }

    std::string className() const override { return "STPSToggleSwitchSpecifierViewCell"; }

private:
    void build();
    std::shared_ptr<platform::Label> label_;
    std::shared_ptr<STSwitch> toggle_;
};

}  // namespace clipora
