#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/UpdateChecker.h"
#include "app/VersionString.h"
#include "platform/foundation/PropertyList.h"
#include "platform/uikit/AlertRegistry.h"
#include "tests/app/AppTest.h"
#include "tests/support/LoopbackServer.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

TEST(VersionStringTest, ComparesComponentsAsNumbers) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    for (const auto& c : {Case{"1.10", "1.9", 1}, Case{"1.0", "1.0.1", -1}, Case{"2.0", "2", 1}, Case{"010", "10", 0},
                          Case{"1.x", "1.0", 0}, Case{"3", "2.9.9", 1}}) {
        EXPECT_EQ(VersionString::compareVersion(c.a, c.b), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(VersionString::compareVersionDescending(c.a, c.b), -c.expected);
    }
}

class Listener : public UpdateCheckerDelegate {
public:
    void UpdateCheckerVersionCheckFailed(const std::optional<Error>& e) override {
        failed = true;
        error = e;
    }
    void UpdateCheckerDetectedNewVersionDetails(const std::string& version, const std::string&) override {
        detected = version;
    }
    bool failed = false;
    std::optional<Error> error;
    std::optional<std::string> detected;
};

class UpdateCheckerTest : public test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        server.server().set_keep_alive_max_count(1);
        server.server().Get("/Versions.plist", [this](const httplib::Request&, httplib::Response& response) {
            ++fetches;
            response.set_content(body, "application/xml");
        });
        server.start();
        checker = std::make_shared<UpdateChecker>();
        checker->setApplicationVersion("1.0");
        checker->setApplicationName("Clipora");
        checker->setRemoteVersionsPlistURL(server.url("/Versions.plist"));
        checker->setCheckPeriod(0);
        checker->setDelegate(listener);
    }

    static std::string list(const Value& versions) {
        auto data = PropertyList::toData(versions);
        return std::string(data->begin(), data->end());
    }
    // Runs one remote check to its end.
    void check() {
        listener->failed = false;
        listener->detected.reset();
        advanceClock(1);  // each check stamps its own time when it ends
        const Date started = Date::now();
        checker->checkForNewVersion();
        ASSERT_TRUE(pumpUntil([&] { return checker->lastChecked() == std::optional<Date>(started); }));
    }

    test::LoopbackServer server;
    std::string body;
    int fetches = 0;
    std::shared_ptr<UpdateChecker> checker;
    std::shared_ptr<Listener> listener = std::make_shared<Listener>();
};

TEST_F(UpdateCheckerTest, OffersANewerVersionWithItsNotesAndHonoursIgnore) {
    body = list(Value::makeDictionary(
        {{"1.0", Value::makeArray({"First"})}, {"1.1", Value::makeArray({"Faster lists", "Fewer crashes"})}}));
    check();
    EXPECT_EQ(listener->detected, std::optional<std::string>("1.1"));
    auto alert = AlertRegistry::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "A new version of Clipora is available to download");
    // The remote notes since the running version, not the local ones.
    EXPECT_EQ(alert->message(), "Version 1.1\n\nFaster lists\n\nFewer crashes");
    EXPECT_EQ(alert->buttonTitles(), (std::vector<std::string>{"Download", "Ignore", "Remind Me Later"}));
    ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("Ignore"));
    EXPECT_EQ(checker->ignoredVersion(), std::optional<std::string>("1.1"));

    check();  // the same latest version is not offered again
    EXPECT_EQ(listener->detected, std::optional<std::string>("1.1"));
    EXPECT_FALSE(AlertRegistry::topAlert());

    body = list(Value::makeDictionary(
        {{"1.1", Value::makeArray({"Faster lists"})}, {"1.2", Value::makeArray({"Downloads resume"})}}));
    check();  // a later one is
    ASSERT_TRUE(AlertRegistry::topAlert());
    EXPECT_EQ(AlertRegistry::topAlert()->message(), "Version 1.2\n\nDownloads resume\n\nVersion 1.1\n\nFaster lists");
}

TEST_F(UpdateCheckerTest, NothingNewerShowsNothingAndBadListsOnlyTellTheDelegate) {
    body = list(Value::makeDictionary({{"1.0", Value::makeArray({"First"})}}));
    check();
    EXPECT_FALSE(listener->detected);
    EXPECT_FALSE(AlertRegistry::topAlert());

    for (const std::string& bad :
         {std::string("<html>not found</html>"), std::string(UpdateChecker::kMaxListBytes + 1, ' ')}) {
        body = bad;
        check();
        EXPECT_TRUE(listener->failed);
        EXPECT_TRUE(listener->error.has_value());
        EXPECT_FALSE(checker->remoteVersionsDict());
        EXPECT_FALSE(AlertRegistry::topAlert());
    }
}

TEST_F(UpdateCheckerTest, RemindLaterWaitsTheRemindPeriodEvenWithNoCheckPeriod) {
    body = list(Value::makeDictionary({{"2.0", Value::makeArray({"New look"})}}));
    check();
    ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("Remind Me Later"));
    EXPECT_FALSE(checker->shouldCheckForNewVersion());
    advanceClock(UpdateChecker::kSecondsPerDay - 1);
    EXPECT_FALSE(checker->shouldCheckForNewVersion());
    advanceClock(1);
    EXPECT_TRUE(checker->shouldCheckForNewVersion());
}

TEST_F(UpdateCheckerTest, FirstLaunchShowsNoLocalNotesAndRecordsTheVersion) {
    checker->checkIfNewVersion();
    EXPECT_FALSE(AlertRegistry::topAlert());
    EXPECT_EQ(checker->lastVersion(), std::optional<std::string>("1.0"));
    EXPECT_TRUE(checker->viewedVersionDetails());
}

}  // namespace
