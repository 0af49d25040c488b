#include <gtest/gtest.h>

#include "platform/media/MailComposeViewController.h"
#include "platform/media/MessageComposeViewController.h"
#include "platform/media/PhotoAlbum.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Pasteboard.h"
#include "share/Core/SXSharerRegistry.h"
#include "share/Sharers/SXCopy.h"
#include "share/Sharers/SXLogout.h"
#include "share/Sharers/SXMail.h"
#include "share/Sharers/SXPhotoAlbum.h"
#include "share/Sharers/SXSafari.h"
#include "share/Sharers/SXTextMessage.h"
#include "tests/share/ShareTest.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;
using platform::MailComposeViewController;
using platform::MessageComposeViewController;

class SXLocalActionsTest : public test::ShareTest {
protected:
    void SetUp() override {
        ShareTest::SetUp();
        platform::Pasteboard::reset();
        MailComposeViewController::setCanSendMail(true);
        MessageComposeViewController::setCanSendText(true);
        MailComposeViewController::clearSentMessages();
        MessageComposeViewController::clearSentMessages();
    }
    void TearDown() override {
        MailComposeViewController::setCanSendMail(true);
        ShareTest::TearDown();
    }
    static std::shared_ptr<SXItem> link(std::optional<std::string> text = std::nullopt) {
        auto item = SXItem::URLTitle(platform::URL::fromString("http://example.com/a%20b?x=%26"), "Tom & <Jerry>");
        item->setText(std::move(text));
        return item;
    }
    static std::shared_ptr<platform::Image> picture() {
        auto bitmap = std::make_shared<platform::Bitmap>(2, 2);
        bitmap->fill({10, 20, 30, 255});
        return platform::Image::imageWithBitmap(bitmap);
    }
    test::NotificationRecorder notes_;
};

TEST_F(SXLocalActionsTest, CopySafariAndPhotoAlbumFinishAtOnce) {
    auto copy = SXSharer::shareItem<SXCopy>(link());
    EXPECT_EQ(platform::Pasteboard::generalPasteboard()->string(), "http://example.com/a%20b?x=%26");
    EXPECT_EQ(SXActivityIndicator::currentIndicator()->subMessageLabel()->text(), "Copied!");
    SXSharer::shareItem<SXCopy>(SXItem::imageTitle(picture(), "P"));
    EXPECT_TRUE(platform::Pasteboard::generalPasteboard()->image());

    SXSharer::shareItem<SXSafari>(link());
    ASSERT_EQ(platform::Application::sharedApplication()->openedURLs().size(), 1u);
    EXPECT_EQ(platform::Application::sharedApplication()->openedURLs()[0].absoluteString(),
              "http://example.com/a%20b?x=%26");

    std::weak_ptr<SXPhotoAlbum> album = SXSharer::shareItem<SXPhotoAlbum>(SXItem::imageTitle(picture(), "P"));
    EXPECT_TRUE(pumpUntil([] { return platform::PhotoAlbum::savedFiles().size() == 1; }));
    EXPECT_EQ(notes_.events, (Events{"finish", "finish", "finish", "finish"}));
    EXPECT_TRUE(album.expired());
    // No alerts: the actions are quiet.
    EXPECT_TRUE(platform::AlertRegistry::shownAlerts().empty());
}

TEST_F(SXLocalActionsTest, MailBodiesAreEscapedHTMLAndResultsBecomeOutcomes) {
    struct Case {
        void (MailComposeViewController::*end)();
        Events events;
    } cases[] = {
        {&MailComposeViewController::send, {"finish"}},
        {&MailComposeViewController::save, {"finish"}},
        {&MailComposeViewController::cancel, {"cancel"}},
    };
    for (const auto& c : cases) {
        notes_.events.clear();
        std::weak_ptr<SXMail> weak = SXSharer::shareItem<SXMail>(link("Fish & chips <3"));
        settle();
        auto composers = MailComposeViewController::openComposers();
        ASSERT_EQ(composers.size(), 1u);
        auto composer = composers.front();
        EXPECT_EQ(composer->message().subject, "Tom & <Jerry>");
        EXPECT_EQ(composer->message().body, "Fish &amp; chips &lt;3<br/><br/>http://example.com/a b?x=&amp;");
        EXPECT_TRUE(composer->message().isHTML);
        EXPECT_NE(presented(), nullptr);
        ((*composer).*c.end)();
        EXPECT_EQ(notes_.events, c.events);
        EXPECT_EQ(presented(), nullptr);
        EXPECT_FALSE(SX::currentHelper()->currentView());
        EXPECT_TRUE(weak.expired());
    }
    // A failed mail, and a file without title (attached with its type).
    notes_.events.clear();
    auto file = SXItem::fileFilenameMimeTypeTitle(platform::Data{1, 2}, "a&b.pdf", "application/pdf", std::nullopt);
    SXSharer::shareItem<SXMail>(file);
    settle();
    auto composer = MailComposeViewController::openComposers().front();
    EXPECT_EQ(composer->message().body, "Attached: a&amp;b.pdf");
    ASSERT_EQ(composer->message().attachments.size(), 1u);
    EXPECT_EQ(composer->message().attachments[0].mimeType, "application/pdf");
    composer->fail(platform::Error("MFMailComposeErrorDomain", 1));
    EXPECT_EQ(notes_.events, Events{"fail"});
    EXPECT_TRUE(platform::AlertRegistry::shownAlerts().empty());

    // A body of the caller's stays as it is.
    notes_.events.clear();
    auto custom = link("t");
    custom->setCustomValueForKey(platform::Value("<b>mine</b>"), "body");
    SXSharer::shareItem<SXMail>(custom);
    settle();
    EXPECT_EQ(MailComposeViewController::openComposers().front()->message().body, "<b>mine</b>");
    MailComposeViewController::openComposers().front()->cancel();

    // No composer on this device: the share still ends.
    notes_.events.clear();
    settle();
    MailComposeViewController::setCanSendMail(false);
    EXPECT_FALSE(SXSharer::make<SXMail>()->canShare());
    std::weak_ptr<SXMail> none = SXSharer::shareItem<SXMail>(link());
    EXPECT_EQ(notes_.events, Events{"fail"});
    EXPECT_TRUE(none.expired());
}

TEST_F(SXLocalActionsTest, TextMessagesArePlainText) {
    struct Case {
        void (MessageComposeViewController::*end)();
        Events events;
    } cases[] = {
        {&MessageComposeViewController::send, {"finish"}},
        {&MessageComposeViewController::fail, {"fail"}},
        {&MessageComposeViewController::cancel, {"cancel"}},
    };
    for (const auto& c : cases) {
        notes_.events.clear();
        settle();
        std::weak_ptr<SXTextMessage> weak = SXSharer::shareItem<SXTextMessage>(link("Look"));
        settle();
        auto composer = MessageComposeViewController::openComposers().front();
        EXPECT_EQ(composer->body(), "Look\n\nhttp://example.com/a b?x=&");
        ((*composer).*c.end)();
        EXPECT_EQ(notes_.events, c.events);
        EXPECT_TRUE(weak.expired());
    }
    settle();
    SXSharer::shareItem<SXTextMessage>(link());
    settle();
    EXPECT_EQ(MessageComposeViewController::openComposers().front()->body(), "http://example.com/a b?x=&");
    // The share waits for the user; end it so the sharer can go.
    MessageComposeViewController::openComposers().front()->cancel();
}

TEST_F(SXLocalActionsTest, LogoutReachesEveryServiceOfTheList) {
    SX::setAuthValueForKeyForSharer(std::string("u"), "username", "SXMail");
    std::vector<std::string> loggedOut;
    struct Service : SXSharer {
        std::string id;
        std::vector<std::string>* log = nullptr;
        std::string sharerId() const override { return id; }
        void logout() override { log->push_back(id); }
    };
    for (const char* id : {"SXTwitter", "SXPinboard"}) {
        SXSharerRegistry::registerFactory(id, [id, &loggedOut] {
            auto s = SXSharer::make<Service>();
            s->id = id;
            s->log = &loggedOut;
            return s;
        });
    }
    SXSharer::shareItem<SXLogout>(link());
    EXPECT_EQ(loggedOut, (std::vector<std::string>{"SXTwitter", "SXPinboard"}));
    EXPECT_EQ(notes_.events, Events{"finish"});
    EXPECT_EQ(SXActivityIndicator::currentIndicator()->subMessageLabel()->text(), "Logged Out!");
    // Put the real services back for the tests that run after this one.
    registerBuiltInSharers();
}

}  // namespace
}  // namespace clipora
