#include "social/sdk/FBFrictionlessRequestSettings.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/InvalidArgumentException.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"
#include "tests/social/sdk/SdkTest.h"

namespace clipora {
namespace {

using platform::Value;

class FBFrictionlessRequestSettingsTest : public test::SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        session_ = Facebook::initWithAppIdAndDelegate("123", {});
        settings_ = session_->frictionlessRequestSettings();
    }

    static Value reply(std::initializer_list<Value> ids) {
        Value::Array records;
        for (const auto& id : ids) records.push_back(Value::makeDictionary({{"recipient_id", id}}));
        return Value::makeDictionary({{"data", Value(std::move(records))}});
    }

    std::shared_ptr<Facebook> session_;
    std::shared_ptr<FBFrictionlessRequestSettings> settings_;
};

TEST_F(FBFrictionlessRequestSettingsTest, ReloadFillsTheCache) {
    settings_->reloadRecipientCacheWithFacebook(session_);
    auto request = settings_->activeRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->url(), FBHosts::current().graphBaseURL() + "me/apprequestformerrecipients");
    EXPECT_EQ(request->httpMethod(), "GET");
    settings_->requestDidLoad(request, reply({Value("1"), Value(2), Value::makeArray()}));
    EXPECT_FALSE(settings_->activeRequest());
    EXPECT_EQ(settings_->allowedRecipients(), (std::vector<std::string>{"1", "2"}));

    EXPECT_TRUE(settings_->isFrictionlessEnabledForRecipient(" \t1 "));
    EXPECT_FALSE(settings_->isFrictionlessEnabledForRecipient("3"));
    EXPECT_TRUE(settings_->isFrictionlessEnabledForRecipients({Value(2), Value("1")}));
    EXPECT_FALSE(settings_->isFrictionlessEnabledForRecipients({Value(2), Value("3")}));
    EXPECT_TRUE(settings_->isFrictionlessEnabledForRecipients({}));
    try {
        settings_->isFrictionlessEnabledForRecipients({Value(1), Value()});
        FAIL() << "no exception";
    } catch (const platform::InvalidArgumentException& e) {
        EXPECT_EQ(e.reason(), "items in fbids must be NSString or NSNumber");
        EXPECT_EQ(e.userInfo().at("invalid class"), Value("NSNull"));
    }
}

TEST_F(FBFrictionlessRequestSettingsTest, OnlyTheNewestReloadCounts) {
    settings_->updateRecipientCacheWithRecipients({"7"});
    settings_->reloadRecipientCacheWithFacebook(session_);
    auto older = settings_->activeRequest();
    settings_->reloadRecipientCacheWithFacebook(session_);
    auto newer = settings_->activeRequest();
    ASSERT_NE(older, newer);
    // The dropped reload is cancelled and leaves the session.
    EXPECT_EQ(older->state(), FBRequest::StateComplete);
    EXPECT_EQ(session_->requests().count(older), 0u);

    settings_->requestDidLoad(older, reply({Value("1")}));
    EXPECT_EQ(settings_->allowedRecipients(), std::vector<std::string>{"7"});
    // A reply of another shape counts as a failed reload.
    settings_->requestDidLoad(newer, Value::makeArray({Value("1")}));
    EXPECT_EQ(settings_->allowedRecipients(), std::vector<std::string>{"7"});
    EXPECT_FALSE(settings_->activeRequest());

    // Logout empties the cache; a reply that comes afterwards is ignored.
    settings_->reloadRecipientCacheWithFacebook(session_);
    auto late = settings_->activeRequest();
    session_->logout();
    EXPECT_TRUE(settings_->allowedRecipients().empty());
    EXPECT_FALSE(settings_->activeRequest());
    EXPECT_EQ(late->state(), FBRequest::StateComplete);
    settings_->requestDidLoad(late, reply({Value("9")}));
    EXPECT_TRUE(settings_->allowedRecipients().empty());
}

TEST_F(FBFrictionlessRequestSettingsTest, EnablingReloadsOnce) {
    EXPECT_FALSE(session_->isFrictionlessRequestsEnabled());
    session_->enableFrictionlessRequests();
    session_->enableFrictionlessRequests();
    EXPECT_TRUE(session_->isFrictionlessRequestsEnabled());
    EXPECT_EQ(session_->requests().size(), 1u);
    settings_->requestDidFailWithError(settings_->activeRequest(), platform::Error("x", 1));
    EXPECT_FALSE(settings_->activeRequest());
}

}  // namespace
}  // namespace clipora
