#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/uikit/BarButtonItem.h"

namespace clipora::platform {

class View;

// What a navigation bar shows for one screen: title (or a title view),
// prompt, left and right buttons and the back button that the next screen
// shows for this one.
class NavigationItem : public Object {
public:
    NavigationItem() = default;
    explicit NavigationItem(std::string title) : title_(std::move(title)) {}

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::optional<std::string>& prompt() const { return prompt_; }
    void setPrompt(std::optional<std::string> prompt) { prompt_ = std::move(prompt); }
    const std::shared_ptr<View>& titleView() const { return titleView_; }
    void setTitleView(std::shared_ptr<View> view) { titleView_ = std::move(view); }

    const std::shared_ptr<BarButtonItem>& leftBarButtonItem() const { return left_; }
    void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item) { left_ = std::move(item); }
    void setLeftBarButtonItemAnimated(std::shared_ptr<BarButtonItem> item, bool) { left_ = std::move(item); }
    const std::shared_ptr<BarButtonItem>& rightBarButtonItem() const { return right_; }
    void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item) { right_ = std::move(item); }
    void setRightBarButtonItemAnimated(std::shared_ptr<BarButtonItem> item, bool) { right_ = std::move(item); }
    const std::shared_ptr<BarButtonItem>& backBarButtonItem() const { return back_; }
    void setBackBarButtonItem(std::shared_ptr<BarButtonItem> item) { back_ = std::move(item); }
    bool hidesBackButton() const { return hidesBackButton_; }
    void setHidesBackButton(bool hides) { hidesBackButton_ = hides; }
    void setHidesBackButtonAnimated(bool hides, bool) { hidesBackButton_ = hides; }

    std::string description() const override { return "<NavigationItem: " + title_ + ">"; }

private:
    std::string title_;
    std::optional<std::string> prompt_;
    std::shared_ptr<View> titleView_;
    std::shared_ptr<BarButtonItem> left_;
    std::shared_ptr<BarButtonItem> right_;
    std::shared_ptr<BarButtonItem> back_;
    bool hidesBackButton_ = false;
};

}  // namespace clipora::platform
