#include "share/Core/SXSharer.h"

#include <gtest/gtest.h>

#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Switch.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TextField.h"
#include "share/Core/SXSharerRegistry.h"
#include "share/UI/SXFormController.h"
#include "share/UI/SXFormFieldCell.h"
#include "share/UI/SXFormFieldSettings.h"
#include "tests/share/ShareTest.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;

// A sharer whose sending the test scripts.
class TestSharer : public SXSharer {
public:
    enum class Send { Refuse, Finish, Fail, Relogin, Cancel, Hang };
    static inline Send behaviour = Send::Finish;
    static inline bool needsLogin = false;
    static inline bool offlineCapable = true;
    static inline Events* log = nullptr;

    std::string sharerTitle() const override { return "Test"; }
    std::string sharerId() const override { return "TestSharer"; }
    bool canShareURL() const override { return true; }
    bool canShareText() const override { return true; }
    bool requiresAuthentication() const override { return needsLogin; }
    bool canShareOffline() const override { return offlineCapable; }

    bool send() override {
        if (log) log->push_back("send");
        if (behaviour == Send::Refuse) return false;
        sendDidStart();
        switch (behaviour) {
        case Send::Finish: sendDidFinish(); break;
        case Send::Fail: sendDidFailWithError(SX::error("Server said %@", "no")); break;
        case Send::Relogin: sendDidFailShouldRelogin(); break;
        case Send::Cancel: sendDidCancel(); break;
        default: break;
        }
        return true;
    }
    void sharerFinishedSending(const std::shared_ptr<SXSharer>& s) override {
        if (log) log->push_back("delegate finish");
        SXSharer::sharerFinishedSending(s);
    }
    void sharerFailedWithErrorShouldRelogin(const std::shared_ptr<SXSharer>& s, const std::optional<platform::Error>& e,
                                            bool relogin) override {
        if (log) log->push_back(relogin ? "delegate relogin" : "delegate fail");
        SXSharer::sharerFailedWithErrorShouldRelogin(s, e, relogin);
    }
    void sharerCancelledSending(const std::shared_ptr<SXSharer>& s) override {
        if (log) log->push_back("delegate cancel");
        SXSharer::sharerCancelledSending(s);
    }
};

class SXSharerTest : public test::ShareTest {
protected:
    void SetUp() override {
        ShareTest::SetUp();
        TestSharer::behaviour = TestSharer::Send::Finish;
        TestSharer::needsLogin = false;
        TestSharer::offlineCapable = true;
        TestSharer::log = &log_;
    }
    void TearDown() override {
        TestSharer::log = nullptr;
        ShareTest::TearDown();
    }
    static std::shared_ptr<SXItem> link() {
        return SXItem::URLTitle(platform::URL::fromString("http://example.com/v"), "Video");
    }
    // The form on top of what the hub presents.
    std::shared_ptr<SXFormController> form() const {
        auto top = presented();
        if (auto navigation = std::dynamic_pointer_cast<platform::NavigationController>(top)) {
            return std::dynamic_pointer_cast<SXFormController>(navigation->topViewController());
        }
        return nullptr;
    }
    static void setAutoShare(bool on) {
        platform::UserDefaults::standardUserDefaults()->setBool(on, "TestSharer_shouldAutoShare");
    }

    Events log_;
    test::NotificationRecorder notes_;
};

TEST_F(SXSharerTest, AutoShareSendsAtOnceAndReportsTheOutcomeOnce) {
    struct Case {
        TestSharer::Send behaviour;
        Events events;
        Events delegate;
        bool released;
        std::string alert;
    } cases[] = {
        {TestSharer::Send::Finish, {"start", "finish"}, {"send", "delegate finish"}, true, ""},
        {TestSharer::Send::Fail, {"start", "fail"}, {"send", "delegate fail"}, true, "Error: Server said no"},
        {TestSharer::Send::Cancel, {"start", "cancel"}, {"send", "delegate cancel"}, true, ""},
        // A relogin request keeps the sharer for the login that follows.
        {TestSharer::Send::Relogin,
         {"start", "fail"},
         {"send", "delegate relogin"},
         false,
         "Error: Could not authenticate you. Please relogin."},
    };
    setAutoShare(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.events.back() + " " + c.delegate.back());
        notes_.events.clear();
        log_.clear();
        platform::AlertRegistry::reset();
        TestSharer::behaviour = c.behaviour;
        std::weak_ptr<TestSharer> weak =
            SXSharer::shareURLTitle<TestSharer>(platform::URL::fromString("http://e.com/"), "T");
        EXPECT_EQ(notes_.events, c.events);
        EXPECT_EQ(log_, c.delegate);
        EXPECT_EQ(weak.expired(), c.released);
        EXPECT_EQ(topAlertText(), c.alert);
        if (auto sharer = weak.lock()) sharer->sendDidCancel();
        SX::reset();
    }
}

TEST_F(SXSharerTest, AnInvalidItemEndsSilently) {
    std::weak_ptr<TestSharer> weak = SXSharer::shareURLTitle<TestSharer>(std::nullopt, "T");
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(notes_.events.empty());
    EXPECT_EQ(presented(), nullptr);
}

TEST_F(SXSharerTest, TheShareFormEditsTheItemAndSends) {
    std::weak_ptr<TestSharer> weak = SXSharer::shareItem<TestSharer>(link());
    EXPECT_EQ(SX::favoriteSharersForType(1).front(), "TestSharer");
    auto f = form();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->navigationItem()->rightBarButtonItem()->title(), "Send to Test");
    EXPECT_EQ(f->sections().size(), 2u);
    EXPECT_EQ(f->sections()[0].footer, "http://example.com/v");
    EXPECT_EQ(f->sections()[1].footer, "Enable auto share to skip this step in the future.");
    auto table = f->tableView();
    auto title = std::dynamic_pointer_cast<SXFormFieldCell>(table->cellForRowAtIndexPath({0, 0}));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->getTextField()->text(), "Video");
    title->getTextField()->setText("Edited");
    auto autoShare = std::dynamic_pointer_cast<SXFormFieldCell>(table->cellForRowAtIndexPath({1, 0}));
    ASSERT_TRUE(autoShare && autoShare->toggle());
    autoShare->toggle()->setOn(true);

    auto sharer = weak.lock();
    ASSERT_TRUE(sharer);
    f->navigationItem()->rightBarButtonItem()->tap();
    EXPECT_EQ(sharer->item()->title(), "Edited");
    EXPECT_TRUE(sharer->shouldAutoShare());
    EXPECT_EQ(notes_.events, (Events{"start", "finish"}));
    EXPECT_EQ(presented(), nullptr);
    sharer.reset();
    EXPECT_TRUE(weak.expired());
}

TEST_F(SXSharerTest, EveryWayOutOfTheFormsEndsTheShare) {
    // Cancel.
    std::weak_ptr<TestSharer> weak = SXSharer::shareItem<TestSharer>(link());
    ASSERT_TRUE(form());
    form()->navigationItem()->leftBarButtonItem()->tap();
    EXPECT_EQ(notes_.events, (Events{"cancel"}));
    EXPECT_TRUE(weak.expired());

    // Sending does not start after the form: the input is not lost silently.
    notes_.events.clear();
    TestSharer::behaviour = TestSharer::Send::Refuse;
    weak = SXSharer::shareItem<TestSharer>(link());
    settle();
    ASSERT_TRUE(form());
    form()->navigationItem()->rightBarButtonItem()->tap();
    EXPECT_EQ(notes_.events, (Events{"fail"}));
    EXPECT_EQ(topAlertText(), "Error: There was an error while sharing");
    EXPECT_TRUE(weak.expired());

    // A text has no form rows: refused sending fails the share too.
    notes_.events.clear();
    weak = SXSharer::shareText<TestSharer>("hello");
    EXPECT_EQ(notes_.events, (Events{"fail"}));
    EXPECT_TRUE(weak.expired());
}

TEST_F(SXSharerTest, OfflineSharesAreQueuedOrEndWithTheOfflineAlert) {
    setOnline(false);
    setAutoShare(true);
    // Queued: the share is done for now and the sharer goes.
    std::weak_ptr<TestSharer> weak =
        SXSharer::shareURLTitle<TestSharer>(platform::URL::fromString("http://e.com/"), "T");
    EXPECT_EQ(log_, Events{"delegate finish"});
    EXPECT_EQ(notes_.events, (Events{"finish"}));
    EXPECT_TRUE(weak.expired());
    ASSERT_TRUE(SX::getOfflineQueueList());
    EXPECT_EQ(SX::getOfflineQueueList()->size(), 1u);

    // Cannot be queued: one alert, a failure, no form.
    notes_.events.clear();
    TestSharer::offlineCapable = false;
    weak = SXSharer::shareURLTitle<TestSharer>(platform::URL::fromString("http://e.com/"), "T");
    EXPECT_EQ(notes_.events, (Events{"fail"}));
    EXPECT_EQ(platform::AlertRegistry::shownAlerts().size(), 1u);
    EXPECT_EQ(topAlertText(), "Offline: You must be online in order to share with Test");
    EXPECT_EQ(presented(), nullptr);
    EXPECT_TRUE(weak.expired());

    // Quiet: nothing shown, the caller hears no.
    auto quiet = SXSharer::make<TestSharer>();
    quiet->setItem(link());
    quiet->setQuiet(true);
    EXPECT_FALSE(quiet->tryToSend());
    EXPECT_EQ(platform::AlertRegistry::shownAlerts().size(), 1u);
}

TEST_F(SXSharerTest, TheLoginFormStoresCredentialsAndSharesAgain) {
    TestSharer::needsLogin = true;
    setAutoShare(true);
    std::weak_ptr<TestSharer> weak =
        SXSharer::shareURLTitle<TestSharer>(platform::URL::fromString("http://e.com/"), "T");
    auto sharer = weak.lock();
    ASSERT_TRUE(sharer);
    EXPECT_EQ(sharer->pendingAction(), SXSharer::PendingActionShareAgain);
    auto login = form();
    ASSERT_TRUE(login);
    EXPECT_EQ(login->title(), "Login");
    auto table = login->tableView();
    auto user = std::dynamic_pointer_cast<SXFormFieldCell>(table->cellForRowAtIndexPath({0, 0}));
    auto password = std::dynamic_pointer_cast<SXFormFieldCell>(table->cellForRowAtIndexPath({0, 1}));
    ASSERT_TRUE(user && password);
    EXPECT_TRUE(password->getTextField()->isSecureTextEntry());
    user->getTextField()->setText("alice");
    // Only the user name: one stored key is enough to count as logged in.
    login->saveForm();
    sharer.reset();
    EXPECT_EQ(SX::getAuthValueForKeyForSharer("username", "TestSharer"), "alice");
    EXPECT_EQ(notes_.events, (Events{"start", "finish"}));
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(SXSharer::make<TestSharer>()->isAuthorized());
    SXSharer::make<TestSharer>()->logout();
    EXPECT_FALSE(SXSharer::make<TestSharer>()->isAuthorized());

    // Offline there is no login: one alert and the attempt ends.
    setOnline(false);
    notes_.events.clear();
    weak = SXSharer::shareURLTitle<TestSharer>(platform::URL::fromString("http://e.com/"), "T");
    EXPECT_EQ(topAlertText(), "Offline: You must be online to login to Test");
    EXPECT_EQ(notes_.events, (Events{"auth no"}));
    EXPECT_TRUE(weak.expired());
}

TEST_F(SXSharerTest, CapabilityQueries) {
    auto sharer = SXSharer::make<TestSharer>();
    EXPECT_TRUE(sharer->canShareType(1));
    EXPECT_TRUE(sharer->canShareType(2));
    for (int type : {0, 3, 4, 5, 6, -1}) EXPECT_FALSE(sharer->canShareType(type)) << type;
    auto base = SXSharer::make<SXSharer>();
    EXPECT_EQ(base->sharerId(), "SXSharer");
    EXPECT_EQ(base->sharerTitle(), "");
    EXPECT_EQ(base->authorizationFormFields().size(), 2u);
    EXPECT_FALSE(SXSharer::isServiceAuthorized("NoSuchSharer"));
}

}  // namespace
}  // namespace clipora
