#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/standin/StandinData.h"
#include "tools/standin/StandinReply.h"
#include "tools/standin/StandinRequest.h"

namespace clipora::standin {

// The web hosts: the mobile web host's login page and dialogs, the login
// host, and the video pages of the public web host.
//
// Web host:
//   GET  /dialog/oauth?client_id=..&redirect_uri=..  signed in (session
//        cookies): 302 to redirect_uri#access_token=..&expires_in=..;
//        else the login form, whose action is the login host's /login.php.
//   GET  /app/authorize?client_id=..[&local_client_id=..]  the same, playing
//        the network's own app: it returns to fb<client_id><local_client_id>://authorize.
//   GET  /dialog/<action>?app_id=..&redirect_uri=..[&access_token=..]  a page
//        with a form (POST to the same URL) with the buttons "publish" and
//        "cancel"; signed out: the login form. "feed"/"stream.publish" post to
//        the wall (302 to redirect_uri?post_id=..); "apprequests" sends a
//        request (redirect_uri?request=..&to[0]=..), at once without a page
//        when "frictionless" is 1 and every recipient had one before. Cancel:
//        fbconnect://cancel when redirect_uri is fbconnect://success, else
//        redirect_uri?error_code=4201&error_msg=...
//   GET  /video/video.php?v=<vid>  (also on the public web host)
// Login host:
//   POST /login.php?next=<dialog URL on the web host>  form fields "email"
//        and "pass" (and "login" or "cancel"): sets the Secure session cookies
//        "c_user" and "xs" for the parent domain and answers 302 to next; a
//        wrong password shows the form again with a message.
class StandinWeb {
public:
    explicit StandinWeb(StandinData& data) : data_(data) {}

    StandinReply handle(const StandinRequest& request);

    // How long a signed-in browser keeps its session cookies.
    static constexpr long kSessionCookieSeconds = 365L * 86400;
    // Opens a browser session for the user: the Set-Cookie values of its
    // "c_user" and "xs" cookies (Secure, HttpOnly, persistent for
    // kSessionCookieSeconds, for the parent domain of the login and web
    // hosts).
    static std::vector<std::string> sessionCookies(StandinData& data, const std::string& uid);

private:
    StandinReply oauth(const StandinRequest& request, bool appRoute);
    StandinReply dialog(const StandinRequest& request, const std::string& action);
    StandinReply login(const StandinRequest& request);
    StandinReply videoPage(const StandinRequest& request);
    // The mobile site's pages for the in-app browser: the login page
    // ("/login.php?next=..." on the web host) and the video home
    // ("/home.php?sk=video" on the www host), plus the blank page.
    StandinReply mobileLogin(const StandinRequest& request);
    StandinReply videoHome(const StandinRequest& request);

    StandinReply loginForm(const std::string& next, const std::string& message, int status = 200) const;
    std::optional<std::string> signedInUser(const StandinRequest& request) const;
    // Where a cancelled sign-in or dialog goes, for the dialog URL's path and
    // parameters (nullopt: the parameters do not say).
    std::optional<std::string> cancelTarget(const std::string& path,
                                            const std::map<std::string, std::string>& params) const;
    std::string tokenFragment(const std::string& uid);
    std::string webBase() const;

    StandinData& data_;
};

}  // namespace clipora::standin
