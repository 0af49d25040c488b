#include "share/Sharers/SXFlickr.h"

#include <gtest/gtest.h>

#include "platform/cfnetwork/URLRequest.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Switch.h"
#include "platform/uikit/WebView.h"
#include "share/Core/SXItem.h"
#include "share/Sharers/photo/PSFlickrAPIContext.h"
#include "share/Sharers/photo/PSFlickrAPIRequest.h"
#include "share/UI/SXFormController.h"
#include "share/UI/SXFormFieldCell.h"
#include "share/UI/SXOAuthView.h"
#include "tests/share/ShareTest.h"
#include "tests/share/Sharers/ServiceStandIn.h"
#include "tests/share/Sharers/photo/PhotoServiceStandIn.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;
using Service = test::PhotoServiceStandIn;

class SXFlickrTest : public test::ShareTest {
protected:
    void SetUp() override {
        ShareTest::SetUp();
        ca_.emplace(home());
        ca_->trust();
        service_.emplace(*ca_);
        test::StandInConfigurator::install({{"flickrConsumerKey", Service::kKey},
                                            {"flickrSecretKey", Service::kSecret},
                                            {SXFlickr::kRESTAPIEndpointKey, service_->url("/services/rest/")},
                                            {SXFlickr::kAuthEndpointKey, service_->url("/services/auth/")},
                                            {SXFlickr::kUploadEndpointKey, service_->uploadURL()}});
    }
    void TearDown() override {
        service_.reset();
        ca_.reset();
        ShareTest::TearDown();
    }
    static std::shared_ptr<platform::Image> picture() {
        auto bitmap = std::make_shared<platform::Bitmap>(2, 2);
        bitmap->fill({10, 20, 30, 255});
        return platform::Image::imageWithBitmap(bitmap);
    }
    std::shared_ptr<SXFormController> form() const {
        auto sharer = std::dynamic_pointer_cast<SXSharer>(presented());
        return sharer ? std::dynamic_pointer_cast<SXFormController>(sharer->topViewController()) : nullptr;
    }
    // The login page the hub shows (inside a navigation controller).
    std::shared_ptr<SXOAuthView> loginView() const {
        auto navigation = std::dynamic_pointer_cast<platform::NavigationController>(presented());
        return navigation ? std::dynamic_pointer_cast<SXOAuthView>(navigation->topViewController()) : nullptr;
    }
    std::vector<std::string> methods() const {
        std::vector<std::string> list;
        for (const auto& call : service_->calls()) list.push_back(call.method);
        return list;
    }
    // A signed-in sharer whose item came through the share form.
    std::shared_ptr<SXFlickr> formFilledSharer(const std::string& isPublic) {
        SX::setAuthValueForKeyForSharer(std::string(Service::kToken), SXFlickr::kAuthTokenKey, "SXFlickr");
        auto sharer = SXSharer::make<SXFlickr>();
        auto item = SXItem::imageTitle(picture(), std::nullopt);
        item->setCustomValueForKey(platform::Value(isPublic), "is_public");
        sharer->setItem(item);
        return sharer;
    }

    std::optional<test::TestCA> ca_;
    std::optional<Service> service_;
    test::NotificationRecorder notes_;
};

TEST_F(SXFlickrTest, SignsInThroughTheWebPageAndUploadsWithTheFormsValues) {
    std::weak_ptr<SXFlickr> weak = SXSharer::shareImageTitle<SXFlickr>(picture(), std::nullopt);
    settle();
    auto login = loginView();
    ASSERT_TRUE(login);
    // The login page carries the signed permission request.
    EXPECT_TRUE(platform::Text::contains(login->webView()->request()->url().absoluteString(), "perms=write"));
    // A page that only carries the callback in its address is an ordinary
    // page: its frob would sign the user in to another account.
    EXPECT_TRUE(login->webViewShouldStartLoadWithRequestNavigationType(
        login->webView(),
        std::make_shared<platform::URLRequest>(
            *platform::URL::fromString("https://attacker.example/landing?next=app://flickr&frob=ATTACKER")),
        platform::WebViewNavigationTypeOther));
    settle();
    EXPECT_TRUE(methods().empty());
    EXPECT_FALSE(login->webViewShouldStartLoadWithRequestNavigationType(
        login->webView(),
        std::make_shared<platform::URLRequest>(*platform::URL::fromString("app://flickr?frob=frob-1")),
        platform::WebViewNavigationTypeOther));
    ASSERT_TRUE(pumpUntil([&] {
        settle();
        return form() != nullptr;
    }));
    EXPECT_EQ(SX::getAuthValueForKeyForSharer(SXFlickr::kAuthTokenKey, "SXFlickr"), Service::kToken);
    EXPECT_EQ(weak.lock()->flickrUserName(), "pat & co");

    auto f = form();
    ASSERT_EQ(f->sections().front().rows.size(), 6u);
    auto isPublic = std::dynamic_pointer_cast<SXFormFieldCell>(f->tableView()->cellForRowAtIndexPath({0, 3}));
    ASSERT_TRUE(isPublic && isPublic->toggle());
    isPublic->toggle()->setOn(false);
    f->navigationItem()->rightBarButtonItem()->tap();
    ASSERT_TRUE(pumpUntil([&] { return notes_.events.size() >= 3; }));
    EXPECT_EQ(notes_.events, (Events{"auth yes", "start", "finish"}));
    // The name was learnt at sign-in: no token check before the upload.
    EXPECT_EQ(methods(), (std::vector<std::string>{"flickr.auth.getToken", "upload"}));

    auto upload = service_->lastCall();
    EXPECT_TRUE(upload.signatureValid);
    EXPECT_EQ(upload.params["title"], "");
    EXPECT_EQ(upload.params["description"], "");
    EXPECT_EQ(upload.params["is_public"], "0");
    EXPECT_EQ(upload.params["is_friend"], "1");
    EXPECT_EQ(upload.params["is_family"], "1");
    EXPECT_EQ(upload.params["auth_token"], Service::kToken);
    EXPECT_EQ(upload.photoType, "image/jpeg");
    EXPECT_EQ(upload.photo.substr(0, 2), "\xFF\xD8");
    EXPECT_TRUE(weak.expired());
}

TEST_F(SXFlickrTest, ChecksTheTokenFirstAndMapsRefusals) {
    struct Case {
        const char* name;
        bool tokenValid;
        bool uploadRefused;
        std::vector<std::string> methods;
        Events events;
        std::string alert;
        bool tokenKept;
    };
    for (const auto& c :
         {Case{"sent", true, false, {"flickr.auth.checkToken", "upload"}, {"start", "finish"}, "", true},
          Case{"token refused", false, false, {"flickr.auth.checkToken"}, {"fail"}, "Error: Invalid auth token", false},
          Case{"upload refused",
               true,
               true,
               {"flickr.auth.checkToken", "upload"},
               {"start", "fail"},
               "Error: Filetype was not recognised",
               true}}) {
        notes_.events.clear();
        service_->setTokenValid(c.tokenValid);
        service_->setUploadRefused(c.uploadRefused);
        const auto before = service_->calls().size();
        auto sharer = formFilledSharer("0");
        ASSERT_TRUE(sharer->tryToSend()) << c.name;
        ASSERT_TRUE(pumpUntil([&] {
            return notes_.events.size() == c.events.size() && notes_.events.back() != "start";
        })) << c.name;
        std::vector<std::string> seen;
        auto calls = service_->calls();
        for (auto i = before; i < calls.size(); ++i) seen.push_back(calls[i].method);
        EXPECT_EQ(seen, c.methods) << c.name;
        EXPECT_EQ(notes_.events, c.events) << c.name;
        EXPECT_EQ(topAlertText(), c.alert) << c.name;
        EXPECT_EQ(SX::getAuthValueForKeyForSharer(SXFlickr::kAuthTokenKey, "SXFlickr").has_value(), c.tokenKept)
            << c.name;
        if (c.methods.size() == 2) {
            // No title and no tags, yet the privacy switch goes.
            auto upload = service_->lastCall();
            EXPECT_FALSE(upload.params.contains("title"));
            EXPECT_FALSE(upload.params.contains("tags"));
            EXPECT_EQ(upload.params["description"], "");
            EXPECT_EQ(upload.params["is_public"], "0");
        }
        if (auto alert = platform::AlertRegistry::topAlert()) alert->dismissWithClickedButtonIndexAnimated(0, false);
    }

    // Before the share form there is nothing to send.
    auto sharer = formFilledSharer("1");
    sharer->item()->setCustomValueForKey(std::nullopt, "is_public");
    EXPECT_FALSE(sharer->send());

    // A connection that cannot be made is a failure too.
    notes_.events.clear();
    sharer = formFilledSharer("1");
    sharer->flickrContext()->setRESTAPIEndpoint("https://127.0.0.1:1/services/rest/");
    ASSERT_TRUE(sharer->tryToSend());
    ASSERT_TRUE(pumpUntil([&] { return !notes_.events.empty(); }));
    EXPECT_EQ(notes_.events, Events{"fail"});
    EXPECT_EQ(sharer->lastError()->code(), PSFlickrAPIRequest::kConnectionErrorCode);
    EXPECT_EQ(sharer->lastError()->localizedDescription(), "Network connection error");
}

TEST_F(SXFlickrTest, AFailedOrCancelledLoginEndsTheAttempt) {
    for (bool cancel : {true, false}) {
        notes_.events.clear();
        std::weak_ptr<SXFlickr> weak = SXSharer::shareImageTitle<SXFlickr>(picture(), std::string("Pic"));
        settle();
        auto login = loginView();
        ASSERT_TRUE(login);
        if (cancel) {
            login->cancel();
        } else {
            login->webViewDidFailLoadWithError(login->webView(), platform::Error("NSURLErrorDomain", -1004));
        }
        EXPECT_EQ(notes_.events, Events{"auth no"}) << cancel;
        EXPECT_EQ(
            topAlertText(),
            cancel ? "" : "Authorize Error: The operation couldn't be completed. (NSURLErrorDomain error -1004.)");
        if (auto alert = platform::AlertRegistry::topAlert()) alert->dismissWithClickedButtonIndexAnimated(0, false);
        login.reset();
        settle();
        EXPECT_TRUE(weak.expired()) << cancel;
    }
    // Logging out forgets the token.
    SX::setAuthValueForKeyForSharer(std::string(Service::kToken), SXFlickr::kAuthTokenKey, "SXFlickr");
    EXPECT_TRUE(SXSharer::isServiceAuthorized<SXFlickr>());
    SX::logoutOfService("SXFlickr");
    EXPECT_FALSE(SXSharer::isServiceAuthorized<SXFlickr>());
}

}  // namespace
}  // namespace clipora
