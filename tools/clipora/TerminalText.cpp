#include "tools/clipora/TerminalText.h"

#include <algorithm>
#include <csignal>
#include <iterator>

#include <termios.h>
#include <unistd.h>

#include "platform/foundation/Text.h"

namespace clipora::device {

using platform::Text;

namespace {

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Calls `each` with every well-formed character of `text` (invalid bytes are
// skipped) and the bytes that encode it.
template <class Each>
void forEachCharacter(std::string_view text, Each each) {
    char32_t c = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Text::decodeUTF8At(text, i, c);
        if (length == 0) {
            ++i;
            continue;
        }
        each(c, text.substr(i, length));
        i += length;
    }
}

// What follows a text cut after its limit; nothing when nothing was cut.
std::string cutOff(std::size_t more) {
    if (more == 0) return {};
    return "\u2026 [" + std::to_string(more) + (more == 1 ? " more character]" : " more characters]");
}

}  // namespace

std::string TerminalText::printable(std::string_view text, std::size_t limit) {
    std::string out;
    out.reserve(std::min(text.size(), limit == kNoLimit ? text.size() : limit * 4));
    std::size_t kept = 0;
    std::size_t more = 0;
    forEachCharacter(text, [&](char32_t c, std::string_view bytes) {
        const bool space = c == '\t' || c == '\n' || c == '\r';
        if (isControl(c) && !space) return;
        if (kept == limit) {
            ++more;
            return;
        }
        ++kept;
        if (space)
            out += ' ';
        else
            out.append(bytes);
    });
    out += cutOff(more);
    return out;
}

std::string TerminalText::masked(std::string_view text, std::size_t limit) {
    std::string stars;
    std::size_t count = 0;
    forEachCharacter(text, [&](char32_t, std::string_view) { ++count; });
    const std::size_t shown = std::min(count, limit);
    stars.assign(shown, '*');
    stars += cutOff(count - shown);
    return stars;
}

namespace {

// What the signal handlers put back: written before they are installed, read
// only by them and by restore().
struct SavedTerminal {
    int fd = -1;
    termios settings{};
};
SavedTerminal savedTerminal;
volatile std::sig_atomic_t terminalSaved = 0;

constexpr int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previousActions[std::size(kRestoringSignals)];

void restoreAndRaise(int signal) {
    if (terminalSaved) ::tcsetattr(savedTerminal.fd, TCSANOW, &savedTerminal.settings);
    // End as the signal would have ended the process.
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    ::sigemptyset(&plain.sa_mask);
    ::sigaction(signal, &plain, nullptr);
    ::raise(signal);
}

}  // namespace

TerminalEcho::TerminalEcho(int fd) : fd_(fd) {}

TerminalEcho::~TerminalEcho() { restore(); }

bool TerminalEcho::setHidden(bool hidden) {
    if (hidden == hidden_) return true;
    if (!::isatty(fd_)) return false;
    if (!saved_) {
        if (::tcgetattr(fd_, &savedTerminal.settings) != 0) return false;
        savedTerminal.fd = fd_;
        terminalSaved = 1;
        saved_ = true;
        struct sigaction action {};
        action.sa_handler = restoreAndRaise;
        ::sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kRestoringSignals); ++i)
            ::sigaction(kRestoringSignals[i], &action, &previousActions[i]);
    }
    termios settings = savedTerminal.settings;
    if (hidden) {
        settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        // The line break the user types still ends the line on screen.
        settings.c_lflag |= ECHONL;
    }
    if (::tcsetattr(fd_, TCSANOW, &settings) != 0) return false;
    hidden_ = hidden;
    return true;
}

void TerminalEcho::restore() {
    if (!saved_) return;
    ::tcsetattr(fd_, TCSANOW, &savedTerminal.settings);
    for (std::size_t i = 0; i < std::size(kRestoringSignals); ++i)
        ::sigaction(kRestoringSignals[i], &previousActions[i], nullptr);
    terminalSaved = 0;
    saved_ = false;
    hidden_ = false;
}

}  // namespace clipora::device
