#include "analytics/TallyHTTPResponse.h"

#include <cmath>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"

namespace clipora {

using namespace platform;

std::shared_ptr<TallyHTTPResponse> TallyHTTPResponse::initWithResponseBodyError(
    const std::shared_ptr<HTTPURLResponse>& response, std::optional<Data> body, std::optional<Error> error) {
    return initWithBodyStatusCodeHeadersError(std::move(body), response ? response->statusCode() : 0,
                                              response ? std::optional(response->allHeaderFields()) : std::nullopt,
                                              std::move(error));
}

std::shared_ptr<TallyHTTPResponse> TallyHTTPResponse::initWithBodyStatusCodeHeadersError(
    std::optional<Data> body, std::int32_t statusCode, std::optional<Value::Dictionary> headers,
    std::optional<Error> error) {
    auto response = std::make_shared<TallyHTTPResponse>();
    response->body_ = std::move(body);
    response->statusCode_ = statusCode;
    response->headers_ = std::move(headers);
    response->error_ = std::move(error);
    return response;
}

std::shared_ptr<TallyHTTPResponse> TallyHTTPResponse::readFromURL(const std::string& url) {
    std::string path = url;
    if (auto parsed = URL::fromString(url); parsed && parsed->isFileURL()) path = parsed->path();
    auto stored = FileManager::fileExists(path) ? PropertyList::fromFile(path) : std::nullopt;
    if (!stored || !stored->dictionary())
        return initWithBodyStatusCodeHeadersError(std::nullopt, 0, std::nullopt, std::nullopt);
    std::optional<Data> body;
    if (const Value* b = stored->find("body"); b && b->data()) body = *b->data();
    std::optional<Value::Dictionary> headers;
    if (const Value* h = stored->find("headers"); h && h->dictionary()) headers = *h->dictionary();
    const Value* status = stored->find("statusCode");
    return initWithBodyStatusCodeHeadersError(std::move(body), status ? status->intValue() : 0, std::move(headers),
                                              std::nullopt);
}

std::string TallyHTTPResponse::filePath(std::int64_t secondsSince1970) {
    return Text::format("%@/tallyResponse%d", FileManager::documentsDirectory(), secondsSince1970);
}

std::string TallyHTTPResponse::description() const {
    const std::optional<std::string> text = body_ ? Text::fromUTF8(*body_) : std::nullopt;
    return Text::format("status:%d error:%@ body:%@", statusCode_,
                        error_ ? Value(error_->localizedDescription()) : Value(), text ? Value(*text) : Value());
}

void TallyHTTPResponse::saveToDisk() const {
    Value::Dictionary stored{{"statusCode", Value(statusCode_)}};
    if (body_) stored.emplace("body", Value(*body_));
    if (headers_) stored.emplace("headers", Value(*headers_));
    const auto seconds = static_cast<std::int64_t>(std::trunc(Date::now().timeIntervalSince1970()));
    PropertyList::writeToFile(Value(std::move(stored)), filePath(seconds));
}

}  // namespace clipora
