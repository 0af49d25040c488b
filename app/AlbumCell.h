#pragma once

#include <memory>
#include <string>

#include "platform/uikit/TableViewCell.h"

namespace clipora {

// The cell of the video list and of the root menu's download list: subtitle
// style, the list background images, a disclosure indicator and the style
// sheet's colours and fonts. `rowNumber` identifies the row a thumbnail load
// was started for: each fill or load gives the cell a new token, and a late
// thumbnail lands only while the cell still holds the token of its load.
class AlbumCell : public platform::TableViewCell {
public:
    static constexpr const char* kReuseIdentifier = "CellForAlbum";
    static constexpr const char* kPlaceholderImage = "videoThumnail.png";
    using RowNumber = std::shared_ptr<const int>;

    explicit AlbumCell(std::string reuseIdentifier = kReuseIdentifier);
    // A new cell set up for the lists.
    static std::shared_ptr<AlbumCell> create();

    const RowNumber& rowNumber() const { return rowNumber_; }
    void setRowNumber(RowNumber number) { rowNumber_ = std::move(number); }

    std::string className() const override { return "AlbumCell"; }

private:
    void setUpAppearance();

    RowNumber rowNumber_;
};

}  // namespace clipora
