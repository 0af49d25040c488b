#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/foundation/Log.h"
#include "platform/foundation/Rect.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {
class View;
}

namespace clipora {

// Switches, error reporting and device questions shared by the whole agent.
// The switches may be read from any thread.
class TallyUtil {
public:
    TallyUtil() = delete;

    static void setDebugLogEnabled(bool enabled);
    static bool isDebugLogEnabled();
    static void setShowErrorInLogEnabled(bool enabled);
    static bool isShowErrorInLogEnabled();

    // A debug line of the agent: written only while the debug log is on.
    template <class... Args>
    static void debugLog(std::string_view pattern, const Args&... args) {
        if (isDebugLogEnabled()) platform::Log::format(pattern, args...);
    }

    // Reports something caught by the agent's guard (a platform exception,
    // an error thrown as a value, a standard exception or anything else);
    // logs only while both switches are on, and never rethrows.
    static void handleException(std::exception_ptr caught);
    // Runs `body`; whatever it throws is handed to handleException, so
    // nothing thrown inside the agent reaches its host.
    template <class Body>
    static void guarded(Body&& body) noexcept {
        try {
            std::forward<Body>(body)();
        } catch (...) {
            handleException(std::current_exception());
        }
    }

    // The screen for the status bar's orientation, or for a named one
    // ("landscapeRight", "landscapeLeft", "portraitUpsideDown", any case).
    static platform::Rect screenBounds();
    static platform::Rect screenBounds(const std::optional<std::string>& orientation);
    static bool canvasInLandscapeRight();
    static bool canvasInLandscapeLeft();
    static bool canvasInPortraitUpsideDown();
    static bool canvasInLandscape();
    static bool canvasInLandscapeRight(const std::optional<std::string>& orientation);
    static bool canvasInLandscapeLeft(const std::optional<std::string>& orientation);
    static bool canvasInPortraitUpsideDown(const std::optional<std::string>& orientation);
    static bool canvasInLandscape(const std::optional<std::string>& orientation);
    static std::string getCanvasOrientation();

    static void removeViewFromSuperview(const std::shared_ptr<platform::View>& view);
    // A decimal number read from the whole text, or std::nullopt.
    static std::optional<platform::Value> convertStrToNum(const std::string& text);
    static bool isIPad();
    // Adds the object unless the array holds an equal one; answers whether it did.
    static bool addToSetObj(platform::Value::Array& collection, const platform::Value& object);
    // "5.1.1" -> 50101; computed once per process.
    static int getSystemVersionAsAnInteger();
    // Marks a file as excluded from device backups (systems above 5.0 only).
    static bool addSkipBackupAttributeToItemAtURL(const platform::URL& fileURL);

    // Back to the initial state: both switches off, the version recomputed
    // at the next question (tests).
    static void reset();
};

}  // namespace clipora
