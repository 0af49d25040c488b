#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/Color.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/TextFieldDelegate.h"

namespace clipora::platform {

// A one-line text input. Becoming first responder starts editing and shows
// the keyboard; resigning ends it and (unless another input takes over)
// hides the keyboard. The finger operations (tap, typeText, deleteBackward,
// tapClearButton, pressReturn) go through the delegate and send the editing
// events and notifications the platform sends; setText from code sends none.
class TextField : public Control {
public:
    static constexpr const char* kTextDidBeginEditingNotification = "UITextFieldTextDidBeginEditingNotification";
    static constexpr const char* kTextDidChangeNotification = "UITextFieldTextDidChangeNotification";
    static constexpr const char* kTextDidEndEditingNotification = "UITextFieldTextDidEndEditingNotification";

    enum BorderStyle : int {
        BorderStyleNone = 0,
        BorderStyleLine = 1,
        BorderStyleBezel = 2,
        BorderStyleRoundedRect = 3
    };
    enum ViewMode : int { ViewModeNever = 0, ViewModeWhileEditing = 1, ViewModeUnlessEditing = 2, ViewModeAlways = 3 };
    enum KeyboardType : int {
        KeyboardTypeDefault = 0,
        KeyboardTypeASCIICapable = 1,
        KeyboardTypeNumbersAndPunctuation = 2,
        KeyboardTypeURL = 3,
        KeyboardTypeNumberPad = 4,
        KeyboardTypePhonePad = 5,
        KeyboardTypeNamePhonePad = 6,
        KeyboardTypeEmailAddress = 7,
        KeyboardTypeDecimalPad = 8,
    };
    enum ReturnKeyType : int {
        ReturnKeyDefault = 0,
        ReturnKeyGo = 1,
        ReturnKeyGoogle = 2,
        ReturnKeyJoin = 3,
        ReturnKeyNext = 4,
        ReturnKeyRoute = 5,
        ReturnKeySearch = 6,
        ReturnKeySend = 7,
        ReturnKeyYahoo = 8,
        ReturnKeyDone = 9,
        ReturnKeyEmergencyCall = 10,
    };
    enum AutocapitalizationType : int {
        AutocapitalizationNone = 0,
        AutocapitalizationWords = 1,
        AutocapitalizationSentences = 2,
        AutocapitalizationAllCharacters = 3,
    };
    enum AutocorrectionType : int { AutocorrectionDefault = 0, AutocorrectionNo = 1, AutocorrectionYes = 2 };

    TextField();
    explicit TextField(Rect frame);

    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string placeholder) { placeholder_ = std::move(placeholder); }
    const Font& font() const { return font_; }
    void setFont(Font font) { font_ = std::move(font); }
    const Color& textColor() const { return textColor_; }
    void setTextColor(Color color) { textColor_ = std::move(color); }
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment alignment) { alignment_ = alignment; }
    BorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(BorderStyle style) { borderStyle_ = style; }
    ViewMode clearButtonMode() const { return clearButtonMode_; }
    void setClearButtonMode(ViewMode mode) { clearButtonMode_ = mode; }
    bool clearsOnBeginEditing() const { return clearsOnBeginEditing_; }
    void setClearsOnBeginEditing(bool clears) { clearsOnBeginEditing_ = clears; }
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts) { adjustsFontSizeToFitWidth_ = adjusts; }
    float minimumFontSize() const { return minimumFontSize_; }
    void setMinimumFontSize(float size) { minimumFontSize_ = size; }
    const std::shared_ptr<View>& leftView() const { return leftView_; }
    void setLeftView(std::shared_ptr<View> view) { leftView_ = std::move(view); }
    ViewMode leftViewMode() const { return leftViewMode_; }
    void setLeftViewMode(ViewMode mode) { leftViewMode_ = mode; }
    const std::shared_ptr<View>& rightView() const { return rightView_; }
    void setRightView(std::shared_ptr<View> view) { rightView_ = std::move(view); }
    ViewMode rightViewMode() const { return rightViewMode_; }
    void setRightViewMode(ViewMode mode) { rightViewMode_ = mode; }

    // Text input traits.
    bool isSecureTextEntry() const { return secure_; }
    void setSecureTextEntry(bool secure) { secure_ = secure; }
    KeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(KeyboardType type) { keyboardType_ = type; }
    ReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(ReturnKeyType type) { returnKeyType_ = type; }
    AutocapitalizationType autocapitalizationType() const { return autocapitalization_; }
    void setAutocapitalizationType(AutocapitalizationType type) { autocapitalization_ = type; }
    AutocorrectionType autocorrectionType() const { return autocorrection_; }
    void setAutocorrectionType(AutocorrectionType type) { autocorrection_ = type; }
    bool enablesReturnKeyAutomatically() const { return enablesReturnKeyAutomatically_; }
    void setEnablesReturnKeyAutomatically(bool enables) { enablesReturnKeyAutomatically_ = enables; }

    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<TextFieldDelegate> delegate) { delegate_ = std::move(delegate); }
    bool isEditing() const { return editing_; }
    // What the field shows: the text, or bullets for secure entry.
    std::string displayedText() const;

    bool canBecomeFirstResponder() const override;
    // Asks the delegate whether to begin, then begins editing.
    bool becomeFirstResponder() override;
    // Asks the delegate whether to end, then ends editing.
    bool resignFirstResponder() override;

    // --- The finger and the keyboard ---
    // Focuses the field (touch-down, touch-up-inside, first responder).
    bool tap() override;
    // Types the text one character at a time at the end (focusing the field
    // first); each character the delegate allows is inserted and reported
    // (editing-changed, text-did-change). Answers whether the field was editing.
    bool typeText(const std::string& text);
    // Deletes the last character.
    bool deleteBackward();
    // The clear button: empties the field when the delegate allows.
    bool tapClearButton();
    // The return key: answers the delegate's should-return; when it answers
    // yes, sends editing-did-end-on-exit, and a field with such actions resigns.
    bool pressReturn();

    std::string className() const override { return "TextField"; }

private:
    bool replace(TextRange range, const std::string& replacement);
    void postNotification(const char* name);

    std::string text_;
    std::string placeholder_;
    Font font_ = Font::systemFontOfSize(17);
    Color textColor_ = Color::blackColor();
    TextAlignment alignment_ = TextAlignmentLeft;
    BorderStyle borderStyle_ = BorderStyleNone;
    ViewMode clearButtonMode_ = ViewModeNever;
    bool clearsOnBeginEditing_ = false;
    bool adjustsFontSizeToFitWidth_ = false;
    float minimumFontSize_ = 0;
    std::shared_ptr<View> leftView_;
    ViewMode leftViewMode_ = ViewModeNever;
    std::shared_ptr<View> rightView_;
    ViewMode rightViewMode_ = ViewModeNever;
    bool secure_ = false;
    KeyboardType keyboardType_ = KeyboardTypeDefault;
    ReturnKeyType returnKeyType_ = ReturnKeyDefault;
    AutocapitalizationType autocapitalization_ = AutocapitalizationSentences;
    AutocorrectionType autocorrection_ = AutocorrectionDefault;
    bool enablesReturnKeyAutomatically_ = false;
    std::weak_ptr<TextFieldDelegate> delegate_;
    bool editing_ = false;
};

}  // namespace clipora::platform
