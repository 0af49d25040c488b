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

#include "platform/foundation/RunLoop.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/LocalNotificationCenter.h"
#include "platform/uikit/ScreenReader.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/ViewController.h"
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
                       "settings, toggle N, slide N V, down, up, browser, link N, close, wait TEXT, quit)"},
        FailingCommand{"MissingButton", "b 9", "(no button 9)"}, FailingCommand{"MissingRow", "42", "(no row 42)"},
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
    auto top = platform::ScreenReader::topViewController();
    ASSERT_TRUE(top);
    auto field = std::make_shared<platform::TextField>();
    field->setSecureTextEntry(true);
    top->view()->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());

    EXPECT_EQ(runScript("type hunter2\n"), 0) << output.str();
    EXPECT_EQ(field->text(), "hunter2");
    EXPECT_TRUE(shows("> type *******\n")) << output.str();
    EXPECT_FALSE(shows("hunter2")) << output.str();
}

TEST_F(DeviceProgramTest, WhatIsTypedIntoAPlainFieldIsEchoedAsTyped) {
    auto top = platform::ScreenReader::topViewController();
    ASSERT_TRUE(top);
    auto field = std::make_shared<platform::TextField>();
    top->view()->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());

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
