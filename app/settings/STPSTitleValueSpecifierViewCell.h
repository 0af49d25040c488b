#pragma once

#include "platform/uikit/TableViewCell.h"

namespace clipora {

// A row with a title and a value (value-1 style). A row with only a value
// shows it as its title; the title is as wide as it needs (within the row)
// and the value takes the rest.
class STPSTitleValueSpecifierViewCell : public platform::TableViewCell {
public:
    explicit STPSTitleValueSpecifierViewCell(std::string reuseIdentifier)
        : TableViewCell(CellStyleValue1, std::move(reuseIdentifier)) {}

    void layoutSubviews() override;
    std::string className() const override { return "STPSTitleValueSpecifierViewCell"; }
};

}  // namespace clipora
