#pragma once

#include <memory>

#include "platform/uikit/Button.h"
#include "social/sdk/FBLoginButton.h"

namespace clipora {

// What the screens ask of the application: the login button and signing
// in, whether a list may open, and the post that recommends the
// application. The application delegate implements it and hands it, with
// the session and the download list, to the screens it makes; a screen
// passes them on to the screens it makes in turn and never looks the
// delegate up. Main thread.
class ApplicationServices {
public:
    virtual ~ApplicationServices() = default;

    virtual const std::shared_ptr<FBLoginButton>& fbButton() const = 0;
    // The login button's action: logout when it shows the signed-in state,
    // else login.
    virtual void fbButtonClick(const std::shared_ptr<platform::Button>& sender) = 0;
    virtual void login() = 0;
    virtual bool isConnectToFacebook() const = 0;
    // Whether a video list may open (else the login starts).
    virtual bool canAppContinue() const = 0;
    virtual void shareAppOnFacebook() = 0;
};

}  // namespace clipora
