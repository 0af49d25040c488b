#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"

namespace clipora::platform {

// The device the application runs on, as the application sees it. Every
// answer is settable so tests (and the device program) can play a phone, a
// tablet, or an old device that does not answer the idiom or multitasking
// questions.
class Device : public Object, public std::enable_shared_from_this<Device> {
public:
    static constexpr const char* kOrientationDidChangeNotification = "UIDeviceOrientationDidChangeNotification";

    enum UserInterfaceIdiom : int {
        UserInterfaceIdiomPhone = 0,
        UserInterfaceIdiomPad = 1,
    };

    enum Orientation : int {
        OrientationUnknown = 0,
        OrientationPortrait = 1,
        OrientationPortraitUpsideDown = 2,
        OrientationLandscapeLeft = 3,   // home button on the right
        OrientationLandscapeRight = 4,  // home button on the left
        OrientationFaceUp = 5,
        OrientationFaceDown = 6,
    };

    static std::shared_ptr<Device> currentDevice();
    // A fresh device with the defaults (tests).
    static void reset();

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    // "iPhone" or "iPad" by default, after the idiom.
    std::string model() const;
    void setModel(std::string model) { model_ = std::move(model); }
    std::string localizedModel() const { return model(); }
    const std::string& systemName() const { return systemName_; }
    void setSystemName(std::string name) { systemName_ = std::move(name); }
    const std::string& systemVersion() const { return systemVersion_; }
    void setSystemVersion(std::string version) { systemVersion_ = std::move(version); }

    // Whether the device answers the idiom question at all; callers that get
    // no answer treat the device as a phone, which is what
    // userInterfaceIdiom() then answers.
    bool answersUserInterfaceIdiom() const { return idiom_.has_value(); }
    UserInterfaceIdiom userInterfaceIdiom() const { return idiom_.value_or(UserInterfaceIdiomPhone); }
    void setUserInterfaceIdiom(std::optional<UserInterfaceIdiom> idiom) { idiom_ = idiom; }

    // An optional capability: devices that do not answer support no multitasking.
    bool answersMultitaskingSupported() const { return multitasking_.has_value(); }
    bool isMultitaskingSupported() const { return multitasking_.value_or(false); }
    void setMultitaskingSupported(std::optional<bool> supported) { multitasking_ = supported; }

    Orientation orientation() const { return orientation_; }
    // Turns the device (the device program and tests play the hand). While
    // notifications are generated this posts the orientation notification
    // and lets the interface follow (see Application).
    void setOrientation(Orientation orientation);
    // Nested: notifications flow while begin has been called more often than end.
    void beginGeneratingDeviceOrientationNotifications();
    void endGeneratingDeviceOrientationNotifications();
    bool isGeneratingDeviceOrientationNotifications() const { return generating_ > 0; }

private:
    std::string name_ = "Clipora";
    std::optional<std::string> model_;
    std::string systemName_ = "iPhone OS";
    std::string systemVersion_ = "5.1";
    std::optional<UserInterfaceIdiom> idiom_ = UserInterfaceIdiomPhone;
    std::optional<bool> multitasking_ = true;
    Orientation orientation_ = OrientationPortrait;
    int generating_ = 0;
};

}  // namespace clipora::platform
