#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/TableViewController.h"
#include "platform/uikit/TextFieldDelegate.h"

namespace clipora {

namespace platform {
class TextField;
}

class SXFormFieldSettings;

// A table-based form of text, password and switch rows, used for logins
// and share details. The form validates nothing itself: the right button
// (or Return) calls the delegate's validate operation, which calls
// saveForm() once it accepts the input. Main thread only.
class SXFormController : public platform::TableViewController, public platform::TextFieldDelegate {
public:
    // A delegate operation, called with the form.
    using Selector = std::function<void(const std::shared_ptr<SXFormController>& form)>;
    using Values = std::map<std::string, std::string>;

    struct Section {
        std::vector<std::shared_ptr<SXFormFieldSettings>> rows;
        std::optional<std::string> header;
        std::optional<std::string> footer;
    };

    explicit SXFormController(platform::TableView::Style style);

    // A form (of the class T, by default the restylable one) with a title, a
    // Cancel button on the left and the given button on the right.
    template <class T>
    static std::shared_ptr<T> initWithStyleTitleRightButtonTitle(platform::TableView::Style style,
                                                                 std::optional<std::string> title,
                                                                 const std::string& rightButtonTitle) {
        auto form = std::make_shared<T>(style);
        form->setUp(std::move(title), rightButtonTitle);
        return form;
    }

    void addSectionHeaderFooter(std::vector<std::shared_ptr<SXFormFieldSettings>> rows,
                                std::optional<std::string> header, std::optional<std::string> footer);
    void validateForm();
    void saveForm();
    void cancel();
    void close();
    Values formValues() { return formValuesForSection(0); }
    // The values of the rows of a section: what the cell on screen shows,
    // else what was typed before its cell was reused, else the row's start
    // (a switch reads "1" only for a start of "1").
    Values formValuesForSection(int section);
    std::shared_ptr<SXFormFieldSettings> rowSettingsForIndexPath(const platform::IndexPath& indexPath) const;

    // --- Table data source and delegate ---
    int numberOfSectionsInTableView(const std::shared_ptr<platform::TableView>&) override;
    int tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>&, int section) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(const std::shared_ptr<platform::TableView>&,
                                                                int section) override;
    std::optional<std::string> tableViewTitleForFooterInSection(const std::shared_ptr<platform::TableView>&,
                                                                int section) override;
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;

    // --- Text fields ---
    bool textFieldShouldReturn(const std::shared_ptr<platform::TextField>&) override;
    void textFieldDidBeginEditing(const std::shared_ptr<platform::TextField>& field) override;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int) override { return true; }

    // --- Fields ---
    std::weak_ptr<void> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<void> delegate) { delegate_ = std::move(delegate); }
    void setValidateSelector(Selector selector) { validateSelector_ = std::move(selector); }
    void setSaveSelector(Selector selector) { saveSelector_ = std::move(selector); }
    void setCancelSelector(Selector selector) { cancelSelector_ = std::move(selector); }
    const std::vector<Section>& sections() const { return sections_; }
    const Values& values() const { return values_; }
    float labelWidth() const { return labelWidth_; }
    const std::shared_ptr<platform::TextField>& activeField() const { return activeField_; }
    bool autoSelect() const { return autoSelect_; }
    void setAutoSelect(bool autoSelect) { autoSelect_ = autoSelect; }

    std::string description() const override { return "SXFormController"; }

protected:
    void setUp(std::optional<std::string> title, const std::string& rightButtonTitle);

private:
    std::shared_ptr<SXFormController> self();
    void call(const Selector& selector);

    std::weak_ptr<void> delegate_;
    Selector validateSelector_;
    Selector saveSelector_;
    Selector cancelSelector_;
    std::vector<Section> sections_;
    Values values_;
    float labelWidth_ = 0;
    std::shared_ptr<platform::TextField> activeField_;
    bool autoSelect_ = false;
};

}  // namespace clipora
