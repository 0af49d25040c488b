#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/SearchBarDelegate.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

class SearchDisplayController;

// A search field with a placeholder, 44 points high. Typing (typeText)
// tells the delegate and the search display controller on the bar;
// pressing the keyboard's search button tells the delegate. setText from
// code tells nobody.
class SearchBar : public View {
public:
    static constexpr float kHeight = 44;
    static constexpr float kDefaultWidth = 320;

    SearchBar() = default;
    explicit SearchBar(Rect frame) : View(frame) {}

    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    const std::optional<std::string>& placeholder() const { return placeholder_; }
    void setPlaceholder(std::optional<std::string> placeholder) { placeholder_ = std::move(placeholder); }
    std::shared_ptr<SearchBarDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<SearchBarDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<SearchDisplayController> displayController() const { return displayController_.lock(); }

    // The keyboard: the text replaced as typed, then the search button.
    void typeText(const std::string& text);
    void pressSearchButton();

    // The width of the superview (or 320), 44 high.
    Size sizeThatFits(Size size) const override;
    std::string className() const override { return "SearchBar"; }

private:
    friend class SearchDisplayController;
    std::shared_ptr<SearchBar> self() { return std::static_pointer_cast<SearchBar>(shared_from_this()); }

    std::string text_;
    std::optional<std::string> placeholder_;
    std::weak_ptr<SearchBarDelegate> delegate_;
    std::weak_ptr<SearchDisplayController> displayController_;
};

}  // namespace clipora::platform
