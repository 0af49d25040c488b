#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Rect.h"
#include "platform/uikit/AffineTransform.h"
#include "platform/uikit/Color.h"

namespace clipora::platform {

class Image;

// The visual attributes behind a view (or a free-standing layer such as an
// arrow inside a header): corners, border, contents image, transform and
// sublayers. Nothing is composited; the attributes are kept so code and tests
// can read them. Changes take effect at once (no implicit animation).
class Layer : public Object, public std::enable_shared_from_this<Layer> {
public:
    static constexpr const char* kGravityResize = "resize";
    static constexpr const char* kGravityResizeAspect = "resizeAspect";
    static constexpr const char* kGravityResizeAspectFill = "resizeAspectFill";
    static constexpr const char* kGravityCenter = "center";

    Layer() = default;

    Rect frame() const { return frame_; }
    void setFrame(Rect frame) { frame_ = frame; }
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    float opacity() const { return opacity_; }
    void setOpacity(float opacity) { opacity_ = opacity; }

    float cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(float radius) { cornerRadius_ = radius; }
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks) { masksToBounds_ = masks; }
    float borderWidth() const { return borderWidth_; }
    void setBorderWidth(float width) { borderWidth_ = width; }
    const std::optional<Color>& borderColor() const { return borderColor_; }
    void setBorderColor(std::optional<Color> color) { borderColor_ = std::move(color); }
    const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::optional<Color> color) { backgroundColor_ = std::move(color); }

    const std::shared_ptr<Image>& contents() const { return contents_; }
    void setContents(std::shared_ptr<Image> image) { contents_ = std::move(image); }
    const std::string& contentsGravity() const { return contentsGravity_; }
    void setContentsGravity(std::string gravity) { contentsGravity_ = std::move(gravity); }
    float contentsScale() const { return contentsScale_; }
    void setContentsScale(float scale) { contentsScale_ = scale; }

    // Rotation about the axis perpendicular to the screen, scale and
    // translation (the affine part of the layer transform).
    const AffineTransform& affineTransform() const { return transform_; }
    void setAffineTransform(const AffineTransform& transform) { transform_ = transform; }

    // A layer whose alpha masks this one.
    const std::shared_ptr<Layer>& mask() const { return mask_; }
    void setMask(std::shared_ptr<Layer> mask) { mask_ = std::move(mask); }

    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return sublayers_; }
    std::shared_ptr<Layer> superlayer() const { return superlayer_.lock(); }
    void addSublayer(const std::shared_ptr<Layer>& layer);
    void removeFromSuperlayer();

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

private:
    Rect frame_;
    bool hidden_ = false;
    float opacity_ = 1;
    float cornerRadius_ = 0;
    bool masksToBounds_ = false;
    float borderWidth_ = 0;
    std::optional<Color> borderColor_;
    std::optional<Color> backgroundColor_;
    std::shared_ptr<Image> contents_;
    std::string contentsGravity_ = kGravityResize;
    float contentsScale_ = 1;
    AffineTransform transform_;
    std::shared_ptr<Layer> mask_;
    std::vector<std::shared_ptr<Layer>> sublayers_;
    std::weak_ptr<Layer> superlayer_;
    std::string name_;
};

}  // namespace clipora::platform
