#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Text.h"

namespace clipora::platform {

// The system log: one line per message on standard error,
// "<local time> clipora[<pid>:<thread>] <message>". A message's own line
// breaks are kept inside the one line as "\n" escapes so that a line is a
// message. Tests can divert messages to a sink or capture them.
// All functions are safe from any thread; messages are never interleaved.
class Log {
public:
    using Sink = std::function<void(const std::string& message)>;

    Log() = delete;

    static void write(std::string_view message);
    // Log::format("loaded %@ in %.2f s", url, seconds)
    template <class... Args>
    static void format(std::string_view pattern, const Args&... args) {
        write(Text::format(pattern, args...));
    }

    // Replaces where messages go (the bare message, without time or prefix);
    // an empty sink restores standard error. Answers the previous sink. The
    // sink runs under the log's lock: it must not log.
    static Sink setSink(Sink sink);
    // Writes one message to standard error as the log does without a sink
    // (with the time, the process and the thread). A sink may call it.
    static void writeToStandardError(std::string_view message);

    // Collects every message logged while it lives (messages still reach the
    // sink that was installed before). Captures may nest.
    class Capture {
    public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

        std::vector<std::string> lines() const;
        // True when some captured line contains `text`.
        bool contains(std::string_view text) const;
        void clear();

    private:
        friend class Log;
        void add(const std::string& message);

        mutable std::mutex mutex_;
        std::vector<std::string> lines_;
    };
};

}  // namespace clipora::platform
