#include "share/Core/SXRequest.h"

#include <mutex>

#include <gtest/gtest.h>

#include "share/Core/SXCategories.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestHome.h"

namespace clipora {
namespace {

class SXRequestTest : public test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        auto record = [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex_);
            method_ = request.method;
            body_ = request.body;
            contentLength_ = request.get_header_value("Content-Length");
            auto status = request.get_param_value("status");
            response.status = status.empty() ? 200 : std::stoi(status);
            response.set_content(request.has_param("big") ? std::string(64 * 1024, 'x') : "r\xC3\xA9ply", "text/plain");
        };
        server_.server().set_keep_alive_max_count(1);  // no idle connection to wait for at the end
        server_.server().Get("/echo", record);
        server_.server().Post("/echo", record);
        server_.start();
    }
    void TearDown() override {
        SXRequest::setMaxResponseLength(SXRequest::kDefaultMaxResponseLength);
        PlatformTest::TearDown();
    }
    std::shared_ptr<SXRequest> run(const std::string& query, std::optional<std::string> body,
                                   const std::string& method) {
        finished_.reset();
        auto request = SXRequest::initWithURLParamsDelegateIsFinishedSelectorMethodAutostart(
            *platform::URL::fromString(server_.url("/echo" + query)), std::move(body), owner_,
            [this](const std::shared_ptr<SXRequest>& r) { finished_ = r; }, method, true);
        EXPECT_TRUE(pumpUntil([this] { return finished_ != nullptr; }));
        return request;
    }

    test::LoopbackServer server_;
    std::mutex mutex_;
    std::string method_, body_, contentLength_;
    std::shared_ptr<int> owner_ = std::make_shared<int>(0);
    std::shared_ptr<SXRequest> finished_;
};

TEST_F(SXRequestTest, SuccessIsStatus200Or201) {
    for (auto [status, success] : {std::pair{200, true}, {201, true}, {204, false}, {302, false}, {404, false}}) {
        auto request = run("?status=" + std::to_string(status), std::nullopt, "GET");
        EXPECT_EQ(request->success(), success) << status;
    }
}

TEST_F(SXRequestTest, OnlyAMissingBodyMeansGet) {
    auto request = run("", std::string(), "POST");
    EXPECT_TRUE(request->success());
    EXPECT_EQ(method_, "POST");
    EXPECT_EQ(contentLength_, "0");

    run("", std::nullopt, "POST");
    EXPECT_EQ(method_, "GET");

    // The whole UTF-8 text is sent: "é" is two bytes.
    request = run("", std::string("a=\xC3\xA9"), "POST");
    EXPECT_EQ(method_, "POST");
    EXPECT_EQ(body_, "a=\xC3\xA9");
    EXPECT_EQ(contentLength_, "4");
    EXPECT_EQ(request->getResult(), "r\xC3\xA9ply");
}

TEST_F(SXRequestTest, RepliesBeyondTheCapFail) {
    SXRequest::setMaxResponseLength(1024);
    auto request = run("?big=1", std::nullopt, "GET");
    EXPECT_FALSE(request->success());
    EXPECT_TRUE(request->tooLarge());
    EXPECT_LE(request->data().size(), 1024u);
}

TEST(SXCategoriesTest, MD5) {
    EXPECT_EQ(SXCategories::md5({}), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(SXCategories::md5({'a', 'b', 'c'}), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
}  // namespace clipora
