#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/settings/STSettingsDelegate.h"
#include "app/settings/STSettingsPaneController.h"
#include "app/settings/STSettingsReader.h"
#include "app/settings/STSettingsStore.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/media/MailComposeViewControllerDelegate.h"
#include "platform/uikit/IndexPath.h"
#include "platform/uikit/NavigationControllerDelegate.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/TextFieldDelegate.h"

namespace clipora {

class STSlider;
class STSpecifierValuesViewController;
class STSwitch;
class STTextField;

// The settings screen: a table drawn from a settings description whose rows
// read and write their values through a settings store (the standard user
// defaults unless another store is given). Switches, sliders and text
// fields are edited in place; multi-value rows and child panes push a pane;
// URL rows open the URL; mail rows open a composer; buttons and custom rows
// go to the delegate. Every edit is stored at once and announced with
// kAppSettingChanged (object: the key; user info: {key: new value}).
class STAppSettingsViewController : public STSettingsPaneController,
                                    public platform::TextFieldDelegate,
                                    public platform::NavigationControllerDelegate,
                                    public platform::MailComposeViewControllerDelegate {
public:
    static constexpr const char* kAppSettingChanged = "kAppSettingChanged";
    static constexpr const char* kCreditsText = "Powered by STSettingsKit";
    static constexpr const char* kInterfaceFile = "STAppSettingsView";

    // initWithNibNameBundle: credits footer and Done button on.
    STAppSettingsViewController();
    ~STAppSettingsViewController() override;

    std::shared_ptr<STSettingsDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<STSettingsDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::optional<platform::IndexPath>& currentIndexPath() const { return currentIndexPath_; }
    // Made from file() on first use.
    std::shared_ptr<STSettingsReader> settingsReader();
    // A user-defaults store on first use when none was given.
    std::shared_ptr<STSettingsStore> settingsStore();
    void setSettingsStore(std::shared_ptr<STSettingsStore> store) { settingsStore_ = std::move(store); }
    const std::shared_ptr<platform::TextField>& currentFirstResponder() const { return currentFirstResponder_; }
    // "Root" while unset.
    std::string file() const { return file_.value_or(STSettingsReader::kDefaultFile); }
    // Discards the reader: the next use reads the new file.
    void setFile(std::string file);
    bool showCreditsFooter() const { return showCreditsFooter_; }
    void setShowCreditsFooter(bool show) { showCreditsFooter_ = show; }
    bool showDoneButton() const { return showDoneButton_; }
    void setShowDoneButton(bool show) { showDoneButton_ = show; }
    // The panes this screen pushed (made on first use, then reused).
    const std::shared_ptr<STSpecifierValuesViewController>& valuesPane() const { return valuesPane_; }
    const std::shared_ptr<STAppSettingsViewController>& childPane() const { return childPane_; }

    // The user leaves the settings: the edited field resigns, the store is
    // written and the delegate told.
    void dismiss();
    void synchronizeSettings();
    // Reloads the table after 0.5 s.
    void reload();
    void toggledValue(const std::shared_ptr<STSwitch>& sender);
    void sliderChangedValue(const std::shared_ptr<STSlider>& sender);
    void textChanged(const std::shared_ptr<STTextField>& sender);

    // Posts kAppSettingChanged for the key with the new value.
    static void announce(const std::optional<std::string>& key, const platform::Value& value);

    // --- View ---
    void viewDidUnload() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int) override { return true; }
    // The view's fitting size for a 320 x 2000 popover.
    platform::Size contentSizeForViewInPopover();

    // --- Table ---
    int numberOfSectionsInTableView(const std::shared_ptr<platform::TableView>& tableView) override;
    int tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>& tableView, int section) override;
    std::optional<float> tableViewHeightForRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                                          const platform::IndexPath& indexPath) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(const std::shared_ptr<platform::TableView>& tableView,
                                                                int section) override;
    std::shared_ptr<platform::View> tableViewViewForHeaderInSection(
        const std::shared_ptr<platform::TableView>& tableView, int section) override;
    std::optional<float> tableViewHeightForHeaderInSection(const std::shared_ptr<platform::TableView>& tableView,
                                                           int section) override;
    std::optional<std::string> tableViewTitleForFooterInSection(const std::shared_ptr<platform::TableView>& tableView,
                                                                int section) override;
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    bool tableViewCanEditRowAtIndexPath(const std::shared_ptr<platform::TableView>&,
                                        const platform::IndexPath&) override {
        return false;
    }
    platform::TableViewCell::EditingStyle tableViewEditingStyleForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>&, const platform::IndexPath&) override {
        return platform::TableViewCell::EditingStyleNone;
    }
    std::optional<platform::IndexPath> tableViewWillSelectRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                          const platform::IndexPath& indexPath) override;

    // --- Text fields ---
    bool textFieldShouldBeginEditing(const std::shared_ptr<platform::TextField>& textField) override;
    void textFieldDidBeginEditing(const std::shared_ptr<platform::TextField>& textField) override;
    void textFieldDidEndEditing(const std::shared_ptr<platform::TextField>& textField) override;
    bool textFieldShouldReturn(const std::shared_ptr<platform::TextField>& textField) override;

    // --- Navigation and mail ---
    void navigationControllerWillShowViewControllerAnimated(
        const std::shared_ptr<platform::NavigationController>& navigationController,
        const std::shared_ptr<platform::ViewController>& viewController, bool animated) override;
    void mailComposeControllerDidFinishWithResultError(
        const std::shared_ptr<platform::MailComposeViewController>& controller, platform::MailComposeResult result,
        const std::optional<platform::Error>& error) override;

protected:
    // The child pane for description files: a screen of this screen's own class.
    virtual std::shared_ptr<STAppSettingsViewController> makeChildPane();
    std::shared_ptr<STAppSettingsViewController> self();

private:
    std::shared_ptr<platform::TableViewCell> titleValueCell(const std::shared_ptr<platform::TableView>& tableView,
                                                            const std::string& type, bool disclosure);
    std::optional<platform::Value> currentValue(const STSpecifier& specifier);
    void openMailComposer(const std::shared_ptr<STSpecifier>& specifier);
    void keyboardWillShow(const platform::Notification& notification);
    void keyboardWillHide(const platform::Notification& notification);
    void stopObserving();

    std::weak_ptr<STSettingsDelegate> delegate_;
    std::shared_ptr<STSpecifierValuesViewController> valuesPane_;
    std::shared_ptr<STAppSettingsViewController> childPane_;
    std::optional<platform::IndexPath> currentIndexPath_;
    std::optional<platform::IndexPath> topmostRowBeforeKeyboardWasShown_;
    std::shared_ptr<STSettingsReader> settingsReader_;
    std::shared_ptr<STSettingsStore> settingsStore_;
    std::optional<std::string> file_;
    std::shared_ptr<platform::TextField> currentFirstResponder_;
    bool showCreditsFooter_ = true;
    bool showDoneButton_ = true;
    bool observing_ = false;
};

}  // namespace clipora
