#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace clipora::device {

// What the terminal is given of a text that came from outside the program:
// a line the user typed or a script held, a title, name, message or page
// text from the network. A terminal takes control bytes as orders (escape
// sequences move the cursor and rewrite the screen, the bell rings), so such
// a text is printed only through printable().
class TerminalText {
public:
    TerminalText() = delete;

    static constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);
    // Input echoed back (the command in a message, the script's echo) is cut
    // to this many characters.
    static constexpr std::size_t kEchoLimit = 120;

    // The text for one line of the screen. Well-formed UTF-8 is kept; a byte
    // that starts no well-formed sequence is dropped. Control characters
    // (U+0000-U+001F, U+007F, U+0080-U+009F) are dropped, except that a tab,
    // line feed or carriage return becomes a space, so that the words on
    // either side stay apart and no text starts a line of its own. When more
    // than `limit` characters remain, the first `limit` are followed by
    // "… [N more characters]" ("… [1 more character]").
    static std::string printable(std::string_view text, std::size_t limit = kNoLimit);

    // A secure field's text as the screen shows it: one "*" per character,
    // cut like printable() after `limit` stars.
    static std::string masked(std::string_view text, std::size_t limit = kEchoLimit);
};

// The terminal's own echo of what is typed, turned off while a secure field
// has the keyboard so that a password never shows. Only a terminal is
// touched (a file or pipe on standard input is left alone). The settings
// found when the echo was first turned off are put back by restore(), by the
// destructor, and by the handlers it installs for SIGINT, SIGTERM, SIGHUP
// and SIGQUIT (which then end the process as the signal would have).
// Main thread; one instance at a time.
class TerminalEcho {
public:
    explicit TerminalEcho(int fd);
    ~TerminalEcho();
    TerminalEcho(const TerminalEcho&) = delete;
    TerminalEcho& operator=(const TerminalEcho&) = delete;

    // Hides (or shows again) what is typed; false when `fd` is no terminal.
    bool setHidden(bool hidden);
    bool isHidden() const { return hidden_; }
    // Puts the terminal back as it was.
    void restore();

private:
    int fd_;
    bool hidden_ = false;
    bool saved_ = false;
};

}  // namespace clipora::device
