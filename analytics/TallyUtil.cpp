#include "analytics/TallyUtil.h"

#include <atomic>
#include <cmath>

#include "platform/foundation/Error.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/View.h"

namespace clipora {

using namespace platform;

namespace {

std::atomic<bool> debugLogEnabled{false};
std::atomic<bool> showErrorInLog{false};
std::atomic<int> systemVersionCache{0};

constexpr float kPhoneWidth = 320, kPhoneHeight = 480.1f, kPadWidth = 768, kPadHeight = 1024.1f;

bool statusBarIs(InterfaceOrientation orientation) {
    return Application::sharedApplication()->statusBarOrientation() == orientation;
}

bool named(const std::optional<std::string>& orientation, std::string_view name) {
    return Text::equalsCaseInsensitive(*orientation, name);
}

}  // namespace

void TallyUtil::setDebugLogEnabled(bool enabled) { debugLogEnabled = enabled; }
bool TallyUtil::isDebugLogEnabled() { return debugLogEnabled; }
void TallyUtil::setShowErrorInLogEnabled(bool enabled) { showErrorInLog = enabled; }
bool TallyUtil::isShowErrorInLogEnabled() { return showErrorInLog; }

void TallyUtil::handleException(std::exception_ptr caught) {
    if (!caught || !showErrorInLog || !debugLogEnabled) return;
    try {
        std::rethrow_exception(caught);
    } catch (const Exception& exception) {
        Log::write("Tally: Caught Exception in Tally Analytics Code");
        Log::write("Tally: -----------------------------------------");
        Log::format("Tally: Name:%@ Reason:%@", exception.name(), exception.reason());
        Log::format("Tally: %@", Value(exception.userInfo()));
    } catch (const Error& error) {
        Log::write("Tally: Caught Error in Tally Analytics Code");
        Log::write("Tally: -----------------------------------------");
        Log::format("Tally: Code:%d Domain:%@", error.code(), error.domain());
        Log::format("Tally: %@", Value(error.userInfo()));
    } catch (const std::exception& other) {
        Log::write("Tally: Caught Error in Tally Analytics Code");
        Log::format("Tally: %@", std::string(other.what()));
    } catch (const std::string& text) {
        Log::write("Tally: Caught Error in Tally Analytics Code");
        Log::format("Tally: %@", text);
    } catch (const char* text) {
        Log::write("Tally: Caught Error in Tally Analytics Code");
        Log::format("Tally: %@", std::string(text ? text : "(null)"));
    } catch (...) {
        Log::write("Tally: Caught Error in Tally Analytics Code");
        Log::write("Tally: (unknown object)");
    }
}

Rect TallyUtil::screenBounds() { return screenBounds(std::nullopt); }

Rect TallyUtil::screenBounds(const std::optional<std::string>& orientation) {
    const bool pad = isIPad();
    float width = pad ? kPadWidth : kPhoneWidth;
    float height = pad ? kPadHeight : kPhoneHeight;
    if (canvasInLandscape(orientation)) std::swap(width, height);
    return Rect{0, 0, width, height};
}

bool TallyUtil::canvasInLandscapeRight() { return statusBarIs(InterfaceOrientationLandscapeRight); }
bool TallyUtil::canvasInLandscapeLeft() { return statusBarIs(InterfaceOrientationLandscapeLeft); }
bool TallyUtil::canvasInPortraitUpsideDown() { return statusBarIs(InterfaceOrientationPortraitUpsideDown); }
bool TallyUtil::canvasInLandscape() { return canvasInLandscapeRight() || canvasInLandscapeLeft(); }

bool TallyUtil::canvasInLandscapeRight(const std::optional<std::string>& orientation) {
    return orientation ? named(orientation, "landscapeRight") : canvasInLandscapeRight();
}
bool TallyUtil::canvasInLandscapeLeft(const std::optional<std::string>& orientation) {
    return orientation ? named(orientation, "landscapeLeft") : canvasInLandscapeLeft();
}
bool TallyUtil::canvasInPortraitUpsideDown(const std::optional<std::string>& orientation) {
    return orientation ? named(orientation, "portraitUpsideDown") : canvasInPortraitUpsideDown();
}
bool TallyUtil::canvasInLandscape(const std::optional<std::string>& orientation) {
    return canvasInLandscapeRight(orientation) || canvasInLandscapeLeft(orientation);
}

std::string TallyUtil::getCanvasOrientation() {
    if (canvasInLandscapeRight()) return "landscapeRight";
    if (canvasInLandscapeLeft()) return "landscapeLeft";
    if (canvasInPortraitUpsideDown()) return "portraitUpsideDown";
    return "portrait";
}

void TallyUtil::removeViewFromSuperview(const std::shared_ptr<View>& view) {
    if (view) view->removeFromSuperview();
}

std::optional<Value> TallyUtil::convertStrToNum(const std::string& text) {
    const std::string trimmed = Text::trimWhitespaceAndNewlines(text);
    if (trimmed.empty()) return std::nullopt;
    if (auto whole = Text::parseInt64(trimmed)) return Value(*whole);
    char* end = nullptr;
    const double number = std::strtod(trimmed.c_str(), &end);
    if (end != trimmed.c_str() + trimmed.size() || !std::isfinite(number)) return std::nullopt;
    // Hexadecimal floats and exponents are not decimal-style numbers.
    if (trimmed.find_first_of("xXeEpPnN") != std::string::npos) return std::nullopt;
    return Value(number);
}

bool TallyUtil::isIPad() {
    auto device = Device::currentDevice();
    return device->answersUserInterfaceIdiom() && device->userInterfaceIdiom() == Device::UserInterfaceIdiomPad;
}

bool TallyUtil::addToSetObj(Value::Array& collection, const Value& object) {
    for (const auto& item : collection)
        if (item == object) return false;
    collection.push_back(object);
    return true;
}

int TallyUtil::getSystemVersionAsAnInteger() {
    if (int cached = systemVersionCache.load()) return cached;
    const auto parts = Text::split(Device::currentDevice()->systemVersion(), ".");
    int version = 0;
    for (std::size_t i = 0; i < parts.size() && i < 3; ++i) {
        const auto weight = static_cast<int>(std::pow(100.0f, static_cast<float>(2 - i)));
        version += Text::intValue(parts[i]) * weight;
    }
    systemVersionCache = version;
    return version;
}

bool TallyUtil::addSkipBackupAttributeToItemAtURL(const URL& fileURL) {
    if (getSystemVersionAsAnInteger() <= 50000) return false;
    return FileManager::setExtendedAttribute(fileURL.path(), "com.apple.MobileBackup", Data{1});
}

void TallyUtil::reset() {
    debugLogEnabled = false;
    showErrorInLog = false;
    systemVersionCache = 0;
}

}  // namespace clipora
