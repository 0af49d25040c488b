#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/Object.h"
#include "platform/foundation/Rect.h"

namespace clipora::platform {

// The device's screen: bounds in portrait points, scale, and the frame left
// to the application beside the status bar. Bounds follow the device's
// interface idiom (320 x 480 on a phone, 768 x 1024 on a tablet) unless set.
class Screen : public Object {
public:
    static std::shared_ptr<Screen> mainScreen();
    // A fresh main screen (tests start from the defaults).
    static void reset();

    Rect bounds() const;
    void setBounds(Rect bounds) { bounds_ = bounds; }
    float scale() const { return scale_; }
    void setScale(float scale) { scale_ = scale; }
    // The bounds less the status bar (20 points on the side the status-bar
    // orientation puts it), or the bounds when the status bar is hidden.
    Rect applicationFrame() const;

private:
    std::optional<Rect> bounds_;
    float scale_ = 1;
};

}  // namespace clipora::platform
