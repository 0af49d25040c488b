#include "platform/uikit/Button.h"

#include <algorithm>

#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"

namespace clipora::platform {

Button::Button(ButtonType type) : type_(type) {
    if (type == ButtonTypeDetailDisclosure || type == ButtonTypeInfoLight || type == ButtonTypeInfoDark ||
        type == ButtonTypeContactAdd)
        setFrame({0, 0, 29, 31});
}

Button::Button(Rect frame) : Control(frame), type_(ButtonTypeCustom) {}

std::shared_ptr<Button> Button::buttonWithType(ButtonType type) { return std::make_shared<Button>(type); }

template <class T>
std::optional<T> Button::lookup(const std::map<unsigned, T>& table, unsigned state) {
    if (auto it = table.find(state); it != table.end()) return it->second;
    if (state & StateSelected) {
        if (auto it = table.find(StateSelected); it != table.end()) return it->second;
    }
    if (auto it = table.find(StateNormal); it != table.end()) return it->second;
    return std::nullopt;
}

void Button::setTitleForState(std::optional<std::string> title, unsigned state) {
    if (title) {
        titles_[state] = std::move(*title);
    } else {
        titles_.erase(state);
    }
    updateContent();
}

std::optional<std::string> Button::titleForState(unsigned state) const { return lookup(titles_, state); }

void Button::setTitleColorForState(std::optional<Color> color, unsigned state) {
    if (color) {
        titleColors_[state] = *color;
    } else {
        titleColors_.erase(state);
    }
    updateContent();
}

std::optional<Color> Button::titleColorForState(unsigned state) const { return lookup(titleColors_, state); }

void Button::setTitleShadowColorForState(std::optional<Color> color, unsigned state) {
    if (color) {
        titleShadowColors_[state] = *color;
    } else {
        titleShadowColors_.erase(state);
    }
    updateContent();
}

std::optional<Color> Button::titleShadowColorForState(unsigned state) const {
    return lookup(titleShadowColors_, state);
}

void Button::setImageForState(std::shared_ptr<Image> image, unsigned state) {
    if (image) {
        images_[state] = std::move(image);
    } else {
        images_.erase(state);
    }
    updateContent();
}

std::shared_ptr<Image> Button::imageForState(unsigned state) const { return lookup(images_, state).value_or(nullptr); }

void Button::setBackgroundImageForState(std::shared_ptr<Image> image, unsigned state) {
    if (image) {
        backgroundImages_[state] = std::move(image);
    } else {
        backgroundImages_.erase(state);
    }
    updateContent();
}

std::shared_ptr<Image> Button::backgroundImageForState(unsigned state) const {
    return lookup(backgroundImages_, state).value_or(nullptr);
}

std::shared_ptr<Label> Button::titleLabel() {
    if (!titleLabel_) {
        titleLabel_ = std::make_shared<Label>();
        titleLabel_->setFont(Font::boldSystemFontOfSize(Font::buttonFontSize()));
        titleLabel_->setTextAlignment(TextAlignmentCenter);
        titleLabel_->setText(currentTitle().value_or(""));
        if (auto color = titleColorForState(state())) titleLabel_->setTextColor(*color);
        addSubview(titleLabel_);
        setNeedsLayout();
    }
    return titleLabel_;
}

std::shared_ptr<ImageView> Button::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<ImageView>();
        imageView_->setImage(currentImage());
        addSubview(imageView_);
        setNeedsLayout();
    }
    return imageView_;
}

void Button::updateContent() {
    if (titleLabel_) {
        titleLabel_->setText(currentTitle().value_or(""));
        if (auto color = titleColorForState(state())) titleLabel_->setTextColor(*color);
        titleLabel_->setShadowColor(titleShadowColorForState(state()));
    }
    if (imageView_) imageView_->setImage(currentImage());
    setNeedsLayout();
}

void Button::setEnabled(bool enabled) {
    Control::setEnabled(enabled);
    updateContent();
}

void Button::setSelected(bool selected) {
    Control::setSelected(selected);
    updateContent();
}

void Button::setHighlighted(bool highlighted) {
    Control::setHighlighted(highlighted);
    updateContent();
}

Size Button::sizeThatFits(Size) const {
    Size title{};
    if (auto text = currentTitle()) {
        Font font = titleLabel_ ? titleLabel_->font() : Font::boldSystemFontOfSize(Font::buttonFontSize());
        title = font.sizeOfText(*text);
    }
    Size image = currentImage() ? currentImage()->size() : Size{};
    Size background = currentBackgroundImage() ? currentBackgroundImage()->size() : Size{};
    Size content{title.width + image.width, std::max(title.height, image.height)};
    content.width += contentEdgeInsets_.left + contentEdgeInsets_.right;
    content.height += contentEdgeInsets_.top + contentEdgeInsets_.bottom;
    return {std::max(content.width, background.width), std::max(content.height, background.height)};
}

void Button::layoutSubviews() {
    Rect content = bounds().insetBy(contentEdgeInsets_);
    Size image = (imageView_ && imageView_->image()) ? imageView_->image()->size() : Size{};
    if (imageView_) {
        imageView_->setFrame(Rect{content.minX(), content.midY() - image.height / 2, image.width, image.height}.insetBy(
            imageEdgeInsets_));
    }
    if (titleLabel_) {
        titleLabel_->setFrame(
            Rect{content.minX() + image.width, content.minY(), content.width() - image.width, content.height()}.insetBy(
                titleEdgeInsets_));
    }
}

}  // namespace clipora::platform
