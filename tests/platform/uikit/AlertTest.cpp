#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/ActionSheet.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/AlertView.h"
#include "tests/platform/uikit/UIKitTest.h"

using namespace clipora::platform;
using clipora::test::UIKitTest;

namespace {

using Log = std::vector<std::string>;

class Recorder : public AlertViewDelegate, public ActionSheetDelegate {
public:
    Log log;
    void alertViewClickedButtonAtIndex(const std::shared_ptr<AlertView>& a, int i) override {
        log.push_back("clicked " + std::to_string(i) + " " + a->buttonTitleAtIndex(i));
    }
    void alertViewWillDismissWithButtonIndex(const std::shared_ptr<AlertView>&, int i) override {
        log.push_back("willDismiss " + std::to_string(i));
    }
    void alertViewDidDismissWithButtonIndex(const std::shared_ptr<AlertView>& a, int i) override {
        log.push_back("didDismiss " + std::to_string(i) + " " + a->title());
    }
    void actionSheetClickedButtonAtIndex(const std::shared_ptr<ActionSheet>& s, int i) override {
        log.push_back("sheet clicked " + std::to_string(i) + " " + s->buttonTitleAtIndex(i));
    }
    void actionSheetDidDismissWithButtonIndex(const std::shared_ptr<ActionSheet>&, int i) override {
        log.push_back("sheet didDismiss " + std::to_string(i));
    }
};

// A sheet that acts in its own dismissal, as a share chooser does.
class ChooserSheet : public ActionSheet {
public:
    using ActionSheet::ActionSheet;
    void dismissWithClickedButtonIndexAnimated(int index, bool animated) override {
        chosen.push_back(index);
        ActionSheet::dismissWithClickedButtonIndexAnimated(index, animated);
    }
    std::vector<int> chosen;
};

class AlertTest : public UIKitTest {
protected:
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

}  // namespace

TEST_F(AlertTest, ButtonPressReachesTheDelegateWithTheRightIndex) {
    {
        // Only the registry keeps a shown alert alive.
        auto alert =
            std::make_shared<AlertView>("A new version is available", "Notes", recorder, std::string("Download"),
                                        std::vector<std::string>{"Ignore", "Remind Me Later"});
        EXPECT_EQ(alert->cancelButtonIndex(), 0);
        EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
        EXPECT_EQ(alert->numberOfButtons(), 3);
        alert->show();
    }
    EXPECT_EQ(AlertRegistry::topmostTitle(), "A new version is available");
    EXPECT_EQ(AlertRegistry::topmostButtonTitles(),
              (std::vector<std::string>{"Download", "Ignore", "Remind Me Later"}));
    EXPECT_TRUE(AlertRegistry::pressButtonAtIndex(2));
    EXPECT_EQ(recorder->log,
              (Log{"clicked 2 Remind Me Later", "willDismiss 2", "didDismiss 2 A new version is available"}));
    EXPECT_EQ(AlertRegistry::topmost(), nullptr);
    EXPECT_FALSE(AlertRegistry::pressButtonAtIndex(0));
}

TEST_F(AlertTest, AlertsStackAndArePressedByTitle) {
    auto first = std::make_shared<AlertView>("Error", "Can't retrieve video.", recorder, std::nullopt,
                                             std::vector<std::string>{"OK"});
    EXPECT_EQ(first->cancelButtonIndex(), -1);
    EXPECT_EQ(first->firstOtherButtonIndex(), 0);
    auto second = std::make_shared<AlertView>("Note", "", std::weak_ptr<AlertViewDelegate>(), std::string("OK"));
    first->show();
    second->show();
    second->show();  // no second entry
    EXPECT_EQ(AlertRegistry::shownAlerts(), (std::vector<std::shared_ptr<AlertView>>{first, second}));
    EXPECT_FALSE(AlertRegistry::pressButtonWithTitle("Cancel"));
    EXPECT_TRUE(AlertRegistry::pressButtonWithTitle("OK"));  // the top one: no delegate
    EXPECT_TRUE(recorder->log.empty());
    EXPECT_EQ(AlertRegistry::topAlert(), first);
    // A programmatic dismissal reports no click.
    first->dismissWithClickedButtonIndexAnimated(0, false);
    EXPECT_EQ(recorder->log, (Log{"willDismiss 0", "didDismiss 0 Error"}));
    EXPECT_FALSE(first->isVisible());
}

TEST_F(AlertTest, ActionSheetNumbersCancelAfterTheOtherButtons) {
    auto sheet = std::make_shared<ActionSheet>(
        "What do you want to do?", recorder, std::string("Nothing"), std::nullopt,
        std::vector<std::string>{"Download Video", "Watch Standard Video", "Share via Email"});
    EXPECT_EQ(sheet->cancelButtonIndex(), 3);
    EXPECT_EQ(sheet->destructiveButtonIndex(), -1);
    EXPECT_EQ(sheet->buttonTitleAtIndex(0), "Download Video");
    auto view = std::make_shared<View>(Rect{0, 0, 320, 480});
    sheet->showInView(view);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->shownInView(), view);
    EXPECT_TRUE(AlertRegistry::pressButtonWithTitle("Nothing"));
    EXPECT_EQ(recorder->log, (Log{"sheet clicked 3 Nothing", "sheet didDismiss 3"}));

    // With a destructive button, it comes first.
    auto destructive = std::make_shared<ActionSheet>("", recorder, std::string("Cancel"), std::string("Delete"),
                                                     std::vector<std::string>{"Keep"});
    EXPECT_EQ(destructive->destructiveButtonIndex(), 0);
    EXPECT_EQ(destructive->firstOtherButtonIndex(), 1);
    EXPECT_EQ(destructive->cancelButtonIndex(), 2);
}

TEST_F(AlertTest, ProgrammaticDismissalOfASheetReportsNoTap) {
    auto sheet = std::make_shared<ActionSheet>("Share", recorder, std::nullopt, std::nullopt);
    sheet->addButtonWithTitle("More...");
    sheet->setCancelButtonIndex(sheet->addButtonWithTitle("Cancel"));
    EXPECT_EQ(sheet->cancelButtonIndex(), 1);
    sheet->showFromBarButtonItemAnimated(nullptr, true);
    sheet->dismissWithClickedButtonIndexAnimated(1, true);
    EXPECT_EQ(recorder->log, (Log{"sheet didDismiss 1"}));
    EXPECT_TRUE(AlertRegistry::shownActionSheets().empty());
}

TEST_F(AlertTest, PressGoesThroughAnOverriddenDismissal) {
    auto sheet = std::make_shared<ChooserSheet>("Share", recorder, std::string("Cancel"), std::nullopt,
                                                std::vector<std::string>{"Twitter", "More..."});
    sheet->showInView(nullptr);
    EXPECT_TRUE(sheet->pressButtonAtIndex(1));
    EXPECT_EQ(sheet->chosen, (std::vector<int>{1}));
    EXPECT_EQ(recorder->log, (Log{"sheet clicked 1 More...", "sheet didDismiss 1"}));
    EXPECT_FALSE(sheet->pressButtonAtIndex(0));  // no longer shown
}
