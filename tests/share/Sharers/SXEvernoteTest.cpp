#include <thread>

#include <gtest/gtest.h>

#include "notes/types/EDAMTypes.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/MarkupEscaping.h"
#include "platform/foundation/XMLParser.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "share/Core/SX.h"
#include "share/Core/SXCategories.h"
#include "share/Sharers/SXEvernote.h"
#include "share/Sharers/SXEvernoteItem.h"
#include "tests/share/Sharers/NoteServiceStandIn.h"
#include "tests/share/Sharers/ServiceStandIn.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE en-note SYSTEM \"http://xml.evernote.com/pub/enml2.dtd\">"
    "<en-note style=\"word-wrap: break-word; -webkit-nbsp-mode: space; -webkit-line-break: after-white-space;\">";

bool wellFormed(const std::string& xml) { return platform::XMLParser(xml).parse(); }

std::shared_ptr<platform::Image> picture(int width, int height) {
    auto bitmap = std::make_shared<platform::Bitmap>(width, height);
    bitmap->fill({200, 20, 30, 255});
    return platform::Image::imageWithBitmap(bitmap);
}

std::shared_ptr<EDAMNotebook> notebook(const std::string& guid, bool isDefault) {
    auto book = std::make_shared<EDAMNotebook>();
    book->setGuid(guid);
    book->setDefaultNotebook(isDefault);
    return book;
}

class SXEvernoteTest : public test::SharerTest {
protected:
    void SetUp() override {
        SharerTest::SetUp();
        service_ = std::make_unique<test::NoteServiceStandIn>(home());
        service_->state.notebooks = {notebook("nb-1", false), notebook("nb-2", true), notebook("nb-3", true)};
        configure({{"evernoteUserStoreURL", service_->userStoreURL()},
                   {"evernoteNetStoreURLBase", service_->noteStoreBase()},
                   {"evernoteConsumerKey", "ck"},
                   {"evernoteSecret", "cs"}});
    }
    void TearDown() override {
        service_.reset();
        SharerTest::TearDown();
    }
    static std::shared_ptr<SXItem> link() {
        return SXItem::URLTitle(platform::URL::fromString("http://example.com/v?a=1&b=2"), "Tom & <Jerry>");
    }
    std::vector<std::string> calls() {
        std::lock_guard lock(service_->state.mutex);
        return service_->state.calls;
    }
    std::shared_ptr<EDAMNote> lastCreated() {
        std::lock_guard lock(service_->state.mutex);
        return service_->state.created.empty() ? nullptr : service_->state.created.back();
    }
    static bool alertShown(const std::string& title) {
        for (const auto& alert : platform::AlertRegistry::shownAlerts())
            if (alert->title() == title) return true;
        return false;
    }
    static void storeLogin(const std::string& password = "secret") {
        SX::setAuthValueForKeyForSharer("u", "username", "SXEvernote");
        SX::setAuthValueForKeyForSharer(password, "password", "SXEvernote");
    }

    std::unique_ptr<test::NoteServiceStandIn> service_;
};

TEST_F(SXEvernoteTest, SignsInAfterTheVersionCheckAndCreatesTheNote) {
    auto sharer = SXSharer::shareItem<SXEvernote>(link());
    auto login = form();
    ASSERT_TRUE(login);
    fill(login, {{"username", "u"}, {"password", "wrong"}});
    login->validateForm();
    ASSERT_TRUE(pumpUntil([] { return !topAlertText().empty(); }));
    EXPECT_EQ(topAlertText(), "Login Error: Your username and password did not match");
    EXPECT_EQ(form(), login);

    // A refused version: its own alert (from the main thread), and no login.
    service_->state.acceptVersion = false;
    platform::AlertRegistry::reset();
    fill(login, {{"password", "secret"}});
    login->validateForm();
    ASSERT_TRUE(pumpUntil([] { return alertShown("EDMA Error") && alertShown("Login Error"); }));
    EXPECT_TRUE(notes_.events.empty());

    service_->state.acceptVersion = true;
    login->validateForm();
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(notes_.events, (Events{"auth yes"}));
    EXPECT_EQ(SX::getAuthValueForKeyForSharer("password", "SXEvernote"), "secret");
    EXPECT_EQ(calls().front(), "checkVersion ShareCore EDMA 1.16");
    EXPECT_EQ(calls().back(), "authenticate u ck");

    settle();
    auto share = form();
    ASSERT_TRUE(share);
    EXPECT_EQ(keysOf(share), (std::vector<std::string>{"title", "tags"}));
    fill(share, {{"tags", "video  caf\xc3\xa9 "}});
    share->validateForm();
    ASSERT_TRUE(waitForEvents(3));
    EXPECT_EQ(notes_.events, (Events{"auth yes", "start", "finish"}));
    auto note = lastCreated();
    ASSERT_TRUE(note);
    EXPECT_EQ(note->title(), "Tom & <Jerry>");
    EXPECT_EQ(note->notebookGuid(), "nb-2");  // the first default notebook
    EXPECT_EQ(note->tagNames(), (std::vector<std::string>{"video", "caf\xc3\xa9"}));
    ASSERT_TRUE(note->attributes());
    EXPECT_EQ(note->attributes()->sourceURL(), "http://example.com/v?a=1&b=2");
    EXPECT_EQ(note->content(),
              kHead +
                  "<h1><a href=\"http://example.com/v?a=1&amp;b=2\">Tom &amp; &lt;Jerry&gt;</a></h1>"
                  "<p><a href=\"http://example.com/v?a=1&amp;b=2\">http://example.com/v?a=1&amp;b=2</a></p>"
                  "</en-note>");
    EXPECT_TRUE(wellFormed(*note->content()));
    EXPECT_GT(note->created(), 0);
    EXPECT_EQ(note->created() % 1000, 0);
    auto seen = calls();
    EXPECT_NE(std::find(seen.begin(), seen.end(), "listNotebooks S=s1:token"), seen.end());
    EXPECT_EQ(seen.back(), "createNote S=s1:token");
}

TEST_F(SXEvernoteTest, ARefusedVersionIsAlertedFromTheMainThread) {
    // The worker's part runs on a thread of the test's own and is joined
    // while the main run loop stands still: an alert shown by the worker
    // would be up before the main thread turned its loop once.
    service_->state.acceptVersion = false;
    auto sharer = SXSharer::make<SXEvernote>();
    const auto settings = SXEvernote::Settings::current();
    SXEvernote::Record result;
    std::thread worker([&] { result = sharer->_send(link(), {}, std::string("u"), std::string("secret"), settings); });
    worker.join();
    EXPECT_EQ(result, (SXEvernote::Record{
                          {"success", "0"}, {"errorMessage", "EDMA Version is too old."}, {"shouldRelogin", "0"}}));
    EXPECT_TRUE(platform::AlertRegistry::shownAlerts().empty());
    ASSERT_TRUE(pumpUntil([] { return alertShown("EDMA Error"); }));
    EXPECT_EQ(calls(), (std::vector<std::string>{"checkVersion ShareCore EDMA 1.16"}));
}

TEST_F(SXEvernoteTest, PicturesAndFilesBecomeResources) {
    storeLogin();
    auto item = SXItem::imageTitle(picture(3, 2), "");
    item->setText("1 < 2 & \"q\"");
    auto sharer = SXSharer::make<SXEvernote>();
    sendNow(sharer, item);
    ASSERT_EQ(notes_.events, (Events{"start", "finish"}));
    auto note = lastCreated();
    ASSERT_TRUE(note && note->resources());
    ASSERT_EQ(note->resources()->size(), 1u);
    const auto& resource = *(*note->resources())[0];
    EXPECT_EQ(resource.mime(), "image/jpeg");
    ASSERT_TRUE(resource.data() && resource.data()->body());
    const auto& body = *resource.data()->body();
    EXPECT_EQ(body.at(0), 0xFF);
    EXPECT_EQ(body.at(1), 0xD8);
    EXPECT_EQ(resource.data()->size(), static_cast<std::int32_t>(body.size()));
    EXPECT_EQ(resource.data()->bodyHash(), platform::Digest::md5(body));
    ASSERT_TRUE(resource.recognition());
    EXPECT_EQ(resource.recognition()->body(), resource.data()->body());
    EXPECT_EQ(note->title(), "Untitled");
    EXPECT_EQ(note->content(), kHead +
                                   "<p>1 &lt; 2 &amp; &quot;q&quot;</p><p><en-media type=\"image/jpeg\" height=\"2\" "
                                   "width=\"3\" hash=\"" +
                                   SXCategories::md5(body) + "\"/></p></en-note>");
    EXPECT_TRUE(wellFormed(*note->content()));

    sendNow(sharer, SXItem::fileFilenameMimeTypeTitle(platform::Data{1, 2, 3}, "a.pdf", "application/pdf", "Doc"));
    note = lastCreated();
    ASSERT_TRUE(note && note->resources() && note->resources()->size() == 1u);
    EXPECT_EQ((*note->resources())[0]->mime(), "application/pdf");
    EXPECT_EQ(note->content(), kHead + "<h1>Doc</h1><p><en-media type=\"application/pdf\" hash=\"" +
                                   SXCategories::md5({1, 2, 3}) + "\"/></p></en-note>");
}

TEST_F(SXEvernoteTest, APreparedNoteIsCompleted) {
    auto prepared = std::make_shared<EDAMNote>();
    prepared->setTitle(std::string("Prepared"));
    prepared->setContent(kHead + "<p>mine</p></en-note>");
    prepared->setNotebookGuid(std::string("nb-9"));
    prepared->setTagNames(std::vector<std::string>{"kept"});
    auto item = std::make_shared<SXEvernoteItem>();
    item->setShareType(SXItem::SXShareTypeText);
    item->setText("ignored: the note has content");
    item->setTags("other");
    item->setNote(prepared);
    auto note = SXEvernote::noteForItem(*item, {});
    EXPECT_EQ(note, prepared);
    EXPECT_EQ(note->title(), "Prepared");
    EXPECT_EQ(note->content(), kHead + "<p>mine</p></en-note>");
    EXPECT_EQ(note->tagNames(), (std::vector<std::string>{"kept"}));
    EXPECT_EQ(note->notebookGuid(), "nb-9");

    // A plain item always gets a new note; blank tags make no tag names.
    auto plain = SXItem::text("t");
    plain->setTags("   ");
    note = SXEvernote::noteForItem(*plain, {});
    EXPECT_NE(note, prepared);
    EXPECT_FALSE(note->tagNames());
    EXPECT_EQ(note->content(), kHead + "<p>t</p></en-note>");

    // en-media sizes only when both are positive numbers.
    EDAMResource resource;
    resource.setMime(std::string("image/jpeg"));
    auto hash = SXCategories::md5({});
    EXPECT_EQ(SXEvernote::enMediaTagWithResourceWidthHeight(resource, 0, 0),
              "<en-media type=\"image/jpeg\" hash=\"" + hash + "\"/>");
    EXPECT_EQ(SXEvernote::enMediaTagWithResourceWidthHeight(resource, 10.4f, std::nanf("")),
              "<en-media type=\"image/jpeg\" hash=\"" + hash + "\"/>");
    EXPECT_EQ(SXEvernote::enMediaTagWithResourceWidthHeight(resource, 10.4f, 20.6f),
              "<en-media type=\"image/jpeg\" height=\"21\" width=\"10\" hash=\"" + hash + "\"/>");
}

TEST_F(SXEvernoteTest, ReferencedPicturesLoadOnlyOverHttpWithinTheCap) {
    auto jpeg = picture(4, 3)->jpegRepresentation(0.8f);
    test::LoopbackServer images;
    images.server().set_keep_alive_max_count(1);
    images.server().Get("/p.jpg", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string(jpeg.begin(), jpeg.end()), "image/jpeg");
    });
    images.start();
    auto referenced = [](const std::string& url) {
        auto attributes = std::make_shared<EDAMResourceAttributes>();
        attributes->setSourceURL(url);
        auto resource = std::make_shared<EDAMResource>();
        resource->setMime(std::string("image/jpeg"));
        resource->setAttributes(attributes);
        return resource;
    };
    const std::string web = images.url("/p.jpg?a=1&b=2");
    const std::string local = "file://" + (home() / "secret.jpg").string();
    std::vector<std::shared_ptr<EDAMResource>> resources{referenced(web), referenced(local)};
    EDAMNote note;
    note.setResources(resources);
    note.setContent(kHead + "<img src=\"" + platform::MarkupEscaping::escaped(web) + "\" /><img src=\"" + local +
                    "\" /></en-note>");

    // Beyond the cap nothing is taken.
    SXEvernote::fetchReferencedImages(note, jpeg.size() - 1);
    EXPECT_FALSE(resources[0]->data());

    SXEvernote::fetchReferencedImages(note);
    ASSERT_TRUE(resources[0]->data());
    EXPECT_EQ(resources[0]->data()->body(), jpeg);
    EXPECT_EQ(resources[0]->recognition(), resources[0]->data());
    EXPECT_FALSE(resources[1]->data());  // not http(s): never read
    EXPECT_EQ(note.content(), kHead + "<en-media type=\"image/jpeg\" height=\"3\" width=\"4\" hash=\"" +
                                  SXCategories::md5(jpeg) + "\"/><img src=\"" + local + "\" /></en-note>");
}

TEST_F(SXEvernoteTest, FailuresEndTheShareWithAReadableMessage) {
    struct Case {
        const char* name;
        std::function<void(test::NoteServiceState&)> arrange;
        std::string alert;
        bool relogin;
    } cases[] = {
        {"auth expired",
         [](auto& s) { s.userError = EDAMUserException::initWithErrorCodeParameter(9, std::string("P")); },
         "Could not authenticate you. Please relogin.", true},
        {"bad format",
         [](auto& s) { s.userError = EDAMUserException::initWithErrorCodeParameter(2, std::string("Note.title")); },
         "Evernote Error on Note.title: Invalid format", false},
        {"unknown code",
         [](auto& s) { s.userError = EDAMUserException::initWithErrorCodeParameter(6, std::string("x")); },
         "Evernote Error on x: Unknown error from Evernote", false},
        {"system, invalid auth",
         [](auto& s) { s.systemError = EDAMSystemException::initWithErrorCodeMessage(8, std::string("m")); },
         "Could not authenticate you. Please relogin.", true},
        {"system, quota",
         [](auto& s) { s.systemError = EDAMSystemException::initWithErrorCodeMessage(7, std::string("full")); },
         "Evernote Error: Quota Reached full", false},
        {"not found",
         [](auto& s) {
             s.notFoundError =
                 EDAMNotFoundException::initWithIdentifierKey(std::string("Notebook.guid"), std::string("nb-2"));
         },
         "Evernote Error: not found: Notebook.guid", false},
        {"application exception",
         [](auto& s) {
             s.applicationError.emplace(apache::thrift::TApplicationException::INTERNAL_ERROR, "createNote failed");
         },
         "There was a problem sharing with Evernote", false},
        {"version refused", [](auto& s) { s.acceptVersion = false; }, "EDMA Version is too old.", false},
        {"password changed", [](auto& s) { s.password = "new"; }, "Could not authenticate you. Please relogin.", true},
        {"unreachable note store", [](auto& s) { s.shard = "gone"; }, "There was a problem sharing with Evernote",
         false},
    };
    storeLogin();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::lock_guard lock(service_->state.mutex);
            service_->state.reset();
            service_->state.notebooks = {notebook("nb-2", true)};
            c.arrange(service_->state);
        }
        sendNow(SXSharer::make<SXEvernote>(), link());
        expectOutcome(c.alert, c.relogin);
    }
}

}  // namespace
}  // namespace clipora
