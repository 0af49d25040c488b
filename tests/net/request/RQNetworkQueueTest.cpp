#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/request/RQError.h"
#include "net/request/RQFormDataRequest.h"
#include "net/request/RQNetworkQueue.h"
#include "platform/foundation/BlockOperation.h"
#include "platform/foundation/Exception.h"
#include "tests/net/request/RequestTestSupport.h"

namespace clipora::test {
namespace {

using platform::Data;
using platform::URL;

class NetworkQueueTest : public RequestTest {
protected:
    void SetUp() override {
        RequestTest::SetUp();
        auto& s = server_.server();
        s.Get(R"(/size/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            log(req);
            res.set_content(std::string(std::stoul(req.matches[1]), 'q'), "application/octet-stream");
        });
        // Held until the test lets it go.
        s.Get(R"(/hold/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            log(req);
            std::unique_lock lock(mutex_);
            ++inFlight_;
            maxInFlight_ = std::max(maxInFlight_, inFlight_);
            released_.wait(lock, [&] { return releases_ > 0 || releaseAll_; });
            if (!releaseAll_) --releases_;
            --inFlight_;
            res.set_content("held", "text/plain");
        });
        s.Get("/moved", [this](const httplib::Request& req, httplib::Response& res) {
            log(req);
            res.set_redirect("/size/5");
        });
        s.Post("/post", [this](const httplib::Request& req, httplib::Response& res) {
            log(req);
            res.set_content("posted", "text/plain");
        });
        server_.start();

        delegate_ = std::make_shared<RequestRecorder>("queue");
        queue_ = RQNetworkQueue::queue();
        queue_->setDelegate(delegate_);
        queue_->setRequestDidStartSelector([](RQHTTPRequestDelegate& d, RQHTTPRequest& r) {
            static_cast<RequestRecorder&>(d).add("start " + r.url()->path());
        });
        queue_->setRequestDidFinishSelector([](RQHTTPRequestDelegate& d, RQHTTPRequest& r) {
            static_cast<RequestRecorder&>(d).add("finish " + r.url()->path());
        });
        queue_->setRequestDidFailSelector([](RQHTTPRequestDelegate& d, RQHTTPRequest& r) {
            static_cast<RequestRecorder&>(d).add("fail " + r.url()->path());
        });
        queue_->setQueueDidFinishSelector([this](RQHTTPRequestDelegate& d, RQNetworkQueue& q) {
            EXPECT_EQ(&q, queue_.get());
            static_cast<RequestRecorder&>(d).add("queue finished");
        });
    }

    void TearDown() override {
        // Whatever is left is cancelled and run out, so that no request
        // outlives the test holding its queue.
        releaseAll();
        queue_->cancelAllOperations();
        queue_->go();
        pumpUntil([&] { return queue_->operationCount() == 0; });
        RequestTest::TearDown();
    }

    void log(const httplib::Request& req) {
        std::lock_guard lock(mutex_);
        log_.push_back(req.method + " " + req.path);
    }

    std::vector<std::string> serverLog() {
        std::lock_guard lock(mutex_);
        return log_;
    }

    int inFlight() {
        std::lock_guard lock(mutex_);
        return inFlight_;
    }

    int maxInFlight() {
        std::lock_guard lock(mutex_);
        return maxInFlight_;
    }

    void releaseOne() {
        std::lock_guard lock(mutex_);
        ++releases_;
        released_.notify_all();
    }

    void releaseAll() {
        std::lock_guard lock(mutex_);
        releaseAll_ = true;
        released_.notify_all();
    }

    std::shared_ptr<RQHTTPRequest> request(const std::string& path) {
        return RQHTTPRequest::requestWithURL(URL::fromString(server_.url(path)));
    }

    bool waitForQueueToFinish() {
        return pumpUntil([&] { return delegate_->saw("queue:queue finished") && queue_->operationCount() == 0; });
    }

    LoopbackServer server_;
    std::mutex mutex_;
    std::condition_variable released_;
    int releases_ = 0;
    bool releaseAll_ = false;
    int inFlight_ = 0;
    int maxInFlight_ = 0;
    std::vector<std::string> log_;
    std::shared_ptr<RequestRecorder> delegate_;
    std::shared_ptr<RQNetworkQueue> queue_;
};

TEST_F(NetworkQueueTest, RunsNothingUntilGoThenReportsEveryRequestAndTheEnd) {
    auto a = request("/size/10");
    auto b = request("/size/20");
    queue_->addOperation(a);
    queue_->addOperation(b);
    EXPECT_EQ(queue_->requestsCount(), 2);
    pumpPending();
    EXPECT_TRUE(queue_->isSuspended());
    EXPECT_FALSE(a->isExecuting());
    EXPECT_EQ(serverLog(), std::vector<std::string>{});

    queue_->go();
    ASSERT_TRUE(waitForQueueToFinish());
    EXPECT_EQ(queue_->requestsCount(), 0);
    EXPECT_EQ(delegate_->count("queue:finish /size/10"), 1u);
    EXPECT_EQ(delegate_->count("queue:finish /size/20"), 1u);
    EXPECT_EQ(delegate_->count("queue:start /size/10"), 1u);
    EXPECT_EQ(delegate_->count("queue:queue finished"), 1u);
    EXPECT_EQ(delegate_->events().back(), "queue:queue finished");
    EXPECT_EQ(text(b->responseData()), std::string(20, 'q'));
}

TEST_F(NetworkQueueTest, AccurateProgressSendsAHeadRequestAheadOfEachGetAddedBeforeGo) {
    auto progress = std::make_shared<RequestRecorder>("download");
    queue_->setShowAccurateProgress(true);
    queue_->setDownloadProgressDelegate(progress);
    ASSERT_EQ(progress->progressValues, std::vector<float>{0.0f}) << "a new progress delegate starts at 0";
    queue_->addOperation(request("/size/1000"));
    queue_->addOperation(request("/size/3000"));
    EXPECT_EQ(queue_->operationCount(), 4u) << "two HEAD requests beside the two GETs";
    EXPECT_EQ(queue_->requestsCount(), 2) << "HEAD requests are not counted";

    queue_->go();
    ASSERT_TRUE(waitForQueueToFinish());
    auto log = serverLog();
    for (const std::string path : {"/size/1000", "/size/3000"}) {
        auto head = std::find(log.begin(), log.end(), "HEAD " + path);
        auto get = std::find(log.begin(), log.end(), "GET " + path);
        ASSERT_NE(head, log.end()) << path;
        ASSERT_NE(get, log.end()) << path;
        EXPECT_LT(head, get) << path;
    }
    EXPECT_EQ(queue_->bytesDownloadedSoFar(), 4000u);
    EXPECT_EQ(queue_->totalBytesToDownload(), 4000u);
    EXPECT_EQ(progress->progressValues.back(), 1.0f);
    for (float value : progress->progressValues) EXPECT_LE(value, 1.0f);

    // Added after go: no HEAD request; its size comes with its own answer.
    queue_->addOperation(request("/size/500"));
    ASSERT_TRUE(pumpUntil([&] { return delegate_->count("queue:queue finished") == 2; }));
    log = serverLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "GET /size/500"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "HEAD /size/500"), 0);
    EXPECT_EQ(queue_->totalBytesToDownload(), 4500u);
    EXPECT_EQ(queue_->bytesDownloadedSoFar(), 4500u);
}

TEST_F(NetworkQueueTest, WithoutAccurateProgressEachRequestIsOneUnit) {
    auto progress = std::make_shared<RequestRecorder>("download");
    queue_->setDownloadProgressDelegate(progress);
    for (const char* path : {"/size/100", "/size/200", "/size/300"}) queue_->addOperation(request(path));
    EXPECT_EQ(queue_->totalBytesToDownload(), 3u);
    EXPECT_EQ(queue_->totalBytesToUpload(), 3u);
    queue_->go();
    ASSERT_TRUE(waitForQueueToFinish());
    EXPECT_EQ(queue_->bytesDownloadedSoFar(), 3u);
    EXPECT_EQ(progress->progressValues.back(), 1.0f);
    auto log = serverLog();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& e) { return e.rfind("HEAD", 0) == 0; }), 0);
}

TEST_F(NetworkQueueTest, UploadProgressAddsUpOverTheQueue) {
    auto progress = std::make_shared<RequestRecorder>("upload");
    queue_->setShowAccurateProgress(true);
    queue_->setUploadProgressDelegate(progress);
    std::uint64_t lengths = 0;
    for (std::size_t size : {40000u, 250000u}) {
        auto form = RQFormDataRequest::requestWithURL(URL::fromString(server_.url("/post")));
        form->addDataForKey(Data(size, 'u'), "file");
        queue_->addOperation(form);
        EXPECT_EQ(form->requestMethod(), "POST") << "the body was built when added";
        lengths += form->postLength();
    }
    EXPECT_EQ(queue_->totalBytesToUpload(), lengths);
    queue_->go();
    ASSERT_TRUE(waitForQueueToFinish());
    EXPECT_EQ(queue_->bytesUploadedSoFar(), queue_->totalBytesToUpload());
    EXPECT_GT(queue_->bytesUploadedSoFar(), 0u);
    EXPECT_EQ(progress->progressValues.back(), 1.0f);
    EXPECT_EQ(delegate_->count("queue:finish /post"), 2u);
}

TEST_F(NetworkQueueTest, RespectsItsWidth) {
    queue_->setMaxConcurrentOperationCount(2);
    for (int i = 0; i < 5; ++i) queue_->addOperation(request("/hold/" + std::to_string(i)));
    queue_->go();
    for (int finished = 0; finished < 5; ++finished) {
        const int expected = std::min(2, 5 - finished);
        ASSERT_TRUE(pumpUntil([&] { return inFlight() == expected; })) << "after " << finished;
        EXPECT_LE(maxInFlight(), 2);
        releaseOne();
        ASSERT_TRUE(pumpUntil([&] {
            return delegate_->count("queue:finish /hold/0") + delegate_->count("queue:finish /hold/1") +
                       delegate_->count("queue:finish /hold/2") + delegate_->count("queue:finish /hold/3") +
                       delegate_->count("queue:finish /hold/4") ==
                   static_cast<std::size_t>(finished + 1);
        }));
    }
    ASSERT_TRUE(waitForQueueToFinish());
    EXPECT_EQ(maxInFlight(), 2);
}

TEST_F(NetworkQueueTest, OneFailureCancelsTheRestOrNot) {
    std::string deadURL;
    {
        LoopbackServer dead;
        dead.start();
        deadURL = dead.url("/dead");
    }
    for (bool cancelOnFailure : {true, false}) {
        SCOPED_TRACE(cancelOnFailure ? "cancel on failure" : "carry on");
        delegate_ = std::make_shared<RequestRecorder>("queue");
        queue_->setDelegate(delegate_);
        queue_->setShouldCancelAllRequestsOnFailure(cancelOnFailure);
        auto held1 = request("/hold/1");
        auto held2 = request("/hold/2");
        auto failing = RQHTTPRequest::requestWithURL(URL::fromString(deadURL));
        queue_->addOperation(held1);
        queue_->addOperation(held2);
        queue_->go();
        ASSERT_TRUE(pumpUntil([&] { return inFlight() == 2; }));
        queue_->addOperation(failing);
        ASSERT_TRUE(pumpUntil([&] { return delegate_->saw("queue:fail /dead"); }));
        if (cancelOnFailure) {
            ASSERT_TRUE(waitForQueueToFinish());
            EXPECT_EQ(delegate_->count("queue:fail /hold/1"), 1u);
            EXPECT_EQ(delegate_->count("queue:fail /hold/2"), 1u);
            ASSERT_TRUE(held1->error());
            EXPECT_EQ(held1->error()->code(), RQError::kRequestCancelled);
            EXPECT_EQ(queue_->bytesDownloadedSoFar(), 0u);
            releaseOne();
            releaseOne();
        } else {
            EXPECT_FALSE(delegate_->saw("queue:queue finished"));
            releaseOne();
            releaseOne();
            ASSERT_TRUE(waitForQueueToFinish());
            EXPECT_EQ(delegate_->count("queue:finish /hold/1"), 1u);
            EXPECT_EQ(delegate_->count("queue:finish /hold/2"), 1u);
        }
        EXPECT_EQ(delegate_->count("queue:queue finished"), 1u);
        EXPECT_EQ(delegate_->events().back(), "queue:queue finished");
        EXPECT_EQ(queue_->requestsCount(), 0);
        ASSERT_EQ(failing->error()->code(), RQError::kConnectionFailure);
        ASSERT_TRUE(pumpUntil([&] { return inFlight() == 0; }));
    }
}

TEST_F(NetworkQueueTest, TakesPartInRedirectsAndAuthenticationOnlyThroughItsDelegate) {
    EXPECT_FALSE(queue_->respondsToAuthenticationNeeded());
    EXPECT_FALSE(queue_->respondsToProxyAuthenticationNeeded());
    EXPECT_FALSE(queue_->respondsToWillRedirectToURL()) << "no redirect selector";
    delegate_->onAuthentication = [](RQHTTPRequest&) {};
    EXPECT_TRUE(queue_->respondsToAuthenticationNeeded());
    EXPECT_FALSE(queue_->respondsToProxyAuthenticationNeeded());
    queue_->setRequestWillRedirectSelector([](RQHTTPRequestDelegate&, RQHTTPRequest&, const URL&) {});
    EXPECT_TRUE(queue_->respondsToWillRedirectToURL());

    auto request = RQHTTPRequest::requestWithURL(URL::fromString("http://127.0.0.1:1/x"));
    queue_->authenticationNeededForRequest(*request);
    EXPECT_TRUE(delegate_->saw("queue:authenticationNeeded"));

    // A request without a delegate of its own waits for the queue's
    // delegate to decide on a redirect.
    std::vector<std::string> decided;
    queue_->setRequestWillRedirectSelector([&](RQHTTPRequestDelegate&, RQHTTPRequest& r, const URL& target) {
        decided.push_back(target.path());
        r.redirectToURL(*URL::fromString(server_.url("/size/7")));
    });
    auto moved = this->request("/moved");
    queue_->addOperation(moved);
    queue_->go();
    ASSERT_TRUE(waitForQueueToFinish());
    EXPECT_EQ(decided, std::vector<std::string>{"/size/5"});
    EXPECT_EQ(text(moved->responseData()), std::string(7, 'q')) << "the delegate's choice was followed";

    queue_->reset();
    EXPECT_TRUE(queue_->isSuspended());
    EXPECT_FALSE(queue_->delegate());
    EXPECT_FALSE(queue_->requestDidFinishSelector());
    EXPECT_FALSE(queue_->queueDidFinishSelector());
    EXPECT_TRUE(queue_->requestWillRedirectSelector()) << "reset keeps the redirect selector";
    EXPECT_FALSE(queue_->respondsToWillRedirectToURL()) << "but without a delegate it does not answer";
}

TEST_F(NetworkQueueTest, AcceptsOnlyRequestsAndCopiesItsSettings) {
    auto block = std::make_shared<platform::BlockOperation>();
    try {
        queue_->addOperation(block);
        FAIL() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), "AttemptToAddInvalidRequest");
        EXPECT_EQ(e.reason(), "Attempted to add an object that was not an RQHTTPRequest to an RQNetworkQueue");
    }
    EXPECT_EQ(queue_->requestsCount(), 0);

    queue_->setShowAccurateProgress(true);
    queue_->setShouldCancelAllRequestsOnFailure(false);
    queue_->setUserInfo(platform::Value::makeDictionary({{"k", "v"}}));
    queue_->addOperation(request("/size/1"));
    auto copy = queue_->copy();
    EXPECT_EQ(copy->delegate(), delegate_);
    EXPECT_TRUE(copy->requestDidFinishSelector());
    EXPECT_TRUE(copy->queueDidFinishSelector());
    EXPECT_TRUE(copy->showAccurateProgress());
    EXPECT_FALSE(copy->shouldCancelAllRequestsOnFailure());
    EXPECT_EQ(copy->userInfo(), queue_->userInfo());
    EXPECT_EQ(copy->requestsCount(), 0);
    EXPECT_EQ(copy->operationCount(), 0u);
    EXPECT_TRUE(copy->isSuspended());
    EXPECT_EQ(copy->maxConcurrentOperationCount(), 4);
}

}  // namespace
}  // namespace clipora::test
