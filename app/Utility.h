#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Rect.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/Image.h"

namespace clipora {

// Small services the screens share; class operations only.
class Utility {
public:
    Utility() = delete;

    // The colour of six hexadecimal digits "RRGGBB" (more characters are
    // ignored), alpha 1. Text that does not start with six hexadecimal
    // digits gives black.
    static platform::Color getColor(std::string_view text);

    // Writes `object` under `key` as a keyed archive to `path`, atomically.
    static bool saveFileToDiskKeyPath(const platform::Value& object, std::string_view key, const std::string& path);
    // The object under `key` of the archive at `path`: an empty array when
    // there is no file, or when the file is not a readable archive (it is
    // then treated as absent, never trusted, and `error`, when given, tells
    // why); std::nullopt when the archive lacks the key.
    static std::optional<platform::Value> loadFileFromDiskPath(std::string_view key, const std::string& path,
                                                               std::optional<platform::Error>* error = nullptr);

    // The hardware model identifier ("iPhone4,1"; here the machine's).
    static std::string getDeviceType();
    // The system version read as a number is at least `version`.
    static bool isFirmwareAtLeast(double version);
    static bool isGreatThan3Dot2();

    // The short link for `longURL` from the configured link shortener, or
    // std::nullopt: when no account is configured, on any failure, or when
    // the reply is not an http(s) address. Blocks the calling thread for at
    // most the time-out; never call it on the main thread.
    static std::optional<std::string> getBitlyShortURL(const std::string& longURL);
    static constexpr double kShortenerTimeout = 15;

    // An image-backed button: centred content, a bold 14-point title (black
    // when `darkTextColor`, else white), the images stretchable with a left
    // cap of 12 for the normal and highlighted states, `action` on
    // touch-up-inside, clear background.
    static std::shared_ptr<platform::Button> buttonWithTitleTargetSelectorFrameImageImagePressedDarkTextColor(
        const std::string& title, platform::Control::Action action, platform::Rect frame,
        const std::shared_ptr<platform::Image>& image, const std::shared_ptr<platform::Image>& imagePressed,
        bool darkTextColor);
};

}  // namespace clipora
