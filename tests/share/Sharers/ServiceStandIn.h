#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/uikit/TableView.h"
#include "share/Core/LegacySXConfigurator.h"
#include "share/Core/SXConfiguration.h"
#include "share/UI/SXFormController.h"
#include "share/UI/SXFormFieldCell.h"
#include "share/UI/SXFormFieldSettings.h"
#include "tests/share/ShareTest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Pump.h"
#include "tests/support/TestCA.h"

namespace clipora::test {

// A service played on 127.0.0.1 over TLS (the test CA): it records every
// request and answers each path with the reply a test scripted (200 and no
// text when none).
class ServiceStandIn {
public:
    struct Seen {
        std::string method, path, body;
        std::multimap<std::string, std::string> params;  // query and form fields, decoded
        httplib::Headers headers;
        std::multimap<std::string, httplib::MultipartFormData> parts;  // a multipart body, by name
        std::string param(const std::string& name) const {
            auto it = params.find(name);
            return it == params.end() ? std::string("<none>") : it->second;
        }
        std::string header(const std::string& name) const {
            auto it = headers.find(name);
            return it == headers.end() ? std::string("<none>") : it->second;
        }
    };
    struct Reply {
        int status = 200;
        std::string body;
        std::map<std::string, std::string> headers;
    };

    explicit ServiceStandIn(const std::filesystem::path& home)
        : ca_(home / "tls"), server_(ca_.server().certificateFile, ca_.server().privateKeyFile) {
        ca_.trust();
        auto handle = [this](const httplib::Request& request, httplib::Response& response) {
            Reply reply;
            {
                std::lock_guard lock(mutex_);
                Seen seen{request.method, request.path, request.body, {}, request.headers, {}};
                for (const auto& [name, value] : request.params) seen.params.emplace(name, value);
                for (const auto& [name, part] : request.files) seen.parts.emplace(name, part);
                seen_.push_back(std::move(seen));
                if (auto it = replies_.find(request.path); it != replies_.end()) reply = it->second;
            }
            response.status = reply.status;
            for (const auto& [name, value] : reply.headers) response.set_header(name, value);
            response.set_content(reply.body, "text/plain");
        };
        server_.server().set_keep_alive_max_count(1);
        server_.server().Get(".*", handle);
        server_.server().Post(".*", handle);
        server_.start();
    }

    // The base address a sharer is configured with.
    std::string base() const { return server_.url(""); }
    void reply(const std::string& path, Reply reply) {
        std::lock_guard lock(mutex_);
        replies_[path] = std::move(reply);
    }
    std::vector<Seen> seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    Seen last() const {
        std::lock_guard lock(mutex_);
        return seen_.empty() ? Seen{} : seen_.back();
    }
    std::size_t count() const {
        std::lock_guard lock(mutex_);
        return seen_.size();
    }
    void clear() {
        std::lock_guard lock(mutex_);
        seen_.clear();
    }

private:
    TestCA ca_;
    LoopbackServer server_;
    mutable std::mutex mutex_;
    std::vector<Seen> seen_;
    std::map<std::string, Reply> replies_;
};

// The legacy configuration with the test's own values (service addresses,
// keys).
class StandInConfigurator : public LegacySXConfigurator {
public:
    explicit StandInConfigurator(const std::map<std::string, std::string>& values) {
        for (const auto& [key, value] : values) mutableConfiguration()[key] = platform::Value(value);
    }
    // Puts one in force, in place of the configuration there is.
    static void install(const std::map<std::string, std::string>& values) {
        SXConfiguration::resetSharedInstance();
        SXConfiguration::sharedInstanceWithConfigurator(std::make_shared<StandInConfigurator>(values));
    }
};

// A share test against one stand-in service, configured under the keys.
class SharerTest : public ShareTest {
protected:
    void configure(std::map<std::string, std::string> values) {
        SXConfiguration::sharedInstanceWithConfigurator(std::make_shared<StandInConfigurator>(values));
    }
    // The form on top of what the hub presents (inside a navigation or not).
    std::shared_ptr<SXFormController> form() const {
        auto top = presented();
        if (auto navigation = std::dynamic_pointer_cast<platform::NavigationController>(top)) {
            return std::dynamic_pointer_cast<SXFormController>(navigation->topViewController());
        }
        return std::dynamic_pointer_cast<SXFormController>(top);
    }
    // Types the values into the rows of the form's first section by key.
    static void fill(const std::shared_ptr<SXFormController>& form, const std::map<std::string, std::string>& values) {
        const auto& rows = form->sections().at(0).rows;
        for (std::size_t row = 0; row < rows.size(); ++row) {
            auto it = values.find(rows[row]->key());
            if (it == values.end()) continue;
            auto cell = std::dynamic_pointer_cast<SXFormFieldCell>(
                form->tableView()->cellForRowAtIndexPath({0, static_cast<int>(row)}));
            ASSERT_TRUE(cell) << it->first;
            cell->setValue(it->second);
        }
    }
    static std::vector<std::string> keysOf(const std::shared_ptr<SXFormController>& form) {
        std::vector<std::string> keys;
        for (const auto& row : form->sections().at(0).rows) keys.push_back(row->key());
        return keys;
    }
    // Sends the item through the sharer (its login stored) and waits for
    // the outcome.
    void sendNow(const std::shared_ptr<SXSharer>& sharer, const std::shared_ptr<SXItem>& item) {
        notes_.events.clear();
        platform::AlertRegistry::reset();
        sharer->setItem(item);
        ASSERT_TRUE(sharer->tryToSend());
        ASSERT_TRUE(pumpUntil([&] { return !notes_.events.empty() && notes_.events.back() != "start"; }, 10));
    }
    // The share started and finished, or failed with the alert (`alert`
    // not empty); a refused login brings the login form back. Clears the
    // screens for the next case.
    void expectOutcome(const std::string& alert, bool relogin) {
        EXPECT_EQ(notes_.events, (std::vector<std::string>{"start", alert.empty() ? "finish" : "fail"}));
        if (!alert.empty()) {
            EXPECT_EQ(topAlertText(), "Error: " + alert);
        }
        EXPECT_EQ(form() != nullptr, relogin);
        SX::currentHelper()->hideCurrentViewControllerAnimated(false);
        settle();
    }
    // Pumps until the recorder saw `count` events.
    bool waitForEvents(std::size_t count, double seconds = 10) {
        return pumpUntil([&] { return notes_.events.size() >= count; }, seconds);
    }

    // The stand-in, started in SetUp (the test's home holds its keys).
    void SetUp() override {
        ShareTest::SetUp();
        standIn_ = std::make_unique<ServiceStandIn>(home());
    }
    void TearDown() override {
        // A form still on screen holds its share open (the sharer keeps
        // itself until the user is done): cancel it, as a user would.
        for (int i = 0; i < 4 && form(); ++i) {
            form()->cancel();
            settle();
        }
        standIn_.reset();
        ShareTest::TearDown();
    }
    ServiceStandIn& service() { return *standIn_; }

    NotificationRecorder notes_;
    std::unique_ptr<ServiceStandIn> standIn_;
};

}  // namespace clipora::test
