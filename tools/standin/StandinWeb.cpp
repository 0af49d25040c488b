#include "tools/standin/StandinWeb.h"

#include <cmath>
#include <set>
#include <vector>

#include "platform/foundation/MarkupEscaping.h"
#include "platform/foundation/Text.h"
#include "tools/standin/StandinActions.h"
#include "tools/standin/StandinText.h"

namespace clipora::standin {

namespace {

std::string withQuery(const std::string& url, const std::string& query) {
    return url + (url.find('?') == std::string::npos ? "?" : "&") + query;
}

std::string page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + platform::MarkupEscaping::escaped(title) +
           "</title></head>\n<body>\n" + body + "</body></html>\n";
}

// "to" as the dialogs take it: a JSON array or a comma-separated list.
std::vector<std::string> recipients(const std::string& to) {
    std::vector<std::string> out;
    Json parsed = Json::parse(to, nullptr, false);
    if (!parsed.is_discarded() && parsed.is_array()) {
        for (const auto& item : parsed) {
            std::string id = StandinActions::text(item);
            if (!id.empty()) out.push_back(id);
        }
        return out;
    }
    std::size_t pos = 0;
    while (pos <= to.size()) {
        std::size_t end = to.find(',', pos);
        if (end == std::string::npos) end = to.size();
        std::string piece = to.substr(pos, end - pos);
        std::size_t a = piece.find_first_not_of(" \t");
        std::size_t b = piece.find_last_not_of(" \t");
        if (a != std::string::npos) out.push_back(piece.substr(a, b - a + 1));
        pos = end + 1;
    }
    return out;
}

std::string userMessage(const std::string& prompt) {
    return prompt.empty() ? std::string() : "<p id=\"prompt\">" + platform::MarkupEscaping::escaped(prompt) + "</p>\n";
}

}  // namespace

std::string StandinWeb::webBase() const {
    std::string base = data_.hosts().baseURL(StandinHost::Web);
    base.pop_back();
    return base;
}

StandinReply StandinWeb::handle(const StandinRequest& request) {
    StandinHost role = request.host.value_or(StandinHost::Web);
    const std::string& path = request.path;
    if (role == StandinHost::Login) {
        if (path == "/login.php" && request.method == "POST") return login(request);
        return StandinReply::errorPage(404, "The login host takes only the login form.");
    }
    if (path == "/video/video.php" && request.method == "GET") return videoPage(request);
    if (role == StandinHost::Www && path == "/home.php" && request.method == "GET") return videoHome(request);
    if (role == StandinHost::Www && path == "/common/blank.html") return StandinReply::html(page("", ""));
    if (role == StandinHost::Web && path == "/login.php" && request.method == "GET") return mobileLogin(request);
    if (role == StandinHost::Web) {
        if (path == "/dialog/oauth" && request.method == "GET") return oauth(request, false);
        if (path == "/app/authorize" && request.method == "GET") return oauth(request, true);
        static const std::string prefix = "/dialog/";
        if (platform::Text::hasPrefix(path, prefix) && path.size() > prefix.size() &&
            path.find('/', prefix.size()) == std::string::npos &&
            (request.method == "GET" || request.method == "POST")) {
            return dialog(request, path.substr(prefix.size()));
        }
    }
    return StandinReply::errorPage(404, "The page you requested was not found.");
}

std::optional<std::string> StandinWeb::signedInUser(const StandinRequest& request) const {
    std::string cUser = request.cookie("c_user");
    std::string xs = request.cookie("xs");
    if (cUser.empty() || xs.empty()) return std::nullopt;
    return data_.sessionUser(cUser, xs);
}

std::string StandinWeb::tokenFragment(const std::string& uid) {
    double lifetime = data_.tokenLifetime();
    std::string token = data_.issueToken(uid, lifetime);
    return "access_token=" + platform::Text::percentEscape(token) +
           "&expires_in=" + std::to_string(static_cast<std::int64_t>(std::floor(lifetime)));
}

StandinReply StandinWeb::loginForm(const std::string& next, const std::string& message, int status) const {
    std::string action =
        data_.hosts().baseURL(StandinHost::Login) + "login.php?next=" + platform::Text::percentEscape(next);
    std::string body = "<h1>Log in</h1>\n";
    if (!message.empty()) body += "<p id=\"error\">" + platform::MarkupEscaping::escaped(message) + "</p>\n";
    body += "<form id=\"login_form\" method=\"post\" action=\"" + platform::MarkupEscaping::escaped(action) +
            "\">\n"
            "<label>Email <input type=\"text\" name=\"email\"></label>\n"
            "<label>Password <input type=\"password\" name=\"pass\"></label>\n"
            "<input type=\"submit\" name=\"login\" value=\"Log In\">\n"
            "<input type=\"submit\" name=\"cancel\" value=\"Cancel\">\n"
            "</form>\n";
    return StandinReply::html(page("Log In", body), status);
}

std::optional<std::string> StandinWeb::cancelTarget(const std::string& path,
                                                    const std::map<std::string, std::string>& params) const {
    auto param = [&](const std::string& key) {
        auto it = params.find(key);
        return it == params.end() ? std::string() : it->second;
    };
    static const std::string denied =
        "error_reason=user_denied&error=access_denied&error_description=The%20user%20denied%20your%20request.";
    if (path == "/dialog/oauth") {
        if (param("redirect_uri").empty()) return std::nullopt;
        return withQuery(param("redirect_uri"), denied);
    }
    if (path == "/app/authorize") {
        if (param("client_id").empty()) return std::nullopt;
        return "fb" + param("client_id") + param("local_client_id") + "://authorize?" + denied;
    }
    std::string redirect = param("redirect_uri").empty() ? "fbconnect://success" : param("redirect_uri");
    if (redirect == "fbconnect://success") return std::string("fbconnect://cancel");
    return withQuery(redirect, "error_code=4201&error_msg=User%20canceled%20the%20Dialog%20flow");
}

StandinReply StandinWeb::oauth(const StandinRequest& request, bool appRoute) {
    std::string clientId = request.param("client_id");
    if (clientId.empty()) return StandinReply::errorPage(400, "Invalid parameter: client_id is required.");
    std::string target;
    if (appRoute) {
        target = "fb" + clientId + request.param("local_client_id") + "://authorize";
    } else {
        target = request.param("redirect_uri");
        if (target.empty()) return StandinReply::errorPage(400, "Invalid parameter: redirect_uri is required.");
    }
    if (request.param("cancel") == "1") return StandinReply::redirect(*cancelTarget(request.path, request.params));
    auto uid = signedInUser(request);
    if (!uid) return loginForm(webBase() + request.target, {});
    return StandinReply::redirect(target + "#" + tokenFragment(*uid));
}

StandinReply StandinWeb::dialog(const StandinRequest& request, const std::string& action) {
    if (request.param("app_id").empty() && request.param("client_id").empty() && request.param("api_key").empty()) {
        return StandinReply::errorPage(400, "Invalid parameter: app_id is required.");
    }
    const std::map<std::string, std::string>& query = request.query;
    auto get = [&](const std::string& key) {
        auto it = query.find(key);
        return it == query.end() ? std::string() : it->second;
    };
    std::optional<std::string> uid;
    StandinData::Token token;
    if (data_.checkToken(get("access_token"), &token) == StandinData::TokenCheck::Valid) {
        uid = StandinActions::actorOf(token);
    } else {
        uid = signedInUser(request);
    }
    if (!uid) return loginForm(webBase() + request.target, {});

    std::string redirect = get("redirect_uri").empty() ? "fbconnect://success" : get("redirect_uri");
    bool feed = action == "feed" || action == "stream.publish";
    bool requests = action == "apprequests";
    if (feed) {
        if (query.count("attachment")) {
            Json attachment = Json::parse(get("attachment"), nullptr, false);
            if (attachment.is_discarded() || !attachment.is_object()) {
                return StandinReply::errorPage(400, "Invalid parameter: attachment must be a JSON-encoded object.");
            }
        }
        if (query.count("action_links")) {
            Json links = Json::parse(get("action_links"), nullptr, false);
            if (links.is_discarded() || !links.is_array()) {
                return StandinReply::errorPage(400, "Invalid parameter: action_links must be a JSON-encoded array.");
            }
        }
    }
    std::vector<std::string> to = recipients(get("to"));
    if (requests && get("message").empty()) {
        return StandinReply::errorPage(400, "Invalid parameter: message is required.");
    }

    auto send = [&]() {
        if (feed) {
            Json fields = Json::object();
            fields["type"] = "status";
            fields["message"] = request.form.count("message") ? request.form.at("message") : get("message");
            if (query.count("attachment")) fields["attachment"] = Json::parse(get("attachment"));
            if (query.count("action_links")) fields["action_links"] = Json::parse(get("action_links"));
            Json post = StandinActions::addPost(data_, *uid, get("to"), fields);
            return StandinReply::redirect(
                withQuery(redirect, "post_id=" + platform::Text::percentEscape(post["post_id"].get<std::string>())));
        }
        if (requests) {
            std::string id = data_.newId();
            std::string result = "request=" + id;
            for (std::size_t i = 0; i < to.size(); ++i) {
                result += "&to%5B" + std::to_string(i) + "%5D=" + platform::Text::percentEscape(to[i]);
                bool known = false;
                for (const auto& row : data_.table("apprequest_recipient")) {
                    if (StandinActions::text(row["uid"]) == *uid && StandinActions::text(row["recipient_id"]) == to[i])
                        known = true;
                }
                if (!known) {
                    Json row = Json::object();
                    row["uid"] = std::stoll(*uid);
                    row["recipient_id"] = to[i];
                    data_.insertRow("apprequest_recipient", row);
                }
            }
            if (get("frictionless") == "1") {
                Json list = Json::array();
                for (const auto& row : data_.table("apprequest_recipient")) {
                    if (StandinActions::text(row["uid"]) == *uid)
                        list.push_back(StandinActions::text(row["recipient_id"]));
                }
                result += "&frictionless_recipients=" + platform::Text::percentEscape(list.dump());
            }
            return StandinReply::redirect(withQuery(redirect, result));
        }
        return StandinReply::redirect(redirect);
    };

    if (request.method == "POST") {
        if (!request.bodyError.empty()) return StandinReply::errorPage(400, "Malformed form: " + request.bodyError);
        if (request.form.count("cancel")) return StandinReply::redirect(*cancelTarget(request.path, query));
        return send();
    }
    if (requests && get("frictionless") == "1" && !to.empty()) {
        std::set<std::string> former;
        for (const auto& row : data_.table("apprequest_recipient")) {
            if (StandinActions::text(row["uid"]) == *uid) former.insert(StandinActions::text(row["recipient_id"]));
        }
        bool all = true;
        for (const auto& id : to) all = all && former.count(id);
        if (all) return send();
    }

    std::string formAction = webBase() + request.target;
    std::string body = "<h1>" +
                       platform::MarkupEscaping::escaped(feed       ? "Post to Wall"
                                                         : requests ? "Send Request"
                                                                    : action) +
                       "</h1>\n";
    body += userMessage(get("user_message_prompt"));
    body +=
        "<form id=\"dialog_form\" method=\"post\" action=\"" + platform::MarkupEscaping::escaped(formAction) + "\">\n";
    if (feed)
        body += "<textarea name=\"message\">" + platform::MarkupEscaping::escaped(get("message")) + "</textarea>\n";
    if (requests) body += "<p id=\"message\">" + platform::MarkupEscaping::escaped(get("message")) + "</p>\n";
    body += std::string("<input type=\"submit\" name=\"publish\" value=\"") +
            (feed       ? "Publish"
             : requests ? "Send"
                        : "OK") +
            "\">\n<input type=\"submit\" name=\"cancel\" value=\"" + (feed ? "Skip" : "Cancel") + "\">\n</form>\n";
    return StandinReply::html(page(feed ? "Post to Wall" : requests ? "Send Request" : action, body));
}

StandinReply StandinWeb::login(const StandinRequest& request) {
    std::string next = request.query.count("next") ? request.query.at("next") : std::string();
    std::string base = webBase() + "/";
    // The mobile site's own login page comes back to a page of the main web
    // host (the video home); the dialogs' to themselves.
    const bool toSite = platform::Text::hasPrefix(next, data_.hosts().baseURL(StandinHost::Www));
    if (!platform::Text::hasPrefix(next, base) && !toSite) {
        return StandinReply::errorPage(400, "The login form must come back to a page of the web host.");
    }
    if (!request.bodyError.empty()) return StandinReply::errorPage(400, "Malformed form: " + request.bodyError);
    if (request.form.count("cancel")) {
        if (toSite) return StandinReply::redirect(next);
        // The parameters of the dialog the form came from.
        std::string nextPath = next.substr(base.size() - 1);
        std::string nextQuery;
        if (auto q = nextPath.find('?'); q != std::string::npos) {
            nextQuery = nextPath.substr(q + 1);
            nextPath.erase(q);
        }
        auto params = StandinText::parseForm(nextQuery);
        auto target = params ? cancelTarget(nextPath, *params) : std::nullopt;
        if (!target) return StandinReply::errorPage(400, "The dialog's parameters are incomplete.");
        return StandinReply::redirect(*target);
    }
    auto email = request.form.find("email");
    auto pass = request.form.find("pass");
    std::optional<std::string> uid;
    if (email != request.form.end() && pass != request.form.end()) uid = data_.checkLogin(email->second, pass->second);
    if (!uid) return loginForm(next, "The email or password you entered is incorrect.");

    StandinReply reply = StandinReply::redirect(next);
    for (auto& cookie : sessionCookies(data_, *uid)) reply.headers.emplace_back("Set-Cookie", std::move(cookie));
    return reply;
}

std::vector<std::string> StandinWeb::sessionCookies(StandinData& data, const std::string& uid) {
    std::string xs = data.openSession(uid);
    std::string domain = data.hosts().cookieDomain();
    // The mobile site keeps a browser signed in across restarts: the
    // cookies persist (for a year), they do not end with the session.
    std::string scope = (domain.empty() ? std::string() : "; Domain=." + domain) +
                        "; Path=/; Max-Age=" + std::to_string(kSessionCookieSeconds) + "; Secure; HttpOnly";
    return {"c_user=" + uid + scope, "xs=" + xs + scope};
}

StandinReply StandinWeb::videoPage(const StandinRequest& request) {
    std::string vid = request.param("v");
    auto video = data_.findRow("video", "vid", vid);
    if (!video) return StandinReply::errorPage(404, "This video is not available.");
    std::string owner = StandinActions::text((*video)["owner"]);
    std::string ownerName;
    if (auto user = data_.findRow("user", "uid", owner))
        ownerName = StandinActions::text((*user)["name"]);
    else if (auto p = data_.findRow("page", "page_id", owner))
        ownerName = StandinActions::text((*p)["name"]);
    else if (auto g = data_.findRow("group", "gid", owner))
        ownerName = StandinActions::text((*g)["name"]);
    std::string title = StandinActions::text(video->value("title", Json()));

    std::string script = "<script type=\"text/javascript\">\nvar swf = new SWFObject(\"/swf/player.swf\");\n";
    auto variable = [&](const char* key, const std::string& value) {
        if (!value.empty())
            script +=
                std::string("swf.addVariable(\"") + key + "\", \"" + platform::Text::percentEscape(value) + "\");\n";
    };
    variable("video_owner_name", ownerName);
    variable("video_title", title);
    // The picture's address is written with the page script's own escapes
    // ("\u00253A" for ":"), which readers of the page must undo.
    {
        std::string thumb = platform::Text::percentEscape(StandinActions::text(video->value("thumbnail_link", Json())));
        std::string escaped;
        for (char c : thumb) escaped += c == '%' ? std::string("\\u0025") : std::string(1, c);
        if (!thumb.empty()) script += "swf.addVariable(\"thumb_url\", \"" + escaped + "\");\n";
    }
    variable("video_src", StandinActions::text(video->value("src", Json())));
    variable("highqual_src", StandinActions::text(video->value("src_hq", Json())));
    script += "</script>\n";
    std::string body = "<h1 id=\"video_title\">" + platform::MarkupEscaping::escaped(title) +
                       "</h1>\n<p id=\"video_owner\">" + platform::MarkupEscaping::escaped(ownerName) + "</p>\n" +
                       script;
    return StandinReply::html(page(title, body));
}

StandinReply StandinWeb::mobileLogin(const StandinRequest& request) {
    std::string next = request.param("next");
    if (next.empty()) next = data_.hosts().baseURL(StandinHost::Www) + "home.php?sk=video";
    if (signedInUser(request)) return StandinReply::redirect(next);
    return loginForm(next, {});
}

StandinReply StandinWeb::videoHome(const StandinRequest& request) {
    auto uid = signedInUser(request);
    const std::string www = data_.hosts().baseURL(StandinHost::Www);
    if (!uid) {
        return StandinReply::redirect(webBase() + "/login.php?next=" +
                                      platform::Text::percentEscape(www.substr(0, www.size() - 1) + request.target));
    }
    // The user's own videos and their friends', newest first; every other
    // link opens "a new window", as the network's pages do.
    std::string body = "<h1>Videos</h1>\n<ul>\n";
    int n = 0;
    for (const auto& video : data_.table("video")) {
        const std::string owner = StandinActions::text(video["owner"]);
        bool friendOf = false;
        for (const auto& f : data_.table("friend"))
            friendOf =
                friendOf || (StandinActions::text(f["uid1"]) == *uid && StandinActions::text(f["uid2"]) == owner);
        if (owner != *uid && !friendOf) continue;
        const std::string vid = StandinActions::text(video["vid"]);
        body += std::string("<li><a href=\"") + www + "video/video.php?v=" + vid + "\"" +
                (n++ % 2 ? " target=\"_blank\"" : "") + ">" +
                platform::MarkupEscaping::escaped(StandinActions::text(video.value("title", Json()))) + "</a></li>\n";
    }
    body += "</ul>\n<p><a href=\"" + www + "common/blank.html\">Blank</a></p>\n";
    return StandinReply::html(page("Videos", body));
}

}  // namespace clipora::standin
