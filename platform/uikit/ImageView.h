#pragma once

#include <memory>

#include "platform/uikit/View.h"

namespace clipora::platform {

class Image;

// A view showing an image (its pixels are not composited). It takes no
// touches by default; a view made for an image takes the image's size.
class ImageView : public View {
public:
    ImageView();
    explicit ImageView(Rect frame);
    explicit ImageView(std::shared_ptr<Image> image);

    const std::shared_ptr<Image>& image() const { return image_; }
    void setImage(std::shared_ptr<Image> image);
    const std::shared_ptr<Image>& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(std::shared_ptr<Image> image) { highlightedImage_ = std::move(image); }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }

    // The image's size in points (zero without an image).
    Size sizeThatFits(Size size) const override;
    std::string className() const override { return "ImageView"; }

private:
    std::shared_ptr<Image> image_;
    std::shared_ptr<Image> highlightedImage_;
    bool highlighted_ = false;
};

}  // namespace clipora::platform
