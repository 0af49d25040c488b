#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/EdgeInsets.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"

namespace clipora::platform {

class Image;

// A push button with a title, an image and a background image per control
// state. What is not set for the current state falls back to the selected
// state's (when selected) and then to the normal state's. Its title label and
// image view show the current values.
class Button : public Control {
public:
    enum ButtonType : int {
        ButtonTypeCustom = 0,
        ButtonTypeRoundedRect = 1,
        ButtonTypeDetailDisclosure = 2,
        ButtonTypeInfoLight = 3,
        ButtonTypeInfoDark = 4,
        ButtonTypeContactAdd = 5,
    };

    explicit Button(ButtonType type = ButtonTypeCustom);
    explicit Button(Rect frame);
    static std::shared_ptr<Button> buttonWithType(ButtonType type);

    ButtonType buttonType() const { return type_; }

    void setTitleForState(std::optional<std::string> title, unsigned state);
    std::optional<std::string> titleForState(unsigned state) const;
    std::optional<std::string> currentTitle() const { return titleForState(this->state()); }
    void setTitleColorForState(std::optional<Color> color, unsigned state);
    std::optional<Color> titleColorForState(unsigned state) const;
    void setTitleShadowColorForState(std::optional<Color> color, unsigned state);
    std::optional<Color> titleShadowColorForState(unsigned state) const;
    void setImageForState(std::shared_ptr<Image> image, unsigned state);
    std::shared_ptr<Image> imageForState(unsigned state) const;
    std::shared_ptr<Image> currentImage() const { return imageForState(this->state()); }
    void setBackgroundImageForState(std::shared_ptr<Image> image, unsigned state);
    std::shared_ptr<Image> backgroundImageForState(unsigned state) const;
    std::shared_ptr<Image> currentBackgroundImage() const { return backgroundImageForState(this->state()); }

    std::shared_ptr<Label> titleLabel();
    std::shared_ptr<ImageView> imageView();

    EdgeInsets contentEdgeInsets() const { return contentEdgeInsets_; }
    void setContentEdgeInsets(EdgeInsets insets) { contentEdgeInsets_ = insets; }
    EdgeInsets titleEdgeInsets() const { return titleEdgeInsets_; }
    void setTitleEdgeInsets(EdgeInsets insets) { titleEdgeInsets_ = insets; }
    EdgeInsets imageEdgeInsets() const { return imageEdgeInsets_; }
    void setImageEdgeInsets(EdgeInsets insets) { imageEdgeInsets_ = insets; }
    bool adjustsImageWhenHighlighted() const { return adjustsImageWhenHighlighted_; }
    void setAdjustsImageWhenHighlighted(bool adjusts) { adjustsImageWhenHighlighted_ = adjusts; }
    bool showsTouchWhenHighlighted() const { return showsTouchWhenHighlighted_; }
    void setShowsTouchWhenHighlighted(bool shows) { showsTouchWhenHighlighted_ = shows; }

    void setEnabled(bool enabled) override;
    void setSelected(bool selected) override;
    void setHighlighted(bool highlighted) override;

    // The title's size (with the content insets), or the image's, whichever is larger.
    Size sizeThatFits(Size size) const override;
    void layoutSubviews() override;
    std::string className() const override { return "Button"; }

private:
    template <class T>
    static std::optional<T> lookup(const std::map<unsigned, T>& table, unsigned state);
    void updateContent();

    ButtonType type_;
    std::map<unsigned, std::string> titles_;
    std::map<unsigned, Color> titleColors_;
    std::map<unsigned, Color> titleShadowColors_;
    std::map<unsigned, std::shared_ptr<Image>> images_;
    std::map<unsigned, std::shared_ptr<Image>> backgroundImages_;
    std::shared_ptr<Label> titleLabel_;
    std::shared_ptr<ImageView> imageView_;
    EdgeInsets contentEdgeInsets_;
    EdgeInsets titleEdgeInsets_;
    EdgeInsets imageEdgeInsets_;
    bool adjustsImageWhenHighlighted_ = true;
    bool showsTouchWhenHighlighted_ = false;
};

}  // namespace clipora::platform
