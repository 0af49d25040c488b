#include "platform/foundation/Log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include <sys/syscall.h>
#include <unistd.h>

namespace clipora::platform {

namespace {

struct LogState {
    std::mutex mutex;
    Log::Sink sink;
    std::vector<Log::Capture*> captures;
};

LogState& state() {
    static LogState* s = new LogState();  // never destroyed: logging works during static destruction
    return *s;
}

// Line breaks would split one message over several log lines.
std::string oneLine(std::string_view message) {
    std::string out;
    out.reserve(message.size());
    for (char c : message) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

void Log::write(std::string_view message) {
    std::string line = oneLine(message);
    std::lock_guard lock(state().mutex);
    for (Capture* capture : state().captures) capture->add(line);
    if (state().sink) {
        state().sink(line);
    } else {
        writeToStandardError(line);
    }
}

void Log::writeToStandardError(std::string_view message) {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::string line = std::string(stamp) + "." + (millis < 100 ? (millis < 10 ? "00" : "0") : "") +
                       std::to_string(millis) + " clipora[" + std::to_string(getpid()) + ":" +
                       std::to_string(syscall(SYS_gettid)) + "] " + std::string(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

Log::Sink Log::setSink(Sink sink) {
    std::lock_guard lock(state().mutex);
    Sink previous = std::move(state().sink);
    state().sink = std::move(sink);
    return previous;
}

Log::Capture::Capture() {
    std::lock_guard lock(state().mutex);
    state().captures.push_back(this);
}

Log::Capture::~Capture() {
    std::lock_guard lock(state().mutex);
    auto& captures = state().captures;
    captures.erase(std::remove(captures.begin(), captures.end(), this), captures.end());
}

std::vector<std::string> Log::Capture::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool Log::Capture::contains(std::string_view text) const {
    std::lock_guard lock(mutex_);
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

void Log::Capture::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

void Log::Capture::add(const std::string& message) {
    std::lock_guard lock(mutex_);
    lines_.push_back(message);
}

}  // namespace clipora::platform
