#include "share/Sharers/SXFoursquareV2.h"

#include <map>
#include <mutex>

#include <gtest/gtest.h>

#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/cfnetwork/HTTPCookieStorage.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Text.h"
#include "platform/system/LocationManager.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/SearchBar.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/TextView.h"
#include "platform/uikit/WebView.h"
#include "share/Sharers/SXFoursquareV2CheckInForm.h"
#include "share/Sharers/SXFoursquareV2OAuthView.h"
#include "share/Sharers/SXFoursquareV2Request.h"
#include "share/Sharers/SXFoursquareV2Venue.h"
#include "share/Sharers/SXFoursquareV2VenuesForm.h"
#include "tests/share/ShareTest.h"
#include "tests/share/Sharers/ServiceStandIn.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestCA.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;
using platform::LocationManager;
using platform::Text;

constexpr const char* kToken = "F1";

// The check-in service's API over TLS: checks the token and the version,
// records each request as it came (method, target, body length) and
// answers with its JSON replies or refusals.
class CheckInStandIn {
public:
    struct Call {
        std::string method;
        std::string target;
        std::string contentLength;
        std::map<std::string, std::string> params;
    };

    explicit CheckInStandIn(test::TestCA& ca) : server_(ca.server().certificateFile, ca.server().privateKeyFile) {
        auto& s = server_.server();
        s.set_keep_alive_max_count(1);
        s.Get("/oauth2/authenticate", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><body>sign in</body></html>", "text/html");
        });
        s.Get("/v2/venues/search",
              [this](const httplib::Request& r, httplib::Response& response) { answer(r, response); });
        s.Post("/v2/checkins/add",
               [this](const httplib::Request& r, httplib::Response& response) { answer(r, response); });
        server_.start();
    }
    std::string base() const { return server_.url("/v2").substr(0, server_.url("/v2").size()); }
    std::string url(const std::string& path) const { return server_.url(path); }
    std::vector<Call> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void setReply(int status, std::string body) {
        std::lock_guard lock(mutex_);
        status_ = status;
        reply_ = std::move(body);
    }

private:
    void answer(const httplib::Request& r, httplib::Response& response) {
        Call call{
            r.method, r.target, r.has_header("Content-Length") ? r.get_header_value("Content-Length") : "none", {}};
        for (const auto& [name, value] : r.params) call.params[name] = value;
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
        if (call.params["oauth_token"] != kToken || call.params["v"] != "20110927") {
            response.status = 401;
            response.set_content(R"({"meta":{"code":401,"errorType":"invalid_auth"},"response":{}})",
                                 "application/json");
            return;
        }
        if (!reply_.empty()) {
            response.status = status_;
            response.set_content(reply_, "application/json");
            return;
        }
        if (r.path == "/v2/venues/search") {
            response.set_content(R"({"meta":{"code":200},"response":{"venues":[)"
                                 R"({"id":"v1","name":"Cafe","location":{"address":"1 Main St"},)"
                                 R"("categories":[{"icon":"i0","primary":false},{"icon":"i1","primary":true}]},)"
                                 R"({"id":"v2","name":"Park","location":{},"categories":[]}]}})",
                                 "application/json");
        } else {
            response.set_content(R"({"meta":{"code":200},"response":{"checkin":{"id":"c1"}}})", "application/json");
        }
    }

    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    int status_ = 200;
    std::string reply_;
    test::LoopbackServer server_;
};

class SXFoursquareV2Test : public test::ShareTest {
protected:
    void SetUp() override {
        ShareTest::SetUp();
        LocationManager::resetDevice();
        ca_.emplace(home());
        ca_->trust();
        service_.emplace(*ca_);
        test::StandInConfigurator::install({{"foursquareV2ClientId", "client 1"},
                                            {"foursquareV2RedirectURI", "app://fsq"},
                                            {SXFoursquareV2Request::kAPIBaseKey, service_->url("/v2")},
                                            {SXFoursquareV2::kAuthorizeURLKey, service_->url("/oauth2/authenticate")}});
    }
    void TearDown() override {
        LocationManager::resetDevice();
        service_.reset();
        ca_.reset();
        ShareTest::TearDown();
    }
    static platform::Location fix(double latitude, double longitude) {
        return platform::Location{latitude, longitude, 35, 10, 5, test::fixedTestDate()};
    }
    std::shared_ptr<SXFoursquareV2> sharer() const { return std::dynamic_pointer_cast<SXFoursquareV2>(presented()); }
    std::shared_ptr<SXFoursquareV2VenuesForm> venuesForm() const {
        auto s = sharer();
        return s ? std::dynamic_pointer_cast<SXFoursquareV2VenuesForm>(s->topViewController()) : nullptr;
    }
    // A signed-in share of the text up to the venues screen.
    std::shared_ptr<SXFoursquareV2VenuesForm> openVenues(const std::string& text) {
        SX::setAuthValueForKeyForSharer(std::string(kToken), SXFoursquareV2::kAccessTokenKey, "SXFoursquareV2");
        SXSharer::shareText<SXFoursquareV2>(text);
        settle();
        auto form = venuesForm();
        EXPECT_TRUE(form);
        return form;
    }
    bool waitForSearch(const std::shared_ptr<SXFoursquareV2VenuesForm>& form) {
        return pumpUntil([&] { return !form->request(); });
    }
    bool waitForOutcome() {
        return pumpUntil([this] { return !notes_.events.empty() && notes_.events.back() != "start"; });
    }

    std::optional<test::TestCA> ca_;
    std::optional<CheckInStandIn> service_;
    test::NotificationRecorder notes_;
};

TEST_F(SXFoursquareV2Test, FindsNearbyPlacesFromTheLocationAndChecksIn) {
    LocationManager::setCurrentLocation(fix(48.858, 2.294));
    auto form = openVenues("at the cafe");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->title(), "Nearby Places");
    EXPECT_EQ(form->searchBar()->placeholder(), "Search places");
    ASSERT_TRUE(pumpUntil([&] { return form->venues().has_value(); }));
    auto calls = service_->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].target,
              "/v2/venues/search?oauth_token=F1&v=20110927&ll=48.85800,2.29400&llAcc=10.00&alt=35.00&altAcc=5.00");
    auto table = form->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 2);
    auto cell = table->cellForRowAtIndexPath({0, 0});
    EXPECT_EQ(cell->reuseIdentifier(), SXFoursquareV2VenuesForm::kCellIdentifier);
    EXPECT_EQ(cell->textLabel()->text(), "Cafe");
    EXPECT_EQ(cell->detailTextLabel()->text(), "1 Main St");
    // The icon is that of the category marked primary, here the second.
    EXPECT_EQ((*form->venues())[0]->icon, "i1");
    EXPECT_FALSE((*form->venues())[1]->icon);

    // A later fix refines the location without another search.
    LocationManager::setCurrentLocation(fix(48.86, 2.3));
    pumpUntil([&] { return form->location() && form->location()->latitude == 48.86; }, 1);
    EXPECT_EQ(service_->calls().size(), 1u);

    // Choosing a place opens the message screen with that place and fix.
    auto s = sharer();
    ASSERT_TRUE(table->tapRowAtIndexPath({0, 0}));
    EXPECT_TRUE(std::dynamic_pointer_cast<SXFoursquareV2CheckInForm>(s->topViewController()));
    EXPECT_EQ(s->venue()->venueId, "v1");
    EXPECT_EQ(s->location()->latitude, 48.86);

    auto message = std::dynamic_pointer_cast<SXFoursquareV2CheckInForm>(s->topViewController());
    EXPECT_EQ(message->title(), "Foursquare");
    EXPECT_EQ(message->navigationItem()->rightBarButtonItem()->title(), "Check In");
    EXPECT_EQ(message->textView()->text(), "at the cafe");
    // 141 characters are one too many; 140 go.
    message->textView()->setText(std::string(141, 'x'));
    message->updateCounter();
    EXPECT_EQ(message->counter()->text(), "-1");
    EXPECT_EQ(message->counter()->textColor(), platform::Color::redColor());
    message->navigationItem()->rightBarButtonItem()->tap();
    EXPECT_EQ(topAlertText(), "Message is too long: Foursquare posts can only be 140 characters in length.");
    platform::AlertRegistry::reset();
    message->textView()->setText("");
    message->navigationItem()->rightBarButtonItem()->tap();
    EXPECT_EQ(topAlertText(), "Message is empty: You must enter a message in order to post.");
    platform::AlertRegistry::reset();
    message->textView()->setText(std::string(139, 'x') + " ");
    message->updateCounter();
    EXPECT_EQ(message->counter()->text(), "0");
    message->textView()->setText("at the cafe");
    message->navigationItem()->rightBarButtonItem()->tap();
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(notes_.events, (Events{"start", "finish"}));
    auto checkIn = service_->calls().back();
    // An empty body keeps the POST.
    EXPECT_EQ(checkIn.method, "POST");
    EXPECT_EQ(checkIn.contentLength, "0");
    EXPECT_EQ(checkIn.target,
              "/v2/checkins/add?oauth_token=F1&v=20110927&venueId=v1&ll=48.86000,2.30000&llAcc=10.00"
              "&alt=35.00&altAcc=5.00&shout=at%20the%20cafe");
}

TEST_F(SXFoursquareV2Test, SearchesByTheTypedTextOnly) {
    LocationManager::setCurrentLocation(fix(1, 2));
    auto form = openVenues("x");
    ASSERT_TRUE(form && waitForSearch(form));
    const auto before = service_->calls().size();
    form->searchBar()->typeText("   ");
    form->searchBar()->pressSearchButton();
    EXPECT_FALSE(form->request());
    EXPECT_FALSE(form->query());

    form->searchBar()->typeText(" caf\xC3\xA9 au lait\n");
    EXPECT_TRUE(form->searchDisplay()->isActive());
    form->searchBar()->pressSearchButton();
    ASSERT_TRUE(waitForSearch(form));
    ASSERT_EQ(service_->calls().size(), before + 1);
    EXPECT_TRUE(Text::hasSuffix(service_->calls().back().target, "&altAcc=5.00&query=caf%C3%A9%20au%20lait"));
    // The results go to the search table while the search display is up.
    ASSERT_TRUE(form->filteredVenues());
    EXPECT_EQ(form->filteredVenues()->size(), 2u);
    EXPECT_EQ(form->searchDisplay()->searchResultsTableView()->numberOfRowsInSection(0), 2);
    EXPECT_FALSE(form->venues());

    // Cancel ends the share.
    form->cancel();
    EXPECT_EQ(notes_.events, Events{"cancel"});
}

TEST_F(SXFoursquareV2Test, RefusalsBecomeMetaErrorsAnd401AsksForANewSignIn) {
    struct Case {
        const char* name;
        int status;
        std::string body;
        std::int64_t code;
        std::string description;
        bool relogin;
    };
    for (const auto& c : {Case{"refused token", 401, R"({"meta":{"code":401,"errorType":"invalid_auth"}})", 401,
                               "Could not authenticate you. Please relogin.", true},
                          Case{"bad venue", 400, R"({"meta":{"code":400,"errorType":"param_error"}})", 400,
                               "There was an error while sharing", false},
                          Case{"not JSON", 500, "<html>oops</html>", 0, "There was an error while sharing", false}}) {
        notes_.events.clear();
        SX::setAuthValueForKeyForSharer(std::string(kToken), SXFoursquareV2::kAccessTokenKey, "SXFoursquareV2");
        auto s = SXSharer::make<SXFoursquareV2>();
        s->setItem(SXItem::text(std::string("")));
        auto venue = std::make_shared<SXFoursquareV2Venue>();
        venue->venueId = "v1";
        s->setVenue(venue);
        ASSERT_TRUE(s->isAuthorized());
        service_->setReply(c.status, c.body);
        s->startCheckInRequest();
        ASSERT_TRUE(waitForOutcome()) << c.name;
        EXPECT_EQ(notes_.events, (Events{"start", "fail"})) << c.name;
        ASSERT_TRUE(s->lastError()) << c.name;
        EXPECT_EQ(s->lastError()->domain(), SXFoursquareV2Request::kErrorDomain) << c.name;
        EXPECT_EQ(s->lastError()->code(), c.code) << c.name;
        EXPECT_EQ(s->lastError()->localizedDescription(), c.description) << c.name;
        EXPECT_EQ(SXFoursquareV2Request::getFoursquareRelogin(s->lastError()), c.relogin) << c.name;
        // An empty message sends no shout; with no fix the location is zero.
        EXPECT_TRUE(
            Text::hasSuffix(service_->calls().back().target, "&ll=0.00000,0.00000&llAcc=0.00&alt=0.00&altAcc=0.00"))
            << c.name;
        settle();
        // A refused token brings the sign-in page back.
        EXPECT_EQ(std::dynamic_pointer_cast<platform::NavigationController>(presented()) != nullptr, c.relogin)
            << c.name;
        SX::currentHelper()->hideCurrentViewControllerAnimated(false);
        if (auto alert = platform::AlertRegistry::topAlert()) alert->dismissWithClickedButtonIndexAnimated(0, false);
        SX::reset();
    }
}

TEST_F(SXFoursquareV2Test, SignsInThroughTheFragmentOfTheCallback) {
    LocationManager::setCurrentLocation(fix(1, 2));
    std::weak_ptr<SXFoursquareV2> weak = SXSharer::shareText<SXFoursquareV2>("hi");
    settle();
    auto navigation = std::dynamic_pointer_cast<platform::NavigationController>(presented());
    ASSERT_TRUE(navigation);
    auto login = std::dynamic_pointer_cast<SXFoursquareV2OAuthView>(navigation->topViewController());
    ASSERT_TRUE(login);
    EXPECT_EQ(login->webView()->request()->url().absoluteString(),
              service_->url("/oauth2/authenticate") +
                  "?client_id=client%201&response_type=token&redirect_uri=app%3A%2F%2Ffsq");
    EXPECT_TRUE(login->webViewShouldStartLoadWithRequestNavigationType(
        login->webView(), std::make_shared<platform::URLRequest>(*platform::URL::fromString(service_->url("/next"))),
        platform::WebViewNavigationTypeOther));
    EXPECT_TRUE(login->webViewShouldStartLoadWithRequestNavigationType(
        login->webView(),
        std::make_shared<platform::URLRequest>(
            *platform::URL::fromString("https://attacker.example/landing?next=app://fsq#access_token=EVIL")),
        platform::WebViewNavigationTypeOther));
    EXPECT_FALSE(SX::getAuthValueForKeyForSharer(SXFoursquareV2::kAccessTokenKey, "SXFoursquareV2"));
    EXPECT_FALSE(login->webViewShouldStartLoadWithRequestNavigationType(
        login->webView(),
        std::make_shared<platform::URLRequest>(*platform::URL::fromString("app://fsq#access_token=F1&x")),
        platform::WebViewNavigationTypeOther));
    EXPECT_EQ(SX::getAuthValueForKeyForSharer(SXFoursquareV2::kAccessTokenKey, "SXFoursquareV2"), kToken);
    EXPECT_EQ(notes_.events, Events{"auth yes"});
    login.reset();
    navigation.reset();
    ASSERT_TRUE(pumpUntil([&] {
        settle();
        return venuesForm() != nullptr;
    }));
    venuesForm()->cancel();
    settle();
    EXPECT_TRUE(weak.expired());

    // A callback without a token is no sign-in.
    SX::removeAuthValueForKeyForSharer(SXFoursquareV2::kAccessTokenKey, "SXFoursquareV2");
    notes_.events.clear();
    weak = SXSharer::shareText<SXFoursquareV2>("hi");
    settle();
    navigation = std::dynamic_pointer_cast<platform::NavigationController>(presented());
    login = std::dynamic_pointer_cast<SXFoursquareV2OAuthView>(navigation->topViewController());
    login->webViewShouldStartLoadWithRequestNavigationType(
        login->webView(), std::make_shared<platform::URLRequest>(*platform::URL::fromString("app://fsq#error=denied")),
        platform::WebViewNavigationTypeOther);
    EXPECT_EQ(notes_.events, Events{"auth no"});
    EXPECT_EQ(topAlertText(), "Access Error: There was an error while sharing");

    // Logging out forgets the token and the service's sign-in cookies.
    SX::setAuthValueForKeyForSharer(std::string(kToken), SXFoursquareV2::kAccessTokenKey, "SXFoursquareV2");
    auto storage = platform::HTTPCookieStorage::sharedHTTPCookieStorage();
    auto signIn = *platform::URL::fromString(service_->url("/oauth2/authenticate"));
    storage->setCookie(platform::HTTPCookie::cookieFromSetCookieValue("session=s1; Path=/", signIn));
    ASSERT_EQ(storage->cookiesForURL(signIn).size(), 1u);
    SX::logoutOfService("SXFoursquareV2");
    EXPECT_FALSE(SXSharer::isServiceAuthorized<SXFoursquareV2>());
    EXPECT_TRUE(storage->cookiesForURL(signIn).empty());
}

TEST_F(SXFoursquareV2Test, SharesOnlyWhereTheLocationMayBeUsed) {
    struct Case {
        bool servicesOn;
        LocationManager::AuthorizationStatus status;
        bool canShare;
    };
    for (const auto& c : {Case{true, LocationManager::AuthorizationStatusAuthorized, true},
                          Case{true, LocationManager::AuthorizationStatusNotDetermined, true},
                          Case{true, LocationManager::AuthorizationStatusDenied, false},
                          Case{true, LocationManager::AuthorizationStatusRestricted, false},
                          Case{false, LocationManager::AuthorizationStatusAuthorized, false}}) {
        LocationManager::setLocationServicesEnabled(c.servicesOn);
        LocationManager::setAuthorizationStatus(c.status);
        EXPECT_EQ(SXSharer::make<SXFoursquareV2>()->canShare(), c.canShare) << c.servicesOn << " " << c.status;
    }
}

}  // namespace
}  // namespace clipora
