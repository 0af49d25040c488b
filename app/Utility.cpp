#include "app/Utility.h"

#include "app/AppConfig.h"
#include "app/LimitedFetch.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/system/DeviceInfo.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Font.h"

namespace clipora {

using namespace platform;

namespace {

std::optional<int> hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return std::nullopt;
}

// The largest reply a short link can sensibly be.
constexpr std::size_t kShortenerReplyLimit = 4096;

}  // namespace

Color Utility::getColor(std::string_view text) {
    if (text.size() < 6) return Color::blackColor();
    float components[3];
    for (int i = 0; i < 3; ++i) {
        auto high = hexDigit(text[static_cast<std::size_t>(2 * i)]);
        auto low = hexDigit(text[static_cast<std::size_t>(2 * i + 1)]);
        if (!high || !low) return Color::blackColor();
        components[i] = static_cast<float>(*high * 16 + *low) / 255.0f;
    }
    return Color::colorWithRedGreenBlueAlpha(components[0], components[1], components[2], 1.0f);
}

bool Utility::saveFileToDiskKeyPath(const Value& object, std::string_view key, const std::string& path) {
    std::optional<Error> error;
    if (KeyedArchiver::archiveToFile(object, path, key, &error)) return true;
    Log::format("Could not save %@: %@", path, error ? error->localizedDescription() : std::string("unknown error"));
    return false;
}

std::optional<Value> Utility::loadFileFromDiskPath(std::string_view key, const std::string& path,
                                                   std::optional<Error>* error) {
    if (!FileManager::fileExists(path)) return Value(Value::Array{});
    std::optional<Error> failure;
    std::optional<Value> object;
    if (auto bytes = FileManager::contentsOfFile(path, &failure))
        object = KeyedUnarchiver::unarchivedObjectOfAnyClass(*bytes, key, &failure);
    if (failure) {
        Log::format("Ignoring the unreadable archive %@: %@", path, failure->localizedDescription());
        if (error) *error = std::move(failure);
        return Value(Value::Array{});
    }
    return object;
}

std::string Utility::getDeviceType() { return DeviceInfo::hardwareModel(); }

bool Utility::isFirmwareAtLeast(double version) {
    return Text::doubleValue(Device::currentDevice()->systemVersion()) >= version;
}

bool Utility::isGreatThan3Dot2() { return isFirmwareAtLeast(3.2); }

std::optional<std::string> Utility::getBitlyShortURL(const std::string& longURL) {
    const AppConfig& config = AppConfig::current();
    if (config.shortenerApiKey.empty() || config.shortenerLogin.empty()) return std::nullopt;
    const std::string escaped = Text::percentEscapeLegalURL(longURL, "!*'();:@&=+$,/?%#[]");
    const std::string address =
        "https://" + config.shortenerHost + "/v3/shorten?login=" + Text::percentEscape(config.shortenerLogin) +
        "&apiKey=" + Text::percentEscape(config.shortenerApiKey) + "&uri=" + escaped + "&format=txt";
    auto url = URL::fromString(address);
    if (!url) return std::nullopt;
    URLRequest request(*url, URLRequest::CachePolicy::ReloadIgnoringLocalCacheData, kShortenerTimeout);
    auto result = LimitedFetch::fetch(request, kShortenerReplyLimit);
    // Only a successful reply whose text is an address counts: an error word
    // or page is no short link.
    if (result.error || !result.body || result.statusCode() != 200) return std::nullopt;
    auto text = Text::fromUTF8(*result.body);
    if (!text) return std::nullopt;
    std::string link = Text::trimWhitespaceAndNewlines(*text);
    auto parsed = URL::fromString(link);
    if (!parsed || parsed->host().empty()) return std::nullopt;
    if (!Text::equalsCaseInsensitive(parsed->scheme(), "http") &&
        !Text::equalsCaseInsensitive(parsed->scheme(), "https"))
        return std::nullopt;
    return link;
}

std::shared_ptr<Button> Utility::buttonWithTitleTargetSelectorFrameImageImagePressedDarkTextColor(
    const std::string& title, Control::Action action, Rect frame, const std::shared_ptr<Image>& image,
    const std::shared_ptr<Image>& imagePressed, bool darkTextColor) {
    auto button = std::make_shared<Button>(frame);
    button->setTitleForState(title, Control::StateNormal);
    button->titleLabel()->setFont(Font::boldSystemFontOfSize(14));
    button->setTitleColorForState(darkTextColor ? Color::blackColor() : Color::whiteColor(), Control::StateNormal);
    if (image)
        button->setBackgroundImageForState(image->stretchableImageWithLeftCapWidthTopCapHeight(12, 0),
                                           Control::StateNormal);
    if (imagePressed)
        button->setBackgroundImageForState(imagePressed->stretchableImageWithLeftCapWidthTopCapHeight(12, 0),
                                           Control::StateHighlighted);
    if (action) button->addActionForControlEvents(std::move(action), Control::EventTouchUpInside);
    button->setBackgroundColor(Color::clearColor());
    return button;
}

}  // namespace clipora
