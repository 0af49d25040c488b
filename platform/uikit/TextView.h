#pragma once

#include <memory>
#include <string>

#include "platform/foundation/EdgeInsets.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/TextViewDelegate.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

// A multi-line text input. Becoming first responder starts editing and shows
// the keyboard; resigning ends it. The keyboard operations (typeText,
// deleteBackward) tell the delegate of each change; setText from code tells
// nobody.
class TextView : public View {
public:
    TextView() = default;
    explicit TextView(Rect frame) : View(frame) {}

    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    const Font& font() const { return font_; }
    void setFont(Font font) { font_ = std::move(font); }
    const EdgeInsets& contentInset() const { return contentInset_; }
    void setContentInset(EdgeInsets insets) { contentInset_ = insets; }
    bool isEditable() const { return editable_; }
    void setEditable(bool editable) { editable_ = editable; }

    std::shared_ptr<TextViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<TextViewDelegate> delegate) { delegate_ = std::move(delegate); }
    bool isEditing() const { return editing_; }

    bool canBecomeFirstResponder() const override { return editable_; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    // --- The keyboard ---
    // Appends the text one character at a time (focusing the view first),
    // telling the delegate after each. Answers whether the view was editing.
    bool typeText(const std::string& text);
    // Deletes the last character (a whole surrogate pair counts as one).
    bool deleteBackward();

    std::string className() const override { return "TextView"; }

private:
    std::shared_ptr<TextView> self() { return std::static_pointer_cast<TextView>(shared_from_this()); }

    std::string text_;
    Font font_ = Font::systemFontOfSize(12);
    EdgeInsets contentInset_;
    bool editable_ = true;
    std::weak_ptr<TextViewDelegate> delegate_;
    bool editing_ = false;
};

}  // namespace clipora::platform
