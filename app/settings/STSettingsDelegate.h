#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/TableView.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/View.h"
#include "platform/uikit/ViewController.h"

namespace clipora {

class STAppSettingsViewController;
class STSpecifier;

// Told when the user leaves the settings and asked for what a description
// cannot say. Every operation but the first is optional; the default bodies
// are the screen's own answers (no header view, no height, no cell, the
// description's mail body, the settings screen as mail presenter, buttons
// not handled).
class STSettingsDelegate {
public:
    virtual ~STSettingsDelegate() = default;

    virtual void settingsViewControllerDidEnd(const std::shared_ptr<STAppSettingsViewController>& sender) = 0;

    virtual std::optional<float> tableViewHeightForHeaderForKey(const std::shared_ptr<platform::TableView>&,
                                                                const std::optional<std::string>&) {
        return std::nullopt;
    }
    virtual std::shared_ptr<platform::View> tableViewViewForHeaderForKey(const std::shared_ptr<platform::TableView>&,
                                                                         const std::optional<std::string>&) {
        return nullptr;
    }
    virtual std::optional<float> tableViewHeightForSpecifier(const std::shared_ptr<platform::TableView>&,
                                                             const std::shared_ptr<STSpecifier>&) {
        return std::nullopt;
    }
    virtual std::shared_ptr<platform::TableViewCell> tableViewCellForSpecifier(
        const std::shared_ptr<platform::TableView>&, const std::shared_ptr<STSpecifier>&) {
        return nullptr;
    }
    virtual std::optional<std::string> mailComposeBody() { return std::nullopt; }
    virtual std::shared_ptr<platform::ViewController> viewControllerForMailComposeView() { return nullptr; }
    // Answers whether the delegate handled the button; one that does not
    // lets the description's button class take it.
    virtual bool settingsViewControllerButtonTappedForKey(const std::shared_ptr<STAppSettingsViewController>&,
                                                          const std::optional<std::string>&) {
        return false;
    }
};

}  // namespace clipora
