#include "platform/uikit/TableViewCell.h"

#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"

namespace clipora::platform {

namespace {
constexpr float kAccessoryWidth = 20;
constexpr float kMargin = 10;
}  // namespace

TableViewCell::TableViewCell(CellStyle style, std::string reuseIdentifier)
    : View(Rect{0, 0, 320, 44}), style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {}

std::shared_ptr<View> TableViewCell::contentView() {
    if (!contentView_) {
        contentView_ = std::make_shared<View>(bounds());
        contentView_->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        insertSubviewAtIndex(contentView_, backgroundView_ ? 1 : 0);
    }
    return contentView_;
}

std::shared_ptr<Label> TableViewCell::textLabel() {
    if (!textLabel_) {
        textLabel_ = std::make_shared<Label>();
        textLabel_->setFont(Font::boldSystemFontOfSize(style_ == CellStyleSubtitle ? 18 : 20));
        contentView()->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

std::shared_ptr<Label> TableViewCell::detailTextLabel() {
    if (style_ == CellStyleDefault) return nullptr;
    if (!detailTextLabel_) {
        detailTextLabel_ = std::make_shared<Label>();
        detailTextLabel_->setFont(Font::systemFontOfSize(style_ == CellStyleSubtitle ? 14 : 17));
        detailTextLabel_->setTextColor(style_ == CellStyleSubtitle
                                           ? Color::grayColor()
                                           : Color::colorWithRedGreenBlueAlpha(0.22f, 0.33f, 0.53f, 1));
        if (style_ == CellStyleValue1) detailTextLabel_->setTextAlignment(TextAlignmentRight);
        contentView()->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_;
}

std::shared_ptr<ImageView> TableViewCell::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<ImageView>();
        contentView()->addSubview(imageView_);
        setNeedsLayout();
    }
    return imageView_;
}

void TableViewCell::placeAccessory(std::shared_ptr<View>& slot, std::shared_ptr<View> view) {
    if (slot && slot->superview().get() == this) slot->removeFromSuperview();
    slot = std::move(view);
    setNeedsLayout();
}

void TableViewCell::setAccessoryView(std::shared_ptr<View> view) {
    placeAccessory(accessoryView_, std::move(view));
    if (accessoryView_ && !editing_) addSubview(accessoryView_);
}

void TableViewCell::setEditingAccessoryView(std::shared_ptr<View> view) {
    placeAccessory(editingAccessoryView_, std::move(view));
    if (editingAccessoryView_ && editing_) addSubview(editingAccessoryView_);
}

void TableViewCell::setBackgroundView(std::shared_ptr<View> view) {
    if (backgroundView_ && backgroundView_->superview().get() == this) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(view);
    if (backgroundView_) {
        backgroundView_->setFrame(bounds());
        backgroundView_->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        insertSubviewAtIndex(backgroundView_, 0);
    }
}

void TableViewCell::setSelectedAnimated(bool selected, bool) {
    selected_ = selected;
    if (textLabel_) textLabel_->setHighlighted(selected && selectionStyle_ != SelectionStyleNone);
    if (detailTextLabel_) detailTextLabel_->setHighlighted(selected && selectionStyle_ != SelectionStyleNone);
}

void TableViewCell::setHighlightedAnimated(bool highlighted, bool) { highlighted_ = highlighted; }

void TableViewCell::setEditingAnimated(bool editing, bool) {
    if (editing_ == editing) return;
    editing_ = editing;
    // The editing accessory takes the place of the normal one.
    auto& shown = editing ? editingAccessoryView_ : accessoryView_;
    auto& hidden = editing ? accessoryView_ : editingAccessoryView_;
    if (hidden && hidden->superview().get() == this) hidden->removeFromSuperview();
    if (shown) addSubview(shown);
    setNeedsLayout();
}

void TableViewCell::prepareForReuse() {
    selected_ = false;
    highlighted_ = false;
    if (textLabel_) textLabel_->setHighlighted(false);
    if (detailTextLabel_) detailTextLabel_->setHighlighted(false);
}

void TableViewCell::layoutSubviews() {
    Rect b = bounds();
    auto accessory = editing_ ? editingAccessoryView_ : accessoryView_;
    AccessoryType type = editing_ ? editingAccessoryType_ : accessoryType_;
    float right = b.size.width;
    if (accessory) {
        Size s = accessory->frame().size;
        accessory->setFrame({b.size.width - kMargin - s.width, (b.size.height - s.height) / 2, s.width, s.height});
        right = accessory->frame().minX();
    } else if (type != AccessoryNone) {
        right = b.size.width - kMargin - kAccessoryWidth;
    }
    float left = 0;
    if (editing_ && shouldIndentWhileEditing_ && editingStyle_ != EditingStyleNone) left = 32;
    left += static_cast<float>(indentationLevel_) * indentationWidth_;
    if (contentView_) contentView_->setFrame({left, 0, std::max(0.0f, right - left), b.size.height});

    Rect content = contentView_ ? contentView_->bounds() : Rect{0, 0, right - left, b.size.height};
    float x = kMargin;
    if (imageView_ && imageView_->image()) {
        Size s = imageView_->image()->size();
        imageView_->setFrame({0, (content.size.height - s.height) / 2, s.width, s.height});
        x = s.width + kMargin;
    }
    float width = std::max(0.0f, content.size.width - x - kMargin);
    if (!textLabel_) return;
    switch (style_) {
    case CellStyleSubtitle:
        textLabel_->setFrame(
            {x, content.size.height / 2 - textLabel_->font().lineHeight(), width, textLabel_->font().lineHeight()});
        if (detailTextLabel_)
            detailTextLabel_->setFrame({x, content.size.height / 2, width, detailTextLabel_->font().lineHeight()});
        break;
    case CellStyleValue1:
    case CellStyleValue2: {
        float half = width / 2;
        textLabel_->setFrame({x, 0, half, content.size.height});
        if (detailTextLabel_) detailTextLabel_->setFrame({x + half, 0, half, content.size.height});
        break;
    }
    default: textLabel_->setFrame({x, 0, width, content.size.height}); break;
    }
}

}  // namespace clipora::platform
