#include <gtest/gtest.h>

#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "share/Core/SX.h"
#include "share/Sharers/SXTumblr.h"
#include "tests/share/Sharers/ServiceStandIn.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;
using Reply = test::ServiceStandIn::Reply;

class SXTumblrTest : public test::SharerTest {
protected:
    void SetUp() override {
        SharerTest::SetUp();
        configure({{SXTumblr::kBaseURLKey, service().base()}});
    }
    static void storeLogin() {
        SX::setAuthValueForKeyForSharer("me@example.com", "email", "SXTumblr");
        SX::setAuthValueForKeyForSharer("pa+ss&word", "password", "SXTumblr");
    }
    void sendNow(const std::shared_ptr<SXItem>& item) { SharerTest::sendNow(SXSharer::make<SXTumblr>(), item); }
    static std::shared_ptr<SXItem> link(std::optional<std::string> title) {
        return SXItem::URLTitle(platform::URL::fromString("http://example.com/v?a=1&b=2"), std::move(title));
    }
};

TEST_F(SXTumblrTest, LogsInWithEmailAndPassword) {
    service().reply("/api/authenticate", Reply{403, "", {}});
    auto sharer = SXSharer::shareItem<SXTumblr>(link("T"));
    auto login = form();
    ASSERT_TRUE(login);
    EXPECT_EQ(keysOf(login), (std::vector<std::string>{"email", "password"}));
    fill(login, {{"email", "me@example.com"}, {"password", "pa+ss&word"}});
    login->validateForm();
    ASSERT_TRUE(pumpUntil([&] { return !topAlertText().empty(); }));
    EXPECT_EQ(topAlertText(), "Login Error: Invalid email or password.");
    EXPECT_EQ(service().last().param("email"), "me@example.com");
    EXPECT_EQ(service().last().param("password"), "pa+ss&word");

    service().reply("/api/authenticate", Reply{500, "", {}});
    platform::AlertRegistry::reset();
    login->validateForm();
    ASSERT_TRUE(pumpUntil([&] { return !topAlertText().empty(); }));
    EXPECT_EQ(topAlertText(), "Login Error: The service encountered an error. Please try again later.");

    service().reply("/api/authenticate", Reply{});
    login->validateForm();
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(notes_.events, (Events{"auth yes"}));
    EXPECT_EQ(SX::getAuthValueForKeyForSharer("email", "SXTumblr"), "me@example.com");
    settle();
    ASSERT_TRUE(form());
    EXPECT_EQ(keysOf(form()), (std::vector<std::string>{"title", "tags", "slug", "private", "twitter"}));
}

TEST_F(SXTumblrTest, LinkAndTextPostsEscapeEveryValue) {
    storeLogin();
    auto item = link(std::nullopt);
    item->setTags("x&private=0");
    item->setCustomValueForKey(platform::Value("a/b&c"), "slug");
    item->setCustomValueForKey(platform::Value("1"), "private");
    item->setCustomValueForKey(platform::Value("1"), "twitter");
    sendNow(item);
    EXPECT_EQ(notes_.events, (Events{"start", "finish"}));
    auto post = service().last();
    EXPECT_EQ(post.path, "/api/write");
    EXPECT_EQ(post.param("password"), "pa+ss&word");
    EXPECT_EQ(post.param("generator"), "My App Name");
    EXPECT_EQ(post.param("tags"), "x&private=0");
    EXPECT_EQ(post.param("slug"), "a/b&c");
    EXPECT_EQ(post.params.count("private"), 1u);
    EXPECT_EQ(post.param("private"), "1");
    EXPECT_EQ(post.param("send-to-twitter"), "auto");
    EXPECT_EQ(post.param("type"), "link");
    EXPECT_EQ(post.param("url"), "http://example.com/v?a=1&b=2");
    EXPECT_EQ(post.param("name"), "<none>");  // no title, no name

    sendNow(SXItem::text("1+1 & more"));
    post = service().last();
    EXPECT_EQ(post.param("type"), "regular");
    EXPECT_EQ(post.param("body"), "1+1 & more");
    EXPECT_EQ(post.param("title"), "<none>");
    EXPECT_EQ(post.param("private"), "0");
    EXPECT_EQ(post.param("send-to-twitter"), "no");
}

TEST_F(SXTumblrTest, PhotosGoAsMultipart) {
    // A value that holds the fixed boundary line must not end its part early
    // or add a part of its own: then the body goes with a fresh boundary.
    const std::string line = "\r\n--0xKhTmLbOuNdArY\r\nContent-Disposition: form-data; name=\"private\"\r\n\r\n0";
    struct Case {
        const char* name;
        std::string caption;
        std::string password;
        bool fixedBoundary;
    } cases[] = {
        {"plain values", "A caption", "pa+ss&word", true},
        {"caption holds the boundary", "A caption" + line, "pa+ss&word", false},
        {"password holds the boundary", "A caption", "x--0xKhTmLbOuNdArY--", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        storeLogin();
        SX::setAuthValueForKeyForSharer(c.password, "password", "SXTumblr");
        auto bitmap = std::make_shared<platform::Bitmap>(2, 2);
        bitmap->fill({10, 20, 30, 255});
        auto item = SXItem::imageTitle(platform::Image::imageWithBitmap(bitmap), "ignored");
        item->setCustomValueForKey(platform::Value("1"), "private");
        item->setCustomValueForKey(platform::Value(c.caption), "caption");
        sendNow(item);
        EXPECT_EQ(notes_.events, (Events{"start", "finish"}));
        auto post = service().last();
        const std::string type = post.header("Content-Type");
        if (c.fixedBoundary) {
            EXPECT_EQ(type, "multipart/form-data; boundary=0xKhTmLbOuNdArY");
        } else {
            EXPECT_TRUE(type.starts_with("multipart/form-data; boundary=0xKhTmLbOuNdArY-")) << type;
        }
        // The parts as the stand-in's multipart reader found them.
        std::vector<std::pair<std::string, std::string>> parts;
        for (const auto& [name, part] : post.parts) parts.emplace_back(name, part.content);
        using Parts = std::vector<std::pair<std::string, std::string>>;
        auto data = post.parts.find("data");
        ASSERT_NE(data, post.parts.end());
        EXPECT_EQ(data->second.filename, "upload.jpg");
        EXPECT_EQ(data->second.content.substr(0, 2), "\xFF\xD8");  // JPEG bytes
        std::erase_if(parts, [](const auto& part) { return part.first == "data"; });
        std::sort(parts.begin(), parts.end());
        EXPECT_EQ(parts, (Parts{{"caption", c.caption},
                                {"email", "me@example.com"},
                                {"generator", "My App Name"},
                                {"password", c.password},
                                {"private", "1"},
                                {"twitter", "no"},
                                {"type", "photo"}}));
    }
}

TEST_F(SXTumblrTest, OutcomesFollowTheStatus) {
    storeLogin();
    struct Case {
        int status;
        const char* alert;  // "" when finished
        bool relogin;
    } cases[] = {
        {200, "", false},
        {201, "", false},
        {403, "Invalid email or password.", true},
        {500, "The service encountered an error. Please try again later.", false},
        {400, "There was an error sending your post to Tumblr.", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        service().reply("/api/write", Reply{c.status, "", {}});
        sendNow(SXItem::text("t"));
        expectOutcome(c.alert, c.relogin);
    }
    // A kind of post the blog does not take ends at once as a failure.
    sendNow(SXItem::fileFilenameMimeTypeTitle(platform::Data{1, 2}, "f.bin", "application/octet-stream", "F"));
    EXPECT_EQ(notes_.events, (Events{"fail"}));
    EXPECT_EQ(topAlertText(), "Error: There was an error sending your post to Tumblr.");
}

}  // namespace
}  // namespace clipora
