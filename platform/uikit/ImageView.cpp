#include "platform/uikit/ImageView.h"

#include "platform/uikit/Image.h"

namespace clipora::platform {

ImageView::ImageView() : ImageView(Rect{}) {}

ImageView::ImageView(Rect frame) : View(frame) { setUserInteractionEnabled(false); }

ImageView::ImageView(std::shared_ptr<Image> image) : ImageView(Rect{}) {
    image_ = std::move(image);
    if (image_) setFrame({0, 0, image_->size().width, image_->size().height});
}

void ImageView::setImage(std::shared_ptr<Image> image) {
    image_ = std::move(image);
    setNeedsDisplay();
}

Size ImageView::sizeThatFits(Size) const { return image_ ? image_->size() : Size{}; }

}  // namespace clipora::platform
