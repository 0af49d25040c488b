// What the device program lets through to the terminal of a text that came
// from outside.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ostream>
#include <string>

#include "tools/clipora/TerminalText.h"

namespace {

using clipora::device::TerminalEcho;
using clipora::device::TerminalText;

struct PrintableCase {
    const char* name;
    std::string input;
    std::size_t limit;
    std::string expected;
};

// The case's name stands for it in test listings, instead of a byte dump.
void PrintTo(const PrintableCase& c, std::ostream* out) { *out << c.name; }

class PrintableTest : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(PrintableTest, KeepsPrintableTextAndDropsTheRest) {
    EXPECT_EQ(TerminalText::printable(GetParam().input, GetParam().limit), GetParam().expected);
}

constexpr std::size_t kNone = TerminalText::kNoLimit;

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintableTest,
    ::testing::Values(PrintableCase{"PlainText", "Alex skates", kNone, "Alex skates"},
                      PrintableCase{"Empty", "", kNone, ""},
                      PrintableCase{"ClearScreenSequence", "a\x1b[2J\x1b[Hb", kNone, "a[2J[Hb"},
                      PrintableCase{"TitleSettingSequenceAndBell", "\x1b]0;owned\x07title", kNone, "]0;ownedtitle"},
                      PrintableCase{"NulAndBackspaceAndDelete", std::string("x\0y\bz\x7f", 6), kNone, "xyz"},
                      // U+009B is a one-character control sequence introducer.
                      PrintableCase{"C1ControlsInUTF8",
                                    "a\xc2\x9b"
                                    "31mb\xc2\x85"
                                    "c",
                                    kNone, "a31mbc"},
                      PrintableCase{"LineBreaksAndTabsBecomeSpaces", "one\ntwo\r\nthree\tfour", kNone,
                                    "one two  three four"},
                      PrintableCase{"ValidUTF8IsKept", "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xac \xc2\xa0",
                                    kNone, "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xac \xc2\xa0"},
                      PrintableCase{"StrayBytesAreDropped",
                                    "a\xff"
                                    "b\x80"
                                    "c\xfe",
                                    kNone, "abc"},
                      PrintableCase{"TruncatedSequenceIsDropped", "ab\xe6\x97", kNone, "ab"},
                      PrintableCase{"TruncatedSequenceBeforeText", "\xe6\x97z", kNone, "z"},
                      PrintableCase{"OverlongEncodingIsDropped",
                                    "a\xc0\xaf"
                                    "b\xe0\x80\xaf",
                                    kNone, "ab"},
                      PrintableCase{"SurrogateIsDropped",
                                    "a\xed\xa0\x80"
                                    "b",
                                    kNone, "ab"},
                      PrintableCase{"BeyondUnicodeIsDropped",
                                    "a\xf4\x90\x80\x80"
                                    "b",
                                    kNone, "ab"},
                      PrintableCase{"AtTheLimitIsWhole", "abcde", 5, "abcde"},
                      PrintableCase{"BeyondTheLimitIsCut", "abcdefgh", 5, "abcde\xe2\x80\xa6 [3 more characters]"},
                      PrintableCase{"OneCharacterOver", "abcdef", 5, "abcde\xe2\x80\xa6 [1 more character]"},
                      PrintableCase{"TheLimitCountsCharactersNotBytes", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e", 2,
                                    "\xe6\x97\xa5\xe6\x9c\xac\xe2\x80\xa6 [1 more character]"},
                      PrintableCase{"DroppedBytesDoNotCount",
                                    "\x1b\x1b\x1b"
                                    "abc\x07",
                                    3, "abc"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TerminalTextTest, AnEchoOfAHugeLineIsCutToAReadableLength) {
    const std::string line = "x" + std::string(1'999'999, 'y');
    const std::string echo = TerminalText::printable(line, TerminalText::kEchoLimit);
    EXPECT_EQ(echo, "x" + std::string(TerminalText::kEchoLimit - 1, 'y') + "\xe2\x80\xa6 [1999880 more characters]");
}

TEST(TerminalTextTest, ASecureTextIsOneStarPerCharacter) {
    EXPECT_EQ(TerminalText::masked("standin"), "*******");
    EXPECT_EQ(TerminalText::masked("p\xc3\xa4ss \xf0\x9f\x94\x91"), "******");
    EXPECT_EQ(TerminalText::masked(""), "");
}

TEST(TerminalTextTest, ALongSecureTextIsCutLikeAnEcho) {
    EXPECT_EQ(TerminalText::masked(std::string(2'000'000, 'p')),
              std::string(TerminalText::kEchoLimit, '*') + "\xe2\x80\xa6 [1999880 more characters]");
    EXPECT_EQ(TerminalText::masked(std::string(121, 'p')),
              std::string(TerminalText::kEchoLimit, '*') + "\xe2\x80\xa6 [1 more character]");
}

// A pseudo-terminal stands for the user's terminal.
class TerminalEchoTest : public ::testing::Test {
protected:
    void SetUp() override {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal, 0);
    }
    void TearDown() override {
        if (terminal >= 0) ::close(terminal);
        if (master >= 0) ::close(master);
    }
    bool echoes() const {
        termios settings{};
        ::tcgetattr(terminal, &settings);
        return (settings.c_lflag & ECHO) != 0;
    }
    int master = -1;
    int terminal = -1;
};

TEST_F(TerminalEchoTest, IsOffWhileHiddenAndBackAfterwards) {
    ASSERT_TRUE(echoes());
    {
        TerminalEcho echo(terminal);
        EXPECT_TRUE(echo.setHidden(true));
        EXPECT_FALSE(echoes());
        EXPECT_TRUE(echo.setHidden(false));
        EXPECT_TRUE(echoes());
        EXPECT_TRUE(echo.setHidden(true));
        EXPECT_FALSE(echoes());
    }
    // Gone with the echo hidden: the terminal is as it was.
    EXPECT_TRUE(echoes());
}

TEST_F(TerminalEchoTest, LeavesWhatIsNoTerminalAlone) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    TerminalEcho echo(pipeEnds[0]);
    EXPECT_FALSE(echo.setHidden(true));
    EXPECT_FALSE(echo.isHidden());
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

TEST_F(TerminalEchoTest, ASignalPutsTheTerminalBackBeforeTheProcessEnds) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit noCore{0, 0};  // SIGQUIT would leave a core file
            ::setrlimit(RLIMIT_CORE, &noCore);
            TerminalEcho echo(terminal);
            if (!echo.setHidden(true)) ::_exit(3);
            ::raise(signal);
            ::_exit(4);  // not reached: the signal ends the process
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << signal << " " << status;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_TRUE(echoes()) << signal;
    }
}

}  // namespace
