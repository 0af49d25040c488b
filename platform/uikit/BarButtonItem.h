#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/uikit/Color.h"

namespace clipora::platform {

class Image;
class View;

// A button on a navigation bar or toolbar: a system item, a title, an image
// or a custom view, with a target and action. The target is not owned: a
// target that went away is skipped.
class BarButtonItem : public Object, public std::enable_shared_from_this<BarButtonItem> {
public:
    enum SystemItem : int {
        SystemItemDone = 0,
        SystemItemCancel = 1,
        SystemItemEdit = 2,
        SystemItemSave = 3,
        SystemItemAdd = 4,
        SystemItemFlexibleSpace = 5,
        SystemItemFixedSpace = 6,
        SystemItemCompose = 7,
        SystemItemReply = 8,
        SystemItemAction = 9,
        SystemItemOrganize = 10,
        SystemItemBookmarks = 11,
        SystemItemSearch = 12,
        SystemItemRefresh = 13,
        SystemItemStop = 14,
        SystemItemCamera = 15,
        SystemItemTrash = 16,
        SystemItemPlay = 17,
        SystemItemPause = 18,
        SystemItemRewind = 19,
        SystemItemFastForward = 20,
        SystemItemUndo = 21,
        SystemItemRedo = 22,
        SystemItemPageCurl = 23,
    };

    enum Style : int { StylePlain = 0, StyleBordered = 1, StyleDone = 2 };

    using Action = std::function<void(const std::shared_ptr<BarButtonItem>& sender)>;

    BarButtonItem() = default;
    BarButtonItem(std::string title, Style style);
    explicit BarButtonItem(SystemItem item);
    BarButtonItem(std::shared_ptr<Image> image, Style style);
    explicit BarButtonItem(std::shared_ptr<View> customView);

    // The title, or for the system items that show words their word
    // ("Done", "Cancel", "Edit", "Save", "Undo", "Redo"); empty otherwise.
    std::string title() const;
    void setTitle(std::string title) { title_ = std::move(title); }
    std::optional<SystemItem> systemItem() const { return systemItem_; }
    bool isSpace() const;
    Style style() const { return style_; }
    void setStyle(Style style) { style_ = style; }
    const std::shared_ptr<Image>& image() const { return image_; }
    void setImage(std::shared_ptr<Image> image) { image_ = std::move(image); }
    const std::shared_ptr<View>& customView() const { return customView_; }
    void setCustomView(std::shared_ptr<View> view) { customView_ = std::move(view); }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    // Width of a fixed space (0: the platform's default).
    float width() const { return width_; }
    void setWidth(float width) { width_ = width; }
    const std::optional<Color>& tintColor() const { return tintColor_; }
    void setTintColor(std::optional<Color> color) { tintColor_ = std::move(color); }

    // An action with no separate target (the closure owns what it captures).
    void setAction(Action action);
    // A member function of a target that is not owned. The sender is passed
    // as the class the function asks for (null when it is not one).
    template <class T, class S>
    void setTargetAction(const std::shared_ptr<T>& target, void (T::*action)(const std::shared_ptr<S>&)) {
        std::weak_ptr<T> weak = target;
        setTargetAndAction(target, [weak, action](const std::shared_ptr<BarButtonItem>& sender) {
            if (auto t = weak.lock()) ((*t).*action)(std::dynamic_pointer_cast<S>(sender));
        });
    }
    template <class T>
    void setTargetAction(const std::shared_ptr<T>& target, void (T::*action)()) {
        std::weak_ptr<T> weak = target;
        setTargetAndAction(target, [weak, action](const std::shared_ptr<BarButtonItem>&) {
            if (auto t = weak.lock()) ((*t).*action)();
        });
    }
    std::shared_ptr<void> target() const { return target_.lock(); }
    bool hasAction() const { return static_cast<bool>(action_); }

    // A finger on the item: nothing when disabled; a custom view that is a
    // control gets a touch-up-inside; otherwise the action runs. Answers
    // whether anything ran.
    bool tap();

    std::string description() const override;

private:
    void setTargetAndAction(std::weak_ptr<void> target, Action action);

    std::string title_;
    std::optional<SystemItem> systemItem_;
    Style style_ = StylePlain;
    std::shared_ptr<Image> image_;
    std::shared_ptr<View> customView_;
    int tag_ = 0;
    bool enabled_ = true;
    float width_ = 0;
    std::optional<Color> tintColor_;
    std::weak_ptr<void> target_;
    Action action_;
};

}  // namespace clipora::platform
