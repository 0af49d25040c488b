#pragma once

namespace clipora::platform {

// Orientation of the interface (the status bar), in the platform's numbering.
// Landscape left means the home button is on the left.
enum InterfaceOrientation : int {
    InterfaceOrientationPortrait = 1,
    InterfaceOrientationPortraitUpsideDown = 2,
    InterfaceOrientationLandscapeRight = 3,
    InterfaceOrientationLandscapeLeft = 4,
};

inline bool interfaceOrientationIsPortrait(int orientation) {
    return orientation == InterfaceOrientationPortrait || orientation == InterfaceOrientationPortraitUpsideDown;
}

inline bool interfaceOrientationIsLandscape(int orientation) {
    return orientation == InterfaceOrientationLandscapeLeft || orientation == InterfaceOrientationLandscapeRight;
}

}  // namespace clipora::platform
