#pragma once

#include <memory>
#include <string>

#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

// One row of a table. Its labels and image view live in the content view and
// are made on first use; the default style has no detail label.
class TableViewCell : public View {
public:
    enum CellStyle : int { CellStyleDefault = 0, CellStyleValue1 = 1, CellStyleValue2 = 2, CellStyleSubtitle = 3 };
    enum SelectionStyle : int { SelectionStyleNone = 0, SelectionStyleBlue = 1, SelectionStyleGray = 2 };
    enum AccessoryType : int {
        AccessoryNone = 0,
        AccessoryDisclosureIndicator = 1,
        AccessoryDetailDisclosureButton = 2,
        AccessoryCheckmark = 3,
    };
    enum EditingStyle : int { EditingStyleNone = 0, EditingStyleDelete = 1, EditingStyleInsert = 2 };

    TableViewCell(CellStyle style, std::string reuseIdentifier);

    CellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }

    std::shared_ptr<View> contentView();
    std::shared_ptr<Label> textLabel();
    // Null in the default style.
    std::shared_ptr<Label> detailTextLabel();
    std::shared_ptr<ImageView> imageView();
    // The labels when they were made, without making them.
    const std::shared_ptr<Label>& textLabelIfLoaded() const { return textLabel_; }
    const std::shared_ptr<Label>& detailTextLabelIfLoaded() const { return detailTextLabel_; }

    AccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(AccessoryType type) { accessoryType_ = type; }
    const std::shared_ptr<View>& accessoryView() const { return accessoryView_; }
    void setAccessoryView(std::shared_ptr<View> view);
    AccessoryType editingAccessoryType() const { return editingAccessoryType_; }
    void setEditingAccessoryType(AccessoryType type) { editingAccessoryType_ = type; }
    const std::shared_ptr<View>& editingAccessoryView() const { return editingAccessoryView_; }
    void setEditingAccessoryView(std::shared_ptr<View> view);

    SelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(SelectionStyle style) { selectionStyle_ = style; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { setSelectedAnimated(selected, false); }
    virtual void setSelectedAnimated(bool selected, bool animated);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { setHighlightedAnimated(highlighted, false); }
    virtual void setHighlightedAnimated(bool highlighted, bool animated);

    bool isEditing() const { return editing_; }
    void setEditing(bool editing) { setEditingAnimated(editing, false); }
    virtual void setEditingAnimated(bool editing, bool animated);
    // What the table offers for this row while editing (set by the table).
    EditingStyle editingStyle() const { return editingStyle_; }
    void setEditingStyle(EditingStyle style) { editingStyle_ = style; }
    bool showsReorderControl() const { return showsReorderControl_; }
    void setShowsReorderControl(bool shows) { showsReorderControl_ = shows; }
    bool shouldIndentWhileEditing() const { return shouldIndentWhileEditing_; }
    void setShouldIndentWhileEditing(bool indent) { shouldIndentWhileEditing_ = indent; }
    int indentationLevel() const { return indentationLevel_; }
    void setIndentationLevel(int level) { indentationLevel_ = level; }
    float indentationWidth() const { return indentationWidth_; }
    void setIndentationWidth(float width) { indentationWidth_ = width; }

    const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<View> view);
    const std::shared_ptr<View>& selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(std::shared_ptr<View> view) { selectedBackgroundView_ = std::move(view); }

    // Called by the table when the cell is taken from the reuse queue: clears
    // the selection, highlight and editing state.
    virtual void prepareForReuse();
    // Lays out the image, text and detail in the content view by style.
    void layoutSubviews() override;
    std::string className() const override { return "TableViewCell"; }

private:
    void placeAccessory(std::shared_ptr<View>& slot, std::shared_ptr<View> view);

    CellStyle style_;
    std::string reuseIdentifier_;
    std::shared_ptr<View> contentView_;
    std::shared_ptr<Label> textLabel_;
    std::shared_ptr<Label> detailTextLabel_;
    std::shared_ptr<ImageView> imageView_;
    AccessoryType accessoryType_ = AccessoryNone;
    std::shared_ptr<View> accessoryView_;
    AccessoryType editingAccessoryType_ = AccessoryNone;
    std::shared_ptr<View> editingAccessoryView_;
    SelectionStyle selectionStyle_ = SelectionStyleBlue;
    bool selected_ = false;
    bool highlighted_ = false;
    bool editing_ = false;
    EditingStyle editingStyle_ = EditingStyleNone;
    bool showsReorderControl_ = false;
    bool shouldIndentWhileEditing_ = true;
    int indentationLevel_ = 0;
    float indentationWidth_ = 10;
    std::shared_ptr<View> backgroundView_;
    std::shared_ptr<View> selectedBackgroundView_;
};

}  // namespace clipora::platform
