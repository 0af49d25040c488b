#include <gtest/gtest.h>

#include <thread>

#include "app/settings/STAppSettingsViewController.h"
#include "app/settings/STClassRegistry.h"
#include "app/settings/STPSSliderSpecifierViewCell.h"
#include "app/settings/STPSTextFieldSpecifierViewCell.h"
#include "app/settings/STPSToggleSwitchSpecifierViewCell.h"
#include "app/settings/STSettingsStoreFile.h"
#include "app/settings/STSpecifierValuesViewController.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/MailComposeViewController.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Window.h"
#include "tests/app/settings/SettingsFixture.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

// Records what the delegate is told.
class RecordingDelegate : public STSettingsDelegate {
public:
    void settingsViewControllerDidEnd(const std::shared_ptr<STAppSettingsViewController>&) override { ++ended; }
    bool settingsViewControllerButtonTappedForKey(const std::shared_ptr<STAppSettingsViewController>&,
                                                  const std::optional<std::string>& key) override {
        if (!handlesButtons) return false;
        buttons.push_back(key.value_or(""));
        return true;
    }
    std::optional<std::string> mailComposeBody() override { return body; }

    int ended = 0;
    bool handlesButtons = true;
    std::vector<std::string> buttons;
    std::optional<std::string> body;
};

class SettingsScreenTest : public test::SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        writeDescription(
            "Settings.bundle/Root.plist",
            {entry({{"Type", "PSGroupSpecifier"}, {"Title", "General"}, {"FooterText", "Note"}}),
             entry({{"Type", "PSToggleSwitchSpecifier"},
                    {"Title", "Loud"},
                    {"Key", "loud"},
                    {"TrueValue", "yes"},
                    {"FalseValue", "no"},
                    {"DefaultValue", "no"}}),
             entry({{"Type", "PSMultiValueSpecifier"},
                    {"Title", "Quality"},
                    {"Key", "quality"},
                    {"DefaultValue", 2},
                    {"Values", Value::makeArray({1, 2, 3})},
                    {"Titles", Value::makeArray({"Low", "Medium", "High"})}}),
             entry({{"Type", "PSSliderSpecifier"},
                    {"Key", "volume"},
                    {"MinimumValue", 0},
                    {"MaximumValue", 10},
                    {"DefaultValue", 5}}),
             entry({{"Type", "PSTextFieldSpecifier"}, {"Title", "Name"}, {"Key", "name"}, {"DefaultValue", "Robin"}}),
             entry({{"Type", "PSGroupSpecifier"}, {"Title", ""}}),
             entry({{"Type", "STButtonSpecifier"},
                    {"Title", "Press"},
                    {"Key", "press"},
                    {"STButtonClass", "Handler"},
                    {"STButtonAction", "pressed:key:"}}),
             entry({{"Type", "STOpenURLSpecifier"}, {"Title", "Site"}, {"File", "https://www.clipora.test/a"}}),
             entry({{"Type", "STMailComposeSpecifier"},
                    {"Title", "Mail"},
                    {"STMailComposeSubject", "Hi"},
                    {"STMailComposeToRecipents", Value::makeArray({"a@b.test"})},
                    {"STMailComposeBody", "plain"}}),
             entry({{"Type", "PSChildPaneSpecifier"}, {"Title", "More"}, {"File", "Child"}})});
        writeDescription("Settings.bundle/Child.plist", {entry({{"Type", "PSToggleSwitchSpecifier"}, {"Key", "c"}})});

        screen = std::make_shared<STAppSettingsViewController>();
        screen->setDelegate(delegate);
        nav = std::make_shared<NavigationController>();
        nav->initWithRootViewController(screen);
        window = std::make_shared<Window>();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        window.reset();
        STClassRegistry::unregisterClass("Handler");
        SettingsTest::TearDown();
    }
    std::shared_ptr<TableViewCell> cell(int section, int row) {
        return screen->tableView()->cellForRowAtIndexPath({section, row});
    }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<STAppSettingsViewController> screen;
    std::shared_ptr<NavigationController> nav;
    std::shared_ptr<Window> window;
};

TEST_F(SettingsScreenTest, ControlsWriteThroughTheStoreAndAnnounceEachEdit) {
    auto store = std::make_shared<STSettingsStoreFile>((home() / "store.plist").string());
    screen->setSettingsStore(store);
    screen->tableView()->reloadData();

    auto toggle = std::dynamic_pointer_cast<STPSToggleSwitchSpecifierViewCell>(cell(0, 0))->toggle();
    EXPECT_FALSE(toggle->isOn());                                  // the default equals the false value
    EXPECT_FALSE(screen->tableView()->tapRowAtIndexPath({0, 0}));  // switch rows are not selected
    ASSERT_TRUE(toggle->tap());
    EXPECT_EQ(store->objectForKey("loud"), Value("yes"));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].object, Value("loud"));
    EXPECT_EQ(changes[0].userInfo, Value::makeDictionary({{"loud", "yes"}}));

    auto slider = std::dynamic_pointer_cast<STPSSliderSpecifierViewCell>(cell(0, 2))->slider();
    EXPECT_EQ(slider->value(), 5.0f);
    ASSERT_TRUE(slider->slideTo(7.5f));
    EXPECT_EQ(store->floatForKey("volume"), 7.5f);
    EXPECT_EQ(changes.back().userInfo, Value::makeDictionary({{"volume", 7.5}}));

    auto field = std::dynamic_pointer_cast<STPSTextFieldSpecifierViewCell>(cell(0, 3))->textField();
    EXPECT_EQ(field->text(), "Robin");
    ASSERT_TRUE(screen->tableView()->tapRowAtIndexPath({0, 3}));
    EXPECT_TRUE(field->isFirstResponder());
    const auto before = changes.size();
    field->typeText("!?");
    EXPECT_EQ(changes.size(), before + 2);  // one per keystroke
    EXPECT_EQ(store->objectForKey("name"), Value("Robin!?"));

    // Nothing reached the file until the user leaves.
    EXPECT_FALSE(std::filesystem::exists(home() / "store.plist"));
    auto done = screen->navigationItem()->rightBarButtonItem();
    ASSERT_TRUE(done);
    ASSERT_TRUE(done->tap());
    EXPECT_EQ(delegate->ended, 1);
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(STSettingsStoreFile((home() / "store.plist").string()).objectForKey("name"), Value("Robin!?"));
}

TEST_F(SettingsScreenTest, TheMultiValuePaneMarksTheCurrentValueAndStoresANewOne) {
    EXPECT_EQ(cell(0, 1)->detailTextLabel()->text(), "Medium");  // the default
    ASSERT_TRUE(screen->tableView()->tapRowAtIndexPath({0, 1}));
    auto pane = std::dynamic_pointer_cast<STSpecifierValuesViewController>(nav->topViewController());
    ASSERT_TRUE(pane);
    EXPECT_EQ(pane->title(), "Quality");
    EXPECT_EQ(pane->checkedItem(), (IndexPath{0, 1}));
    auto table = pane->tableView();
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 1})->accessoryType(), TableViewCell::AccessoryCheckmark);

    // The checked row: nothing stored, nothing announced.
    ASSERT_TRUE(table->tapRowAtIndexPath({0, 1}));
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(UserDefaults::standardUserDefaults()->objectForKey("quality"), std::nullopt);

    ASSERT_TRUE(table->tapRowAtIndexPath({0, 2}));
    EXPECT_EQ(UserDefaults::standardUserDefaults()->objectForKey("quality"), Value(3));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].userInfo, Value::makeDictionary({{"quality", 3}}));
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 2})->accessoryType(), TableViewCell::AccessoryCheckmark);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 1})->accessoryType(), TableViewCell::AccessoryNone);

    // Back on the settings: the row shows the new title; the pane is reused.
    nav->popViewControllerAnimated(true);
    EXPECT_EQ(delegate->ended, 0);  // going back from a pane does not leave the settings
    EXPECT_EQ(cell(0, 1)->detailTextLabel()->text(), "High");
    ASSERT_TRUE(screen->tableView()->tapRowAtIndexPath({0, 1}));
    EXPECT_EQ(nav->topViewController(), pane);
    nav->popViewControllerAnimated(true);

    // A stored value that is none of the values: no row checked, no scroll.
    UserDefaults::standardUserDefaults()->setObject(Value(42), "quality");
    ASSERT_TRUE(screen->tableView()->tapRowAtIndexPath({0, 1}));
    EXPECT_EQ(pane->checkedItem(), std::nullopt);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(pane->tableView()->cellForRowAtIndexPath({0, row})->accessoryType(), TableViewCell::AccessoryNone);
    EXPECT_EQ(pane->tableView()->contentOffset().y, 0.0f);
    // A change elsewhere in the defaults is followed while the pane shows.
    UserDefaults::standardUserDefaults()->setObject(Value(1), "quality");
    EXPECT_EQ(pane->checkedItem(), (IndexPath{0, 0}));
    EXPECT_EQ(pane->tableView()->cellForRowAtIndexPath({0, 0})->accessoryType(), TableViewCell::AccessoryCheckmark);
}

// A change written on another thread is announced there; the pane redraws
// on the main thread, never on the writer's.
TEST_F(SettingsScreenTest, TheMultiValuePaneFollowsABackgroundWriteOnTheMainThread) {
    ASSERT_TRUE(screen->tableView()->tapRowAtIndexPath({0, 1}));
    auto pane = std::dynamic_pointer_cast<STSpecifierValuesViewController>(nav->topViewController());
    ASSERT_TRUE(pane);
    EXPECT_EQ(pane->checkedItem(), (IndexPath{0, 1}));
    std::thread writer([] { UserDefaults::standardUserDefaults()->setObject(Value(3), "quality"); });
    writer.join();
    EXPECT_EQ(pane->checkedItem(), (IndexPath{0, 1})) << "the pane changed on the writing thread";
    ASSERT_TRUE(pumpUntil([&] { return pane->checkedItem() == IndexPath{0, 2}; }));
    EXPECT_EQ(pane->tableView()->cellForRowAtIndexPath({0, 2})->accessoryType(), TableViewCell::AccessoryCheckmark);
}

TEST_F(SettingsScreenTest, SectionsButtonsLinksMailAndChildPanes) {
    auto table = screen->tableView();
    EXPECT_EQ(screen->title(), "Settings");
    EXPECT_EQ(table->footerTitleForSection(0), "Note");
    EXPECT_EQ(table->headerTitleForSection(1), std::nullopt);  // an empty title is no header
    EXPECT_EQ(table->footerTitleForSection(1), "Powered by STSettingsKit");
    screen->setShowCreditsFooter(false);
    table->reloadData();
    EXPECT_EQ(table->footerTitleForSection(1), std::nullopt);

    ASSERT_TRUE(table->tapRowAtIndexPath({1, 0}));
    EXPECT_EQ(delegate->buttons, std::vector<std::string>{"press"});
    // Without the delegate's answer the description's class takes the button.
    delegate->handlesButtons = false;
    std::optional<std::string> pressed;
    STClassRegistry::registerButtonAction(
        "Handler", "pressed:key:", [&](const auto&, const std::optional<std::string>& key) { pressed = key; });
    ASSERT_TRUE(table->tapRowAtIndexPath({1, 0}));
    EXPECT_EQ(pressed, "press");

    ASSERT_TRUE(table->tapRowAtIndexPath({1, 1}));
    ASSERT_FALSE(Application::sharedApplication()->openedURLs().empty());
    EXPECT_EQ(Application::sharedApplication()->openedURLs().back().absoluteString(), "https://www.clipora.test/a");

    delegate->body = "<b>hello</b>";
    ASSERT_TRUE(table->tapRowAtIndexPath({1, 2}));
    auto composer = std::dynamic_pointer_cast<MailComposeViewController>(screen->modalViewController());
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->message().subject, "Hi");
    EXPECT_EQ(composer->message().toRecipients, std::vector<std::string>{"a@b.test"});
    EXPECT_EQ(composer->message().body, "<b>hello</b>");
    composer->cancel();
    EXPECT_EQ(screen->modalViewController(), nullptr);
    MailComposeViewController::setCanSendMail(false);
    ASSERT_TRUE(table->tapRowAtIndexPath({1, 2}));
    MailComposeViewController::setCanSendMail(true);
    ASSERT_TRUE(AlertRegistry::topmost());
    EXPECT_EQ(std::dynamic_pointer_cast<AlertView>(AlertRegistry::topmost())->title(), "Mail not configured");

    // Child panes share one screen; going back there does not end the settings.
    ASSERT_TRUE(table->tapRowAtIndexPath({1, 3}));
    auto child = std::dynamic_pointer_cast<STAppSettingsViewController>(nav->topViewController());
    ASSERT_TRUE(child && child != screen);
    EXPECT_EQ(child->file(), "Child");
    EXPECT_EQ(child->title(), "More");
    EXPECT_FALSE(child->showDoneButton());
    EXPECT_EQ(child->tableView()->numberOfRowsInSection(0), 1);
    nav->popViewControllerAnimated(true);
    EXPECT_EQ(delegate->ended, 0);
    ASSERT_TRUE(table->tapRowAtIndexPath({1, 3}));
    EXPECT_EQ(nav->topViewController(), child);
}

}  // namespace
