#include "share/UI/SXFormController.h"

#include <gtest/gtest.h>

#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Switch.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TextField.h"
#include "share/UI/SXCustomFormController.h"
#include "share/UI/SXFormFieldCell.h"
#include "share/UI/SXFormFieldSettings.h"
#include "tests/share/ShareTest.h"

namespace clipora {
namespace {

using Values = SXFormController::Values;

class SXFormControllerTest : public test::ShareTest {
protected:
    // A form with a text row on top and `switches` switch rows below it,
    // shown by the hub, recording its delegate calls.
    std::shared_ptr<SXFormController> showForm(int switches) {
        auto form = SXFormController::initWithStyleTitleRightButtonTitle<SXCustomFormController>(
            platform::TableView::StyleGrouped, std::string("Form"), "Save");
        std::vector<std::shared_ptr<SXFormFieldSettings>> rows{SXFormFieldSettings::labelKeyTypeStart(
            "Title", "title", SXFormFieldSettings::SXFormFieldTypeText, "start")};
        for (int i = 0; i < switches; ++i) {
            rows.push_back(SXFormFieldSettings::labelKeyTypeStart(
                "S" + std::to_string(i), "s" + std::to_string(i), SXFormFieldSettings::SXFormFieldTypeSwitch,
                i % 2 ? std::optional<std::string>("1") : std::nullopt));
        }
        form->addSectionHeaderFooter(rows, std::nullopt, std::string("footer"));
        form->setDelegate(owner_);
        form->setValidateSelector([this](const auto& f) {
            calls_.push_back("validate");
            if (accept_) f->saveForm();
        });
        form->setSaveSelector([this](const auto& f) {
            calls_.push_back(std::string("save ") + (presented() ? "shown" : "gone"));
            saved_ = f->formValues();
        });
        form->setCancelSelector(
            [this](const auto&) { calls_.push_back(std::string("cancel ") + (presented() ? "shown" : "gone")); });
        SX::currentHelper()->showViewController(form);
        return form;
    }

    std::shared_ptr<int> owner_ = std::make_shared<int>(0);
    std::vector<std::string> calls_;
    Values saved_;
    bool accept_ = true;
};

TEST_F(SXFormControllerTest, RowsNeverOnScreenKeepTheirStartValues) {
    auto form = showForm(20);
    auto table = form->tableView();
    ASSERT_FALSE(table->cellForRowAtIndexPath({0, 20}));  // far below the screen
    auto values = form->formValues();
    EXPECT_EQ(values["title"], "start");
    EXPECT_EQ(values["s0"], "0");
    EXPECT_EQ(values["s19"], "1");
    EXPECT_EQ(values.size(), 21u);
}

TEST_F(SXFormControllerTest, EditsSurviveCellReuse) {
    auto form = showForm(20);
    auto table = form->tableView();
    auto title = std::dynamic_pointer_cast<SXFormFieldCell>(table->cellForRowAtIndexPath({0, 0}));
    ASSERT_TRUE(title);
    title->getTextField()->setText("typed");
    auto s1 = std::dynamic_pointer_cast<SXFormFieldCell>(table->cellForRowAtIndexPath({0, 1}));
    ASSERT_TRUE(s1 && s1->toggle());
    EXPECT_FALSE(s1->toggle()->isOn());
    s1->toggle()->setOn(true);
    table->scrollToRowAtIndexPathAtScrollPositionAnimated({0, 20}, platform::TableView::ScrollPositionBottom, false);
    table->layoutIfNeeded();
    ASSERT_FALSE(table->cellForRowAtIndexPath({0, 0}));
    auto values = form->formValues();
    EXPECT_EQ(values["title"], "typed");
    EXPECT_EQ(values["s0"], "1");
    EXPECT_EQ(values["s19"], "1");
}

TEST_F(SXFormControllerTest, ValidateSaveAndCancel) {
    auto form = showForm(1);
    EXPECT_EQ(form->labelWidth(), platform::Font::boldSystemFontOfSize(17).sizeOfText("Title").width);
    // Return in a text field validates the whole form; a refusing delegate
    // keeps it open.
    accept_ = false;
    auto title = std::dynamic_pointer_cast<SXFormFieldCell>(form->tableView()->cellForRowAtIndexPath({0, 0}));
    title->getTextField()->tap();
    title->getTextField()->pressReturn();
    EXPECT_EQ(calls_, (std::vector<std::string>{"validate"}));
    EXPECT_TRUE(presented());

    accept_ = true;
    form->navigationItem()->rightBarButtonItem()->tap();
    // Save hears the delegate first, then closes.
    EXPECT_EQ(calls_, (std::vector<std::string>{"validate", "validate", "save shown"}));
    EXPECT_EQ(saved_, (Values{{"title", "start"}, {"s0", "0"}}));
    EXPECT_FALSE(presented());

    calls_.clear();
    settle();
    form = showForm(1);
    form->navigationItem()->leftBarButtonItem()->tap();
    // Cancel closes before the delegate hears of it.
    EXPECT_EQ(calls_, (std::vector<std::string>{"cancel gone"}));
}

}  // namespace
}  // namespace clipora
