#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "social/graph/GetAccounts.h"
#include "social/graph/GetFanPages.h"
#include "social/graph/GetUserName.h"
#include "social/graph/GetVideo.h"
#include "social/graph/Posting.h"
#include "social/graph/StreamPublish.h"
#include "social/graph/StreamRemove.h"
#include "social/sdk/FBHosts.h"
#include "social/sdk/Facebook.h"
#include "tests/support/TestHome.h"
#include "tools/standin/StandinServer.h"

namespace clipora::test {

// One report of a graph operation to its delegate.
struct GraphReport {
    bool success = false;
    std::optional<platform::Error> error;
    std::optional<std::vector<std::shared_ptr<Video>>> videos;
    std::optional<std::vector<std::shared_ptr<Page>>> pages;
    std::optional<platform::Value> result;
    std::shared_ptr<User> user;
};

// Every graph operation's delegate at once, recording each report in order.
struct GraphRecorder : GetVideoDelegate,
                       StreamPublishDelegate,
                       StreamRemoveDelegate,
                       PostingDelegate,
                       GetAccountsDelegate,
                       GetFanPagesDelegate,
                       GetUserNameDelegate {
    std::vector<GraphReport> reports;

    static GraphReport base(const FBBaseClass& operation) {
        GraphReport report;
        report.success = operation.success();
        if (!operation.success()) report.error = operation.error();
        return report;
    }

    void finishGetVideoVideos(const std::shared_ptr<GetVideo>& op,
                              const std::optional<std::vector<std::shared_ptr<Video>>>& videos) override {
        auto report = base(*op);
        report.videos = videos;
        reports.push_back(std::move(report));
    }
    void finishStreamPublish(const std::shared_ptr<StreamPublish>& op) override {
        auto report = base(*op);
        report.result = op->lastPostID();
        reports.push_back(std::move(report));
    }
    void finishStreamRemove(const std::shared_ptr<StreamRemove>& op) override { reports.push_back(base(*op)); }
    void donePostingResult(const std::shared_ptr<Posting>& op, const std::optional<platform::Value>& result) override {
        auto report = base(*op);
        report.result = result;
        reports.push_back(std::move(report));
    }
    void finishGetAccountsAccounts(const std::shared_ptr<GetAccounts>& op,
                                   const std::optional<std::vector<std::shared_ptr<Page>>>& accounts) override {
        auto report = base(*op);
        report.pages = accounts;
        reports.push_back(std::move(report));
    }
    void finishGetFanPagesFanPages(const std::shared_ptr<GetFanPages>& op,
                                   const std::optional<platform::Value>& fanPages) override {
        auto report = base(*op);
        report.result = fanPages;
        reports.push_back(std::move(report));
    }
    void gotUserNameName(const std::shared_ptr<GetUserName>& op, const std::shared_ptr<User>& user) override {
        auto report = base(*op);
        report.user = user;
        reports.push_back(std::move(report));
    }
};

// The stand-in of the network on loopback, a session signed in as its
// user "me" (100001), the manual clock and a recorder for the reports.
class GraphTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        FBHosts::resetToDefaults();
        server_ = std::make_unique<standin::StandinServer>();
        server_->start();
        session_ = Facebook::initWithAppIdUrlSchemeSuffixAndDelegate("123", "movara", {});
        session_->setAccessToken(server_->accessToken());
        session_->setExpirationDate(platform::Date::distantFuture());
        recorder_ = std::make_shared<GraphRecorder>();
    }
    void TearDown() override {
        recorder_.reset();
        session_.reset();
        server_.reset();
        FBHosts::resetToDefaults();
        PlatformTest::TearDown();
    }

    // Pumps until the recorder holds `count` reports.
    bool waitForReports(std::size_t count, double timeout = 10) {
        return pumpUntil([&] { return recorder_->reports.size() >= count; }, timeout);
    }
    // Pumps until the stand-in holds `count` requests.
    bool waitForHeld(std::size_t count) {
        return pumpUntil([&] { return server_->heldCount() >= count; }, 10);
    }
    std::vector<standin::StandinRequest> fqlQueries() const { return server_->requestsTo("/method/fql.query"); }

    std::unique_ptr<standin::StandinServer> server_;
    std::shared_ptr<Facebook> session_;
    std::shared_ptr<GraphRecorder> recorder_;
};

}  // namespace clipora::test
