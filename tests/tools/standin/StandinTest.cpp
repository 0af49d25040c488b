#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/cfnetwork/HTTPCookieStorage.h"
#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Nesting.h"
#include "tests/support/TestHome.h"
#include "tools/standin/FQLEvaluator.h"
#include "tools/standin/MultipartForm.h"
#include "tools/standin/StandinData.h"
#include "tools/standin/StandinJson.h"
#include "tools/standin/StandinMedia.h"
#include "tools/standin/StandinServer.h"
#include "tools/standin/StandinText.h"

namespace clipora::standin {
namespace {

using Json = nlohmann::ordered_json;

std::vector<std::string> column(const Json& rows, const std::string& name) {
    std::vector<std::string> out;
    for (const auto& row : rows) out.push_back(row[name].is_string() ? row[name].get<std::string>() : row[name].dump());
    return out;
}

// ---------------------------------------------------------------- FQL

class FQLTest : public test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        data_.load(StandinServer::defaultDataFile());
        tables_ = data_.tables();
    }
    FQLEvaluator fql() const { return FQLEvaluator(tables_, data_.meUid(), StandinData::now()); }

    StandinData data_{StandinHosts()};
    Json tables_;
};

// The queries the video lists send, word for word (two blanks after WHERE
// when there is no restriction), and what the data set answers.
TEST_F(FQLTest, AnswersTheVideoAndNameQueriesOfTheVideoLists) {
    const std::string s =
        "SELECT vid, title, description, thumbnail_link, updated_time, owner, src, src_hq FROM video WHERE";
    const std::string old = "updated_time > 1267946339 and";
    struct Case {
        std::string query;
        std::vector<std::string> vids;
    } cases[] = {
        {s + "  owner == me() ORDER BY updated_time DESC LIMIT 100 ", {"400003", "400001", "400002"}},
        {s + " " + old + " owner == me() ORDER BY updated_time DESC LIMIT 100 ", {"400003", "400001"}},
        {s + "  vid in (SELECT vid FROM video_tag WHERE subject == me()) ORDER BY updated_time DESC LIMIT 100",
         {"400041", "400012"}},
        {s + "  owner in (SELECT uid2 FROM friend WHERE uid1 == me()) ORDER BY updated_time DESC LIMIT 100",
         {"400021", "400011", "400031", "400012", "400022"}},
        {s + " " + old + " owner in (SELECT uid2 FROM friend WHERE uid1 == me()) ORDER BY updated_time DESC LIMIT 100",
         {"400021", "400011", "400031", "400012"}},
        {s + "  owner IN (SELECT page_id FROM page_fan WHERE uid == me()) ORDER BY updated_time DESC LIMIT 100",
         {"400101", "400102"}},
        {s + "  owner IN (SELECT gid FROM group_member WHERE uid == me()) ORDER BY updated_time DESC LIMIT 100",
         {"400201"}},
        {s + "  owner == me() ORDER BY updated_time DESC LIMIT 1 ", {"400003"}},
    };
    for (const auto& c : cases) {
        auto result = fql().query(c.query);
        ASSERT_TRUE(std::holds_alternative<Json>(result))
            << c.query << ": " << std::get<FQLEvaluator::Error>(result).message;
        const Json& rows = std::get<Json>(result);
        EXPECT_EQ(column(rows, "vid"), c.vids) << c.query;
        ASSERT_FALSE(rows.empty());
        // The selected columns, in the order asked for, with their kinds.
        std::vector<std::string> keys;
        for (auto it = rows[0].begin(); it != rows[0].end(); ++it) keys.push_back(it.key());
        EXPECT_EQ(keys, (std::vector<std::string>{"vid", "title", "description", "thumbnail_link", "updated_time",
                                                  "owner", "src", "src_hq"}));
        EXPECT_TRUE(rows[0]["vid"].is_string());
        EXPECT_TRUE(rows[0]["owner"].is_number_integer());
    }

    auto names = [&](const std::string& query) { return column(std::get<Json>(fql().query(query)), "name"); };
    EXPECT_EQ(
        names("SELECT uid, name FROM user WHERE uid in (SELECT uid2 FROM friend WHERE uid1 == me()) ORDER BY name ASC"),
        (std::vector<std::string>{"Alex Archer", "Blair Brook", "Casey Crane"}));
    EXPECT_EQ(
        names("SELECT page_id, name FROM page WHERE page_id in (SELECT page_id FROM page_fan WHERE uid == 100001)"),
        (std::vector<std::string>{"Standin Films", "Loopback Music"}));
    EXPECT_EQ(names("SELECT gid, name FROM group WHERE gid in (SELECT gid FROM group_member WHERE uid == me())"),
              (std::vector<std::string>{"Local Hosts Club"}));
}

TEST_F(FQLTest, RunsNamedQueriesThatReferToOneAnother) {
    // Listed before the query it reads, to show the order of evaluation
    // follows the references.
    Json queries = Json::object();
    queries["likers"] = "SELECT name, uid FROM user WHERE uid IN (SELECT user_id FROM #likes)";
    queries["photos"] =
        "SELECT object_id, caption FROM photo WHERE aid IN (SELECT aid FROM album WHERE owner = 100002 "
        "AND name = 'Skate park') AND object_id <> 600014 ORDER BY object_id";
    queries["likes"] = "SELECT user_id, object_id FROM like WHERE object_id IN (SELECT object_id FROM #photos)";
    auto result = fql().multiquery(queries);
    ASSERT_TRUE(std::holds_alternative<Json>(result)) << std::get<FQLEvaluator::Error>(result).message;
    const Json& sets = std::get<Json>(result);
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0]["name"], "likers");
    EXPECT_EQ(column(sets[0]["fql_result_set"], "uid"), (std::vector<std::string>{"100001", "100003", "100004"}));
    EXPECT_EQ(column(sets[1]["fql_result_set"], "caption"), (std::vector<std::string>{"Kickflip", "Ramp"}));
    EXPECT_EQ(sets[2]["fql_result_set"].size(), 4u);
}

TEST_F(FQLTest, RefusesQueriesItCannotRead) {
    struct Case {
        std::string query;
        int code;
    } cases[] = {
        {"SELECT * FROM video", 601},
        {"SELECT vid FROM nowhere", 601},
        {"SELECT vid FROM video WHERE", 601},
        {"SELECT vid FROM video WHERE owner ==", 601},
        {"SELECT vid FROM video WHERE owner IN (1, 2", 601},
        {"SELECT vid FROM video WHERE title = 'unterminated", 601},
        {"SELECT vid FROM video LIMIT x", 601},
        {"SELECT vid FROM video WHERE owner = you()", 601},
        {"SELECT vid, colour FROM video", 602},
        {"SELECT vid FROM video ORDER BY colour", 602},
        {"SELECT name FROM user WHERE uid IN (SELECT uid1, uid2 FROM friend)", 601},
        {std::string(200, '(') + "SELECT", 601},
    };
    for (const auto& c : cases) {
        auto result = fql().query(c.query);
        ASSERT_TRUE(std::holds_alternative<FQLEvaluator::Error>(result)) << c.query;
        EXPECT_EQ(std::get<FQLEvaluator::Error>(result).code, c.code) << c.query;
    }
    Json cycle = Json::object();
    cycle["a"] = "SELECT uid FROM user WHERE uid IN (SELECT uid FROM #b)";
    cycle["b"] = "SELECT uid FROM user WHERE uid IN (SELECT uid FROM #a)";
    EXPECT_TRUE(std::holds_alternative<FQLEvaluator::Error>(fql().multiquery(cycle)));
    EXPECT_TRUE(std::holds_alternative<FQLEvaluator::Error>(fql().multiquery(std::string_view("[1, 2]"))));
}

TEST_F(FQLTest, ConditionsNestedPastTheLimitAreRefused) {
    // The query, its condition and the comparison take three of the levels,
    // each NOT one more. A million levels is past the length limit too.
    constexpr std::size_t kLimit = 64;
    for (const auto& [levels, accepted] : test::depthCases(kLimit)) {
        std::string query = "SELECT vid FROM video WHERE ";
        for (std::size_t i = 4; i < levels; ++i) query += "NOT ";
        query += "NOT owner = me()";
        auto result = fql().query(query);
        EXPECT_EQ(std::holds_alternative<Json>(result), accepted) << levels;
        if (!accepted) {
            EXPECT_EQ(std::get<FQLEvaluator::Error>(result).code, 601) << levels;
        }
    }
}

TEST(StandinJsonTest, TextNestedPastTheLimitIsRefusedBeforeItIsRead) {
    for (const auto& [levels, accepted] : test::depthCases(StandinJson::kMaxDepth)) {
        // A string's brackets and escaped quotes are no nesting.
        const std::string text = test::nested("[", "\"[[[\\\"[\"", "]", levels);
        const auto parsed = StandinJson::parse(text);
        EXPECT_EQ(!parsed.is_discarded(), accepted) << levels;
        if (accepted) {
            EXPECT_EQ(parsed.dump(), text);
        }
    }
    EXPECT_TRUE(StandinJson::parse("[1, 2").is_discarded());
}

// ---------------------------------------------------------------- multipart

TEST(MultipartFormTest, ReadsOnlyWellFormedForms) {
    using namespace std::string_literals;
    const std::string type = "multipart/form-data; boundary=XyZ";
    std::string error;
    auto form = MultipartForm::parse(type,
                                     "preamble\r\n--XyZ\r\n"s
                                     "Content-Disposition: form-data; name=\"a%22b\"\r\n\r\n"
                                     "line one\r\n-XyZ\r\n--XyZ \r\n"
                                     "Content-Disposition: form-data; name=\"file\"; filename=\"v.mp4\"\r\n"
                                     "Content-Type: video/mp4\r\n\r\n"
                                     "\x00\x01\x02\r\n--XyZ--\r\nepilogue"s,
                                     error);
    ASSERT_TRUE(form) << error;
    ASSERT_EQ(form->parts().size(), 2u);
    EXPECT_EQ(form->parts()[0].name, "a\"b");
    EXPECT_EQ(form->parts()[0].data, "line one\r\n-XyZ");
    EXPECT_EQ(form->parts()[1].filename, "v.mp4");
    EXPECT_EQ(form->parts()[1].contentType, "video/mp4");
    EXPECT_EQ(form->parts()[1].data, std::string("\x00\x01\x02", 3));

    const std::string part = "--XyZ\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n";
    struct Case {
        std::string contentType;
        std::string body;
    } bad[] = {
        {type, part + "--XyZ\r\n"},              // no closing delimiter
        {type, part},                            // body ends inside a part
        {type, part + "--XyZ-more\r\n--XyZ--"},  // the boundary starts a content line
        {type, "--XyZ\r\nContent-Disposition: form-data; filename=\"f\"\r\n\r\nx\r\n--XyZ--"},  // no name
        {type, "--XyZ\r\nContent-Disposition: attachment; name=\"a\"\r\n\r\nx\r\n--XyZ--"},
        {type, "--XyZ\r\nContent-Disposition: form-data; name=\"a\r\n\r\nx\r\n--XyZ--"},  // open quote
        {type, "--XyZ\r\nno colon here\r\n\r\nx\r\n--XyZ--"},
        {type, "--XyZ--\r\n"},                      // no parts
        {"multipart/form-data", part + "--XyZ--"},  // no boundary
        {"text/plain; boundary=XyZ", part + "--XyZ--"},
    };
    for (const auto& c : bad) {
        EXPECT_FALSE(MultipartForm::parse(c.contentType, c.body, error)) << c.body;
    }
}

// ---------------------------------------------------------------- the server

class StandinServerTest : public test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        server_ = std::make_unique<StandinServer>();
        server_->start();
    }
    void TearDown() override {
        server_.reset();
        PlatformTest::TearDown();
    }

    // A cpp-httplib client for one host, trusting the stand-in's CA.
    std::unique_ptr<httplib::SSLClient> client(StandinHost role) const {
        auto c = std::make_unique<httplib::SSLClient>(server_->hostName(role), server_->port());
        c->set_hostname_addr_map({{server_->hostName(role), "127.0.0.1"}});
        c->set_ca_cert_path(server_->caFile().string());
        c->enable_server_certificate_verification(true);
        c->set_read_timeout(5, 0);
        return c;
    }

    std::string fqlPath(const std::string& query, const std::string& token) const {
        return "/method/fql.query?format=json&access_token=" + platform::Text::percentEscape(token) +
               "&query=" + platform::Text::percentEscape(query);
    }

    // The form of a video upload titled `title` (without its closing
    // delimiter unless `closed`), boundary "B0undary".
    static std::string videoUploadBody(const std::string& title, const std::string& video, bool closed = true) {
        std::string b =
            "--B0undary\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\n" + title +
            "\r\n"
            "--B0undary\r\nContent-Disposition: form-data; name=\"privacy\"\r\n\r\n{\"value\":\"EVERYONE\"}\r\n"
            "--B0undary\r\nContent-Disposition: form-data; name=\"file\"; filename=\"clip.mp4\"\r\n"
            "Content-Type: video/mp4\r\n\r\n" +
            video + "\r\n--B0undary";
        return b + (closed ? "--\r\n" : "\r\n");
    }

    std::unique_ptr<StandinServer> server_;
};

// The system's own connection reaches the stand-in by the host name alone:
// the resolver override and the trusted CA do the rest.
TEST_F(StandinServerTest, AnswersFQLOverThePlatformConnection) {
    const std::string query =
        "SELECT vid, title, owner, updated_time FROM video WHERE  owner == me() "
        "ORDER BY updated_time DESC LIMIT 100 ";
    platform::URLRequest request(*platform::URL::fromString(server_->baseURL(StandinHost::Rest) +
                                                            fqlPath(query, server_->accessToken()).substr(1)));
    std::shared_ptr<platform::HTTPURLResponse> response;
    std::optional<platform::Error> error;
    auto body = platform::URLConnection::sendSynchronousRequest(request, &response, &error);
    ASSERT_TRUE(body) << (error ? error->localizedDescription() : "");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->statusCode(), 200);
    Json rows = Json::parse(std::string(body->begin(), body->end()));
    EXPECT_EQ(column(rows, "vid"), (std::vector<std::string>{"400003", "400001", "400002"}));
    EXPECT_EQ(rows[0]["title"], "Robin cooks");

    auto logged = server_->requestsTo("/method/fql.query", StandinHost::Rest);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].param("query"), query);
}

TEST_F(StandinServerTest, AnswersBadTokensWithTheNetworksErrors) {
    const std::string query = "SELECT vid FROM video WHERE owner == me()";
    std::string expired = server_->issueToken(server_->meUid(), -60);
    struct Case {
        std::string token;
        int code;
    } cases[] = {{"not-a-token", 190}, {expired, 190}, {"", 102}};
    auto rest = client(StandinHost::Rest);
    for (const auto& c : cases) {
        auto res = rest->Get(fqlPath(query, c.token).c_str());
        ASSERT_TRUE(res);
        Json reply = Json::parse(res->body);
        EXPECT_EQ(reply["error_code"], c.code) << c.token;
        EXPECT_TRUE(reply["error_msg"].is_string());
    }
    // A revoked token stops working; the graph host answers with its own
    // error object and status 400.
    std::string token = server_->issueToken(server_->meUid(), 3600);
    server_->revokeToken(token);
    auto res =
        client(StandinHost::Graph)->Get(("/me/accounts?access_token=" + platform::Text::percentEscape(token)).c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400);
    EXPECT_EQ(Json::parse(res->body)["error"]["code"], 190);
}

TEST_F(StandinServerTest, SignsInThroughTheLoginFormAndKeepsTheBrowserSignedIn) {
    const std::string dialog =
        "/dialog/oauth?client_id=123&type=user_agent&display=touch&sdk=ios"
        "&redirect_uri=" +
        platform::Text::percentEscape("fbconnect://success");
    auto web = client(StandinHost::Web);
    auto page = web->Get(dialog.c_str());
    ASSERT_TRUE(page);
    ASSERT_EQ(page->status, 200);
    std::string action = StandinText::formAction(page->body, "login_form");
    ASSERT_TRUE(platform::Text::hasPrefix(action, server_->baseURL(StandinHost::Login) + "login.php?next="));
    std::string loginPath = action.substr(server_->baseURL(StandinHost::Login).size() - 1);

    auto login = client(StandinHost::Login);
    auto wrong = login->Post(loginPath.c_str(), "email=robin%40social.test&pass=nope&login=Log+In",
                             "application/x-www-form-urlencoded");
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->status, 200);
    EXPECT_NE(wrong->body.find("incorrect"), std::string::npos);

    auto signedIn = login->Post(loginPath.c_str(), "email=robin%40social.test&pass=standin&login=Log+In",
                                "application/x-www-form-urlencoded");
    ASSERT_TRUE(signedIn);
    ASSERT_EQ(signedIn->status, 302);
    // (cpp-httplib hands Location headers over percent-decoded.)
    EXPECT_EQ(signedIn->get_header_value("Location"),
              server_->baseURL(StandinHost::Web) + *StandinText::percentUnescape(dialog.substr(1), false));
    std::string cookies;
    for (std::size_t i = 0; i < signedIn->get_header_value_count("Set-Cookie"); ++i) {
        std::string cookie = signedIn->get_header_value("Set-Cookie", i);
        EXPECT_NE(cookie.find("; Domain=.social.test; Path=/; Max-Age=31536000; Secure"), std::string::npos) << cookie;
        cookies += (cookies.empty() ? "" : "; ") + cookie.substr(0, cookie.find(';'));
    }

    // Back at the dialog with the cookies: straight to the redirect URI.
    auto done = web->Get(dialog.c_str(), {{"Cookie", cookies}});
    ASSERT_TRUE(done);
    ASSERT_EQ(done->status, 302);
    std::string location = done->get_header_value("Location");
    const std::string prefix = "fbconnect://success#access_token=";
    ASSERT_TRUE(platform::Text::hasPrefix(location, prefix)) << location;
    auto fragment = StandinText::parseForm(location.substr(location.find('#') + 1));
    ASSERT_TRUE(fragment);
    EXPECT_EQ(fragment->at("expires_in"), "5184000");
    auto rows = client(StandinHost::Rest)
                    ->Get(fqlPath("SELECT name FROM user WHERE uid = me()", fragment->at("access_token")).c_str());
    ASSERT_TRUE(rows);
    EXPECT_EQ(Json::parse(rows->body)[0]["name"], "Robin Standin");

    // Without the cookies the form comes back; cancelling it is a denial.
    auto again = web->Get(dialog.c_str());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 200);
    auto cancelled = login->Post(loginPath.c_str(), "cancel=Cancel", "application/x-www-form-urlencoded");
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->get_header_value("Location"),
              "fbconnect://success?error_reason=user_denied&error=access_denied"
              "&error_description=The user denied your request.");

    // The network's own app returns to the application's scheme.
    auto app = web->Get("/app/authorize?client_id=123&local_client_id=movara&type=user_agent", {{"Cookie", cookies}});
    ASSERT_TRUE(app);
    EXPECT_TRUE(platform::Text::hasPrefix(app->get_header_value("Location"), "fb123movara://authorize#access_token="));
}

// The mobile site keeps a browser signed in across restarts: its session
// cookies are persistent, so a cookie jar kept in a file still holds them
// when it is read again.
TEST_F(StandinServerTest, TheSessionCookiesOutliveTheBrowsersSession) {
    const auto file = std::filesystem::path(platform::FileManager::homeDirectory()) / "jar" / "Cookies.binarycookies";
    const auto login = *platform::URL::fromString(server_->baseURL(StandinHost::Login) + "login.php");
    {
        platform::HTTPCookieStorage jar(file);
        for (const auto& value : server_->signIn(server_->meUid())) {
            auto cookie = platform::HTTPCookie::cookieFromSetCookieValue(value, login);
            ASSERT_TRUE(cookie) << value;
            EXPECT_FALSE(cookie->isSessionOnly()) << value;
            jar.setCookie(cookie);
        }
    }
    platform::HTTPCookieStorage relaunched(file);
    auto page = *platform::URL::fromString(server_->baseURL(StandinHost::Www) + "home.php?sk=video");
    auto header = relaunched.cookieHeaderForURL(page);
    ASSERT_TRUE(header);
    EXPECT_NE(header->find("c_user=" + server_->meUid()), std::string::npos) << *header;
    EXPECT_NE(header->find("xs="), std::string::npos) << *header;
    auto home = client(StandinHost::Www)->Get("/home.php?sk=video", {{"Cookie", *header}});
    ASSERT_TRUE(home);
    EXPECT_EQ(home->status, 200);
    EXPECT_NE(home->body.find("video.php?v="), std::string::npos);
}

// The mobile site's own login page signs the browser in and goes on to the
// video home it was asked for.
TEST_F(StandinServerTest, TheMobileSitesLoginPageSignsInAndGoesOnToTheVideoHome) {
    auto page = client(StandinHost::Web)->Get("/login.php");
    ASSERT_TRUE(page);
    ASSERT_EQ(page->status, 200);
    const std::string action = StandinText::formAction(page->body, "login_form");
    const std::string login = server_->baseURL(StandinHost::Login);
    ASSERT_TRUE(platform::Text::hasPrefix(action, login)) << action;
    auto signedIn =
        client(StandinHost::Login)
            ->Post(action.substr(login.size() - 1).c_str(), "email=robin%40social.test&pass=standin&login=Log+In",
                   "application/x-www-form-urlencoded");
    ASSERT_TRUE(signedIn);
    EXPECT_EQ(signedIn->status, 302) << signedIn->body;
    EXPECT_EQ(signedIn->get_header_value("Location"), server_->baseURL(StandinHost::Www) + "home.php?sk=video");
    EXPECT_EQ(signedIn->get_header_value_count("Set-Cookie"), 2u);
}

// The maker's file host serves the versions and news lists of the data set
// as property lists; a version added to the data set is offered at once.
TEST_F(StandinServerTest, ServesTheMakersListsFromTheDataSet) {
    auto maker = client(StandinHost::Maker);
    EXPECT_EQ(server_->hostName(StandinHost::Maker), "files.clipora.test");
    auto read = [&](const char* path) -> std::optional<platform::Value> {
        auto res = maker->Get(path);
        if (!res || res->status != 200) return std::nullopt;
        return platform::PropertyList::fromData(platform::Data(res->body.begin(), res->body.end()));
    };
    auto versions = read("/Versions.plist");
    ASSERT_TRUE(versions && versions->isDictionary());
    EXPECT_TRUE(versions->dictionary()->count("1.0"));
    EXPECT_FALSE(versions->dictionary()->count("1.1"));
    auto news = read("/Updates.plist");
    ASSERT_TRUE(news && news->isDictionary());
    EXPECT_TRUE(news->dictionary()->count("News"));

    server_->data().setMakerList("versions", Json::parse(R"({"1.0": ["First."], "1.1": ["Faster.", "Smaller."]})"));
    versions = read("/Versions.plist");
    ASSERT_TRUE(versions && versions->isDictionary());
    const platform::Value& notes = versions->dictionary()->at("1.1");
    ASSERT_TRUE(notes.isArray());
    EXPECT_EQ(notes.array()->size(), 2u);

    auto missing = maker->Get("/Other.plist");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
}

TEST_F(StandinServerTest, TakesAVideoUploadAndServesItBack) {
    std::string video = StandinMedia::mp4("upload", 2048, 320, 240);
    auto body = [&](bool closed) { return videoUploadBody("My clip", video, closed); };
    const std::string path =
        "/me/videos?format=json&access_token=" + platform::Text::percentEscape(server_->accessToken());
    auto videoHost = client(StandinHost::VideoGraph);

    auto refused = videoHost->Post(path.c_str(), body(false), "multipart/form-data; boundary=B0undary");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400);

    auto res = videoHost->Post(path.c_str(), body(true), "multipart/form-data; boundary=B0undary");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    std::string vid = Json::parse(res->body)["id"];
    auto logged = server_->requestsTo("/me/videos", StandinHost::VideoGraph).back();
    EXPECT_EQ(logged.param("title"), "My clip");
    ASSERT_EQ(logged.files.size(), 1u);
    EXPECT_EQ(logged.files[0].filename, "clip.mp4");

    auto row = server_->data().findRow("video", "vid", vid);
    ASSERT_TRUE(row);
    EXPECT_EQ((*row)["title"], "My clip");
    std::string src = (*row)["src"];
    auto file = client(StandinHost::Graph)->Get(src.substr(server_->baseURL(StandinHost::Graph).size() - 1).c_str());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->body, video);
    EXPECT_EQ(file->get_header_value("Content-Type"), "video/mp4");
}

TEST_F(StandinServerTest, MisbehavesAsTheKnobsSay) {
    const std::string path = fqlPath("SELECT vid FROM video WHERE owner == me()", server_->accessToken());
    auto rest = client(StandinHost::Rest);

    StandinKnob failing;
    failing.status = 502;
    failing.times = 1;
    server_->setKnob("/method/fql.query", failing);
    auto res = rest->Get(path.c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 502);
    EXPECT_NE(res->get_header_value("Content-Type").find("text/html"), std::string::npos);
    res = rest->Get(path.c_str());  // used up after one request
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);

    StandinKnob text;
    text.body = "false";
    text.contentType = "text/javascript";
    server_->setKnob("/method/*", text, StandinHost::Rest);
    res = rest->Get(path.c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, "false");
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/javascript");

    StandinKnob cut;
    cut.truncateAfter = 5;
    server_->setKnob("/method/fql.query", cut);  // the exact path wins over the prefix
    res = rest->Get(path.c_str());
    EXPECT_FALSE(res && res->body.size() > 5);
    server_->clearKnobs();

    StandinKnob hold;
    hold.hold = true;
    server_->setKnob("/method/fql.query", hold);
    std::optional<int> status;
    std::thread waiting([&] {
        auto r = client(StandinHost::Rest)->Get(path.c_str());
        if (r) status = r->status;
    });
    EXPECT_TRUE(pumpUntil([&] { return server_->heldCount() == 1; }));
    EXPECT_FALSE(status);
    server_->releaseHeld();
    waiting.join();
    EXPECT_EQ(status, 200);

    // A video goes out in small records, each readable on its own as it
    // arrives; a trickle knob sets their size and spaces them out.
    StandinKnob slow;
    slow.tricklePiece = 500;
    slow.trickleInterval = std::chrono::milliseconds(10);
    server_->setKnob("/files/videos/400022.mp4", slow);
    for (const auto& [video, largest] : {std::pair<std::string, std::size_t>{"/files/videos/400021.mp4", 1024},
                                         std::pair<std::string, std::size_t>{"/files/videos/400022.mp4", 500}}) {
        SCOPED_TRACE(video);
        std::string body;
        std::size_t pieces = 0, biggest = 0;
        auto got = client(StandinHost::Graph)->Get(video.c_str(), [&](const char* bytes, std::size_t length) {
            body.append(bytes, length);
            ++pieces;
            biggest = std::max(biggest, length);
            return true;
        });
        ASSERT_TRUE(got);
        EXPECT_EQ(got->status, 200);
        EXPECT_EQ(body.size(), std::stoul(got->get_header_value("Content-Length")));
        EXPECT_LE(biggest, largest);
        EXPECT_GE(pieces, body.size() / largest);
    }
}

// ---------------------------------------------------------------- state between lives

class StandinStateTest : public StandinServerTest {
protected:
    // Replaces the running server by a new one keeping its state in `file`
    // (and, when given, speaking for another domain).
    void relaunch(const std::filesystem::path& file, const std::string& domain = "social.test") {
        server_.reset();
        StandinServer::Options options;
        options.stateFile = file;
        options.domain = domain;
        server_ = std::make_unique<StandinServer>(options);
        server_->start();
    }
    Json fql(const std::string& query, const std::string& token) const {
        auto res = client(StandinHost::Rest)->Get(fqlPath(query, token).c_str());
        return res ? Json::parse(res->body, nullptr, false) : Json();
    }
    static bool refused(const Json& reply) { return reply.is_object() && reply.value("error_code", 0) == 190; }
};

// Two lives of the stand-in on one home: the second knows the tokens, the
// browser sessions, the posts and the uploads of the first; what the first
// revoked stays revoked.
TEST_F(StandinStateTest, TheNextLifeKnowsWhatTheLastOneIssued) {
    const auto file = home() / "standin" / "state.json";
    relaunch(file);
    const std::string kept = server_->issueToken(server_->meUid(), 3600);
    const std::string revoked = server_->issueToken(server_->meUid(), 0);
    server_->revokeToken(revoked);
    const auto cookies = server_->signIn(server_->meUid());
    auto post = client(StandinHost::Rest)
                    ->Post("/method/links.post",
                           "format=json&url=https%3A%2F%2Fexample.test%2Fclip&comment=kept&access_token=" +
                               platform::Text::percentEscape(kept),
                           "application/x-www-form-urlencoded");
    ASSERT_TRUE(post);
    ASSERT_EQ(post->status, 200);
    const std::string video = StandinMedia::mp4("kept", 1024, 160, 120);
    auto upload = client(StandinHost::VideoGraph)
                      ->Post(("/me/videos?format=json&access_token=" + platform::Text::percentEscape(kept)).c_str(),
                             videoUploadBody("Kept clip", video), "multipart/form-data; boundary=B0undary");
    ASSERT_TRUE(upload);
    ASSERT_EQ(upload->status, 200) << upload->body;
    const std::string vid = Json::parse(upload->body)["id"];
    EXPECT_EQ(platform::FileManager::permissions(file), 0600u);

    relaunch(file);
    EXPECT_FALSE(refused(fql("SELECT name FROM user WHERE uid = me()", kept)));
    EXPECT_EQ(fql("SELECT name FROM user WHERE uid = me()", kept)[0]["name"], "Robin Standin");
    EXPECT_TRUE(refused(fql("SELECT name FROM user WHERE uid = me()", revoked)));
    auto link = fql("SELECT url, comment FROM stream WHERE type = 'link'", kept);
    ASSERT_EQ(link.size(), 1u) << link.dump();
    EXPECT_EQ(link[0]["comment"], "kept");
    auto row = server_->data().findRow("video", "vid", vid);
    ASSERT_TRUE(row);
    const std::string src = (*row)["src"];
    auto served = client(StandinHost::Graph)->Get(src.substr(server_->baseURL(StandinHost::Graph).size() - 1).c_str());
    ASSERT_TRUE(served);
    EXPECT_EQ(served->body, video);
    // New ids do not repeat the last life's.
    EXPECT_NE(server_->data().newId(), vid);
    // The browser that signed in is still signed in: the dialog goes
    // straight back to the application.
    std::string cookieHeader;
    for (const auto& cookie : cookies)
        cookieHeader += (cookieHeader.empty() ? "" : "; ") + cookie.substr(0, cookie.find(';'));
    auto dialog =
        client(StandinHost::Web)
            ->Get("/dialog/oauth?client_id=123&redirect_uri=fbconnect%3A%2F%2Fsuccess", {{"Cookie", cookieHeader}});
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->status, 302);

    // A stand-in without the file knows none of it.
    server_.reset();
    server_ = std::make_unique<StandinServer>();
    server_->start();
    EXPECT_TRUE(refused(fql("SELECT name FROM user WHERE uid = me()", kept)));

    // One made for other host names takes the tokens but not the posts,
    // whose addresses name the old hosts.
    relaunch(file, "other.test");
    EXPECT_EQ(server_->data().checkToken(kept), StandinData::TokenCheck::Valid);
    EXPECT_FALSE(server_->data().findRow("video", "vid", vid));
    EXPECT_FALSE(server_->data().findRow("stream", "comment", "kept"));
}

// A state file that cannot be read as one is an empty state, with a log
// line; the data set stands as loaded and the file is replaced by a sound
// one at the next change.
TEST_F(StandinStateTest, ADamagedStateFileCountsAsEmpty) {
    const auto file = home() / "standin" / "state.json";
    StandinData loaded{StandinHosts()};
    loaded.load(StandinServer::defaultDataFile());
    const std::string cases[] = {
        "",
        "{\"version\": 1, \"tokens\": [",
        "[1, 2]",
        "{\"version\": 99, \"tokens\": []}",
        "{\"version\": 1, \"tokens\": [{\"access_token\": 5}]}",
        "{\"version\": 1, \"tokens\": [{\"access_token\": \"t\", \"uid\": \"100001\"}], \"sessions\": []}",
        std::string("\x00\xff\xfe", 3),
    };
    for (const auto& text : cases) {
        std::filesystem::create_directories(file.parent_path());
        ASSERT_TRUE(platform::FileManager::writeData(file, platform::Data(text.begin(), text.end())));
        platform::Log::Capture log;
        relaunch(file);
        EXPECT_TRUE(log.contains("the state file")) << text;
        EXPECT_NE(server_->data().checkToken("t"), StandinData::TokenCheck::Valid) << text;
        EXPECT_EQ(server_->data().table("video"), loaded.table("video"));
        EXPECT_FALSE(refused(fql("SELECT name FROM user WHERE uid = me()", server_->accessToken()))) << text;
        // The server's own token was the next change.
        auto bytes = platform::FileManager::contentsOfFile(file);
        ASSERT_TRUE(bytes);
        Json written = Json::parse(bytes->begin(), bytes->end(), nullptr, false);
        ASSERT_TRUE(written.is_object()) << text;
        EXPECT_EQ(written["version"], 1);
        server_.reset();
        std::filesystem::remove(file);
    }
}

}  // namespace
}  // namespace clipora::standin
