#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLConnectionDelegate.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/WebView.h"

namespace clipora::device {

// Plays the other application a login hand-over opens (the network's own app
// or the system browser): it loads the page the application handed over,
// shows its login form in the terminal, posts what the user typed and
// follows the redirects. When the chain reaches an address outside the web
// (the application's own "fb...://authorize" scheme) that address is handed
// back to the application, as the platform does when another application
// opens a URL. Main thread; loads run on the main run loop.
class BrowserHandOver : public platform::URLConnectionDelegate, public std::enable_shared_from_this<BrowserHandOver> {
public:
    enum class State { Idle, Loading, ShowingForm, ShowingPage };

    // Starts a hand-over of `url` (replacing one under way).
    void open(const platform::URL& url);

    State state() const { return state_; }
    bool isActive() const { return state_ != State::Idle; }
    bool isLoading() const { return state_ == State::Loading; }

    // The login form: the e-mail first, then the password.
    void type(const std::string& text);
    // Whether the next text typed goes into the password field.
    bool nextFieldIsSecure() const { return state_ == State::ShowingForm && !email_.empty(); }
    void logIn();
    void cancel();
    // Leaves a page that is not a login form.
    void close();

    // The page as text, with the numbered buttons.
    std::string screenText() const;

    // --- URLConnectionDelegate ---
    std::shared_ptr<platform::URLRequest> connectionWillSendRequestRedirectResponse(
        const std::shared_ptr<platform::URLConnection>& connection,
        const std::shared_ptr<platform::URLRequest>& request,
        const std::shared_ptr<platform::HTTPURLResponse>& redirectResponse) override;
    void connectionDidReceiveResponse(const std::shared_ptr<platform::URLConnection>& connection,
                                      const std::shared_ptr<platform::HTTPURLResponse>& response) override;
    void connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection,
                                  const platform::Data& data) override;
    void connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>& connection) override;
    void connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>& connection,
                                    const platform::Error& error) override;

private:
    void load(const platform::URLRequest& request);
    void submit(const std::string& button);
    void handBack(const platform::URL& url);

    State state_ = State::Idle;
    std::shared_ptr<platform::URLConnection> connection_;
    std::optional<platform::URL> appURL_;
    std::string host_;
    std::string body_;
    std::string formAction_;
    std::string email_;
    std::string password_;
    std::string message_;
};

// The forms of the page a browser screen shows, as the terminal draws them
// and the user works them: the text fields of all the page's forms
// numbered "[f N]" (a password as one "*" per character), the submit
// buttons "[s N]". "field N" taps field N (the keyboard goes to it, so
// "type" fills it); "submit N" presses button N; "submit" presses Return
// in the field that has the keyboard (or submits the page's one form).
// The web view does the rest: the request, and its delegate's say.
class PageForms {
public:
    // The lines of the page's fields and buttons ("" when it has none).
    static std::string screenText(const platform::WebView& web);
    // Runs "field" and "submit" on the page; nothing for any other verb.
    // Answers whether it was done, having written why not to `output`.
    static std::optional<bool> execute(const std::shared_ptr<platform::WebView>& web, const std::string& verb,
                                       const std::string& argument, std::ostream& output);

private:
    struct Place {
        std::size_t form;
        std::size_t control;
    };
    // The enabled controls of every form of the page that are of a kind.
    static std::vector<Place> places(const platform::WebView& web, bool (platform::HTMLForm::Control::*kind)() const);
    static std::vector<Place> fields(const platform::WebView& web);
    static std::vector<Place> buttons(const platform::WebView& web);
};

}  // namespace clipora::device
