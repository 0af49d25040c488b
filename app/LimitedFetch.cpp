#include "app/LimitedFetch.h"

#include <string>

#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLConnectionDelegate.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"

namespace clipora {

using namespace platform;

namespace {

// Not a std::string at namespace scope: fetches run on queue workers that
// may still turn their loop while statics are destroyed at exit.
constexpr const char* kFetchMode = "LimitedFetchMode";

class FetchDelegate : public URLConnectionDelegate {
public:
    explicit FetchDelegate(std::size_t limit) : limit_(limit) {}

    void connectionDidReceiveResponse(const std::shared_ptr<URLConnection>& connection,
                                      const std::shared_ptr<HTTPURLResponse>& response) override {
        result.response = response;
        result.body = Data();
        const auto announced = response ? response->expectedContentLength() : -1;
        if (announced > 0 && static_cast<std::uint64_t>(announced) > limit_) tooLarge(connection);
    }

    void connectionDidReceiveData(const std::shared_ptr<URLConnection>& connection, const Data& data) override {
        if (!result.body) result.body = Data();
        if (result.body->size() + data.size() > limit_) return tooLarge(connection);
        result.body->insert(result.body->end(), data.begin(), data.end());
    }

    void connectionDidFinishLoading(const std::shared_ptr<URLConnection>&) override {
        if (!result.body) result.body = Data();
        done = true;
    }

    void connectionDidFailWithError(const std::shared_ptr<URLConnection>&, const Error& error) override {
        result.body.reset();
        result.error = error;
        done = true;
    }

    LimitedFetch::Result result;
    bool done = false;

private:
    void tooLarge(const std::shared_ptr<URLConnection>& connection) {
        connection->cancel();
        result.body.reset();
        result.error =
            Error(std::string(LimitedFetch::kErrorDomain), LimitedFetch::kErrorBodyTooLarge,
                  Value::Dictionary{
                      {std::string(Error::kLocalizedDescriptionKey),
                       Value(Text::format("The reply is larger than %u bytes.", static_cast<unsigned>(limit_)))}});
        done = true;
    }

    std::size_t limit_;
};

}  // namespace

LimitedFetch::Result LimitedFetch::fetch(const URLRequest& request, std::size_t maxBodyBytes) {
    const std::string mode(kFetchMode);
    auto loop = RunLoop::current();
    auto delegate = std::make_shared<FetchDelegate>(maxBodyBytes);
    auto connection = URLConnection::create(request, delegate, false);
    connection->scheduleInRunLoopForMode(loop, mode);
    connection->start();
    while (!delegate->done) {
        if (loop->runMode(mode, Date::distantFuture(), true) == RunLoop::RunResult::Finished) {
            connection->cancel();
            delegate->result.body.reset();
            delegate->result.error = URLConnection::urlError(Error::kURLErrorUnknown, request.url());
            break;
        }
    }
    return std::move(delegate->result);
}

}  // namespace clipora
