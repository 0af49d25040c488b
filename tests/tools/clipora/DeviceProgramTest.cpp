// The device program run in this process on the application (signed out,
// no network needed): scripts that fail, what it echoes and prints, and the
// screen drawn again when it changes on its own.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <istream>
#include <memory>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <string>

#include "app/ProgressHUD.h"
#include "app/QRBBaseViewController.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/LocalNotificationCenter.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/ScreenReader.h"
#include "platform/uikit/Switch.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/ViewController.h"
#include "social/sdk/FBDialog.h"
#include "tests/app/AppTest.h"
#include "tools/clipora/DeviceProgram.h"

namespace clipora::test {
namespace {

using device::DeviceProgram;
using platform::AlertView;
using platform::AlertViewDelegate;
using platform::RunLoop;

class DeviceProgramTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        useSystemClock();
        DeviceProgram::Options options;
        options.echoCommands = true;
        options.waitSeconds = 0.3;
        program = std::make_unique<DeviceProgram>(options);
        program->launch();
    }
    void TearDown() override {
        program.reset();
        AppTest::TearDown();
    }

    // Runs `script` as `clipora --script` does; answers the exit status.
    int runScript(const std::string& script) {
        std::istringstream input(script);
        return program->run(input, output, false);
    }
    bool shows(const std::string& text) const { return output.str().find(text) != std::string::npos; }

    // A text field on the root menu that has the keyboard; null when it
    // cannot take it.
    static std::shared_ptr<platform::TextField> focusedField(bool secure) {
        auto top = platform::ScreenReader::topViewController();
        if (!top) return nullptr;
        auto field = std::make_shared<platform::TextField>();
        field->setSecureTextEntry(secure);
        top->view()->addSubview(field);
        return field->becomeFirstResponder() ? field : nullptr;
    }

    static void showAlert(const std::string& title, const std::string& message) {
        std::make_shared<AlertView>(title, message, std::weak_ptr<AlertViewDelegate>(), std::string("OK"))->show();
    }

    std::unique_ptr<DeviceProgram> program;
    std::ostringstream output;
};

struct FailingCommand {
    const char* name;
    std::string command;
    std::string why;
};

class AFailingCommandTest : public DeviceProgramTest, public ::testing::WithParamInterface<FailingCommand> {};

TEST_P(AFailingCommandTest, StopsTheScriptWithItsLineAndANonZeroStatus) {
    const auto& failing = GetParam();
    // The command is on line 4, after a comment, a blank line and a command
    // that works; the command after it never runs.
    const int status = runScript("# first the root menu\n\nwait My Videos\n" + failing.command + "\nsettings\n");
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(shows("> " + failing.command + "\n" + failing.why + "\n" +
                      "clipora: the script failed at line 4: " + failing.command + "\n"))
        << output.str();
    EXPECT_FALSE(shows("> settings")) << output.str();
    EXPECT_FALSE(shows("still waiting"));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, AFailingCommandTest,
    ::testing::Values(
        FailingCommand{"UnknownCommand", "frobnicate 3",
                       "(unknown command: frobnicate 3; commands: N, back, b N, type TEXT, open URL, delete N, "
                       "settings, toggle N, slide N V, down, up, refresh, browser, link N, field N, submit [N], close, "
                       "wait TEXT, wait !TEXT, quit)"},
        FailingCommand{"MissingButton", "b 9", "(no button 9; this screen has b 1 to b 2)"},
        FailingCommand{"ButtonWithoutNumber", "b",
                       "(b needs a button number, as the screen shows it: this screen has b 1 to b 2)"},
        FailingCommand{"MissingRow", "42", "(no row 42; the rows are 1 to 5)"},
        FailingCommand{"RowWithoutSlider", "slide 1 0.5", "(row 1 has no slider)"},
        FailingCommand{"SlideWithoutValue", "slide 1", "(slide needs a row number and a value, e.g. slide 2 0.5)"},
        FailingCommand{"ToggleWithoutRow", "toggle", "(toggle needs a row number, e.g. toggle 1)"},
        FailingCommand{"RefreshWithoutList", "refresh", "(this screen has no list to refresh)"},
        FailingCommand{"WaitThatTimesOut", "wait Nothing like this",
                       "(timed out after 0.3 s waiting for \"Nothing like this\")"},
        FailingCommand{"NoFieldToTypeInto", "type hello", "(no field has the keyboard)"},
        FailingCommand{"NoBackButton", "back", "(no back button)"}),
    [](const auto& info) { return std::string(info.param.name); });

// A notification the application presented (a download failing while it is
// in the background) shows under the screen, the latest one with the count
// of those before it, its texts printable.
TEST_F(DeviceProgramTest, APresentedNotificationShowsUnderTheScreen) {
    EXPECT_EQ(program->screenText().find("<Notification"), std::string::npos);
    platform::LocalNotification first;
    first.setAlertBody("The network connection was lost.");
    first.setAlertAction("Dismiss");
    platform::LocalNotificationCenter::presentLocalNotificationNow(first);
    EXPECT_NE(program->screenText().find("\n  <Notification [Dismiss] The network connection was lost.>\n"),
              std::string::npos)
        << program->screenText();
    platform::LocalNotification second;
    second.setAlertBody("Bad\x1b[2Jbody\nhere");
    platform::LocalNotificationCenter::presentLocalNotificationNow(second);
    EXPECT_NE(program->screenText().find("  <Notification Bad[2Jbody here (+1 earlier)>\n"), std::string::npos)
        << program->screenText();
}

TEST_F(DeviceProgramTest, AScriptThatEndsOrQuitsSucceeds) {
    EXPECT_EQ(runScript("wait My Videos\nwait !Nothing like this\n"), 0) << output.str();
    EXPECT_FALSE(shows("failed"));
}

TEST_F(DeviceProgramTest, AHugeLineWithControlBytesComesBackCutAndClean) {
    const std::string line = "\x1b[2J\x07zap" + std::string(2'000'000, 'z');
    EXPECT_EQ(runScript(line + "\n"), 1);
    const std::string text = output.str();
    EXPECT_LT(text.size(), 4000u);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_EQ(text.find('\x07'), std::string::npos);
    EXPECT_TRUE(shows("(unknown command: [2Jzap" + std::string(114, 'z') + "\u2026 [1999886 more characters]; "))
        << text.substr(0, 2000);
    EXPECT_TRUE(shows("clipora: the script failed at line 1: [2Jzap"));
}

TEST_F(DeviceProgramTest, TextFromOutsideReachesTheScreenWithoutControlBytes) {
    showAlert("Network \x1b]0;owned\x07says", "line one\nline two\x1b[31m red\xc2\x9b");
    EXPECT_EQ(runScript("wait Network\n"), 0) << output.str();
    EXPECT_TRUE(shows("Alert \"Network ]0;ownedsays\": line one line two[31m red\n")) << output.str();
    for (char c : output.str()) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
}

TEST_F(DeviceProgramTest, WhatIsTypedIntoASecureFieldIsEchoedAsStars) {
    auto field = focusedField(true);
    ASSERT_TRUE(field);

    EXPECT_EQ(runScript("type hunter2\n"), 0) << output.str();
    EXPECT_EQ(field->text(), "hunter2");
    EXPECT_TRUE(shows("> type *******\n")) << output.str();
    EXPECT_FALSE(shows("hunter2")) << output.str();
}

TEST_F(DeviceProgramTest, WhatIsTypedIntoAPlainFieldIsEchoedAsTyped) {
    auto field = focusedField(false);
    ASSERT_TRUE(field);

    EXPECT_EQ(runScript("type robin\n"), 0) << output.str();
    EXPECT_TRUE(shows("> type robin\n")) << output.str();
}

// Input the user has not typed yet: a read waits until end().
class HeldInput : public std::streambuf {
public:
    void end() {
        std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

protected:
    int_type underflow() override {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return ended_; });
        return traits_type::eof();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;
};

TEST_F(DeviceProgramTest, AScreenThatChangesWithNoCommandIsDrawnAgain) {
    HeldInput held;
    std::istream input(&held);
    auto loop = RunLoop::main();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::size_t firstDrawing = std::string::npos;
    // Once the first screen and its prompt are out, an alert comes up on its
    // own; the input ends when the drawing shows it (or at the deadline).
    std::function<void()> watch = [&] {
        const std::string text = output.str();
        if (firstDrawing == std::string::npos && text.find("\n> ") != std::string::npos) {
            firstDrawing = text.size();
            showAlert("Download finished", "Blair plays piano");
        }
        if (text.find("Alert \"Download finished\"") != std::string::npos ||
            std::chrono::steady_clock::now() > deadline) {
            held.end();
            return;
        }
        loop->performAfterDelay(0.02, watch);
    };
    loop->perform(watch);

    EXPECT_EQ(program->run(input, output, true), 0);
    const std::string text = output.str();
    ASSERT_NE(firstDrawing, std::string::npos) << text;
    EXPECT_EQ(text.substr(0, firstDrawing).find("Download finished"), std::string::npos);
    // The new drawing starts on a line of its own after the prompt.
    EXPECT_NE(text.find("> \n== ", firstDrawing - 2), std::string::npos) << text;
    EXPECT_NE(text.find("Alert \"Download finished\": Blair plays piano\n", firstDrawing), std::string::npos) << text;
}

}  // namespace
}  // namespace clipora::test

namespace clipora::test {
namespace {

TEST_F(DeviceProgramTest, ACommandTypedWhileTheHUDIsBusyIsCarriedOutAtOnce) {
    // The HUD stays busy (a list that never arrives); both commands are
    // read at once.
    ProgressHUD::showWithStatus("Loading");
    std::istringstream input("back\nsettings\n");
    EXPECT_EQ(program->run(input, output, true), 0);
    ASSERT_EQ(program->commandDelays().size(), 2u) << output.str();
    for (auto delay : program->commandDelays()) EXPECT_LT(delay, std::chrono::seconds(1)) << output.str();
    EXPECT_TRUE(shows("(no back button)")) << output.str();
}

TEST_F(DeviceProgramTest, AWebDialogOverTheScreenIsDrawnAndTakesTheButtons) {
    auto dialog = FBDialog::initWithURLParamsIsViewInvisibleFrictionlessSettingsDelegate(
        "https://web.social.test/dialog/feed", {}, false, nullptr, {});
    dialog->show();
    const std::string screen = program->screenText();
    EXPECT_NE(screen.find("== Dialog"), std::string::npos) << screen;
    EXPECT_NE(screen.find("  page: "), std::string::npos) << screen;
    EXPECT_NE(screen.find("[b 1] Close"), std::string::npos) << screen;
    // The root menu's own buttons are under the dialog: seen, not pressed.
    EXPECT_NE(screen.find("(Log In)"), std::string::npos) << screen;
    EXPECT_EQ(program->execute("1", output), DeviceProgram::Outcome::Failed);
    EXPECT_TRUE(shows("(a dialog covers the screen: use its buttons)")) << output.str();

    EXPECT_EQ(program->execute("b 1", output), DeviceProgram::Outcome::Done);
    EXPECT_EQ(program->execute("wait !== Dialog", output), DeviceProgram::Outcome::Done) << output.str();
    EXPECT_NE(program->screenText().find("[b 1] Log In"), std::string::npos) << program->screenText();
}

// A screen of its own: labels, a switch and buttons outside any table, a
// list with a button in each row and pull-to-refresh, a toolbar figure.
class ControlsScreen : public QRBBaseViewController {
public:
    ControlsScreen() : QRBBaseViewController(platform::TableView::StylePlain, "Controls", true) {}

    void viewDidLoad() override {
        QRBBaseViewController::viewDidLoad();
        auto label = std::make_shared<platform::Label>(platform::Rect(0, 0, 100, 20));
        label->setText("Version 1.2");
        toggle = std::make_shared<platform::Switch>(platform::Rect(0, 30, 79, 27));
        view()->addSubview(label);
        view()->addSubview(toggle);
        auto figure = std::make_shared<platform::BarButtonItem>("0.52mb", platform::BarButtonItem::StylePlain);
        auto about = std::make_shared<platform::BarButtonItem>("About", platform::BarButtonItem::StylePlain);
        about->setAction([this](const auto&) { ++aboutTaps; });
        setToolbarItems({figure, about});
    }
    int numberOfSectionsInTableView(const std::shared_ptr<platform::TableView>&) override { return 1; }
    int tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>&, int) override { return 40; }
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>&, const platform::IndexPath& indexPath) override {
        auto cell = std::make_shared<platform::TableViewCell>(platform::TableViewCell::CellStyleDefault, "row");
        cell->textLabel()->setText("Row " + std::to_string(indexPath.row + 1));
        auto save = std::make_shared<platform::Button>(platform::Rect(0, 0, 29, 29));
        save->setTitleForState("Save", platform::Control::StateNormal);
        const int row = indexPath.row;
        save->addActionForControlEvents([this, row](const auto&) { savedRow = row; },
                                        platform::Control::EventTouchUpInside);
        cell->setAccessoryView(save);
        return cell;
    }
    void reloadTableViewDataSource() override { ++refreshes; }

    std::shared_ptr<platform::Switch> toggle;
    int aboutTaps = 0;
    int savedRow = -1;
    int refreshes = 0;
};

class DeviceProgramScreenTest : public DeviceProgramTest {
protected:
    void SetUp() override {
        DeviceProgramTest::SetUp();
        screen = std::make_shared<ControlsScreen>();
        auto menu = platform::ScreenReader::topViewController();
        ASSERT_TRUE(menu && menu->navigationController());
        menu->navigationController()->pushViewControllerAnimated(screen, false);
        menu->navigationController()->setToolbarHidden(false);
        program->settle(2);
    }
    std::string screenLine(const std::string& start) {
        const std::string text = program->screenText();
        auto at = text.find(start);
        return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
    }
    std::shared_ptr<ControlsScreen> screen;
};

TEST_F(DeviceProgramScreenTest, LabelsSwitchesAndButtonsInRowsAreDrawnAndReachable) {
    const std::string text = program->screenText();
    EXPECT_NE(text.find("  Version 1.2\n"), std::string::npos) << text;
    // The figure does nothing when tapped: it takes no number.
    EXPECT_NE(text.find("  0.52mb [b 1] About\n"), std::string::npos) << text;
    EXPECT_EQ(screenLine("  [b 2]"), "  [b 2] switch [off]") << text;
    EXPECT_EQ(screenLine(" 1. Row 1"), " 1. Row 1 [b 3] Save") << text;

    EXPECT_EQ(program->execute("b 2", output), DeviceProgram::Outcome::Done);
    EXPECT_TRUE(screen->toggle->isOn());
    EXPECT_EQ(screenLine("  [b 2]"), "  [b 2] switch [on]");
    EXPECT_EQ(program->execute("b 4", output), DeviceProgram::Outcome::Done);
    EXPECT_EQ(screen->savedRow, 1);
    EXPECT_EQ(program->execute("b 1", output), DeviceProgram::Outcome::Done);
    EXPECT_EQ(screen->aboutTaps, 1);
}

TEST_F(DeviceProgramScreenTest, RowsKeepTheirNumbersWhenTheTableScrolls) {
    ASSERT_EQ(program->execute("down", output), DeviceProgram::Outcome::Done);
    const std::string text = program->screenText();
    EXPECT_EQ(text.find(" 1. Row 1"), std::string::npos) << text;
    // The rows below carry their own numbers, and "N" taps the row drawn N.
    auto at = text.find(". Row ");
    ASSERT_NE(at, std::string::npos) << text;
    const auto lineStart = text.rfind('\n', at) + 1;
    const int first = std::stoi(text.substr(lineStart, at - lineStart));
    EXPECT_GT(first, 1);
    EXPECT_NE(text.find(std::to_string(first) + ". Row " + std::to_string(first)), std::string::npos) << text;
    EXPECT_EQ(program->execute("1", output), DeviceProgram::Outcome::Failed);
    EXPECT_TRUE(shows("(row 1 is not on the screen: scroll with down or up)")) << output.str();
}

TEST_F(DeviceProgramScreenTest, RefreshPullsTheListDown) {
    EXPECT_EQ(program->execute("refresh", output), DeviceProgram::Outcome::Done) << output.str();
    EXPECT_EQ(screen->refreshes, 1);
}

TEST_F(DeviceProgramTest, ALongSecureEntryIsEchoedShort) {
    auto field = focusedField(true);
    ASSERT_TRUE(field);
    EXPECT_TRUE(program->secureFieldHasKeyboard());

    EXPECT_EQ(program->echo("type " + std::string(2'000'000, 'p')),
              "type " + std::string(120, '*') + "\u2026 [1999880 more characters]");
}

}  // namespace
}  // namespace clipora::test
