#pragma once

#include <memory>
#include <string>

#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

class Application;
class Window;

// The application's delegate: told of launch and of every change of state,
// and handed the URLs opened in the application. Every operation is optional;
// the default bodies do what the application does when a delegate does not
// answer.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;

    virtual void applicationDidFinishLaunching(const std::shared_ptr<Application>&) {}
    // Launch with the launch options (a dictionary, possibly null); answers
    // whether the application can handle a URL it was launched with. The
    // default runs applicationDidFinishLaunching and answers true.
    virtual bool applicationDidFinishLaunchingWithOptions(const std::shared_ptr<Application>& application,
                                                          const Value& launchOptions) {
        (void)launchOptions;
        applicationDidFinishLaunching(application);
        return true;
    }
    virtual void applicationDidBecomeActive(const std::shared_ptr<Application>&) {}
    virtual void applicationWillResignActive(const std::shared_ptr<Application>&) {}
    virtual void applicationDidEnterBackground(const std::shared_ptr<Application>&) {}
    virtual void applicationWillEnterForeground(const std::shared_ptr<Application>&) {}
    virtual void applicationWillTerminate(const std::shared_ptr<Application>&) {}
    virtual void applicationDidReceiveMemoryWarning(const std::shared_ptr<Application>&) {}
    virtual void applicationDidChangeStatusBarOrientation(const std::shared_ptr<Application>&, int oldOrientation) {
        (void)oldOrientation;
    }

    // A URL opened in the application. The three-argument form is asked
    // first; by default it hands the URL to the one-argument form, which
    // refuses it.
    virtual bool applicationHandleOpenURL(const std::shared_ptr<Application>&, const URL&) { return false; }
    virtual bool applicationOpenURLSourceApplicationAnnotation(const std::shared_ptr<Application>& application,
                                                               const URL& url, const std::string& sourceApplication,
                                                               const Value& annotation) {
        (void)sourceApplication;
        (void)annotation;
        return applicationHandleOpenURL(application, url);
    }

    // The delegate's main window, when it has one.
    virtual std::shared_ptr<Window> window() const { return nullptr; }
};

}  // namespace clipora::platform
