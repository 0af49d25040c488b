#pragma once

#include <memory>

#include "app/settings/STSlider.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/TableViewCell.h"

namespace clipora {

// A row holding a slider, with an optional picture at either end; the slider
// is centred and narrows for each picture shown.
class STPSSliderSpecifierViewCell : public platform::TableViewCell {
public:
    // A cell with its controls (they go into the content view, which needs
    // the cell to be shared first).
    static std::shared_ptr<STPSSliderSpecifierViewCell> create(std::string reuseIdentifier);
    explicit STPSSliderSpecifierViewCell(std::string reuseIdentifier);

    const std::shared_ptr<STSlider>& slider() const { return slider_; }
    const std::shared_ptr<platform::ImageView>& minImage() const { return minImage_; }
    const std::shared_ptr<platform::ImageView>& maxImage() const { return maxImage_; }

    // Clears both pictures.
    void prepareForReuse() override;
    void layoutSubviews() override;
    std::string className() const override { return "STPSSliderSpecifierViewCell"; }

private:
    void build();
    std::shared_ptr<STSlider> slider_;
    std::shared_ptr<platform::ImageView> minImage_;
    std::shared_ptr<platform::ImageView> maxImage_;
};

}  // namespace clipora
