#include "social/graph/TagPhoto.h"

#include <cmath>
#include <limits>

#include "platform/foundation/Log.h"
#include "social/json/SNJsonWriter.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

namespace {

// A whole percentage of `extent`, cut toward zero, if it is a finite 32-bit
// number.
std::optional<std::int32_t> percentage(float position, float extent) {
    float share = 100.0f * position / extent;
    if (!std::isfinite(share)) return std::nullopt;
    float whole = std::trunc(share);
    if (whole < static_cast<float>(std::numeric_limits<std::int32_t>::min()) ||
        whole >= static_cast<float>(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(whole);
}

}  // namespace

std::shared_ptr<TagPhoto> TagPhoto::initWithDelegate(std::shared_ptr<Facebook> session,
                                                     std::weak_ptr<TagPhotoDelegate> delegate) {
    auto operation = std::make_shared<TagPhoto>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

platform::Error TagPhoto::unusableViewSizeError() {
    return FBRequest::formErrorUserInfo(
        FBRequest::kErrorCodeGeneric,
        {{std::string(FBRequest::kErrorMessageKey), Value("The tags cannot be placed: the view has no usable size")}});
}

std::optional<std::string> TagPhoto::tagText(const std::vector<std::shared_ptr<Tag>>& tags, platform::Size viewSize) {
    if (!(viewSize.width > 0) || !(viewSize.height > 0) || !std::isfinite(viewSize.width) ||
        !std::isfinite(viewSize.height))
        return std::nullopt;
    SNJsonWriter writer;
    auto quoted = [&writer](const std::string& text) {
        return writer.stringWithFragment(Value(text)).value_or("\"\"");
    };
    std::string text = "[";
    for (const auto& tag : tags) {
        if (!tag) continue;
        std::optional<std::int32_t> x = percentage(tag->location().x, viewSize.width);
        std::optional<std::int32_t> y = percentage(tag->location().y, viewSize.height);
        if (!x || !y) return std::nullopt;
        const bool freeText = tag->tagUID() == kTextTagUID;
        const std::string key = freeText ? "tag_text" : "tag_uid";
        const std::string value = (freeText ? tag->tagName() : tag->tagUID()).value_or("");
        if (text.size() > 1) text += ",";
        text += "{" + quoted("x") + ":" + quoted(std::to_string(*x)) + "," + quoted("y") + ":" +
                quoted(std::to_string(*y)) + "," + quoted(key) + ":" + quoted(value) + "}";
    }
    return text + "]";
}

void TagPhoto::executeTagImageViewSize(const std::string& pid, const std::vector<std::shared_ptr<Tag>>& tags,
                                       platform::Size viewSize) {
    auto self = std::static_pointer_cast<TagPhoto>(shared_from_this());
    cancelRequest();
    numberOfTag_ = static_cast<std::int32_t>(tags.size());
    if (tags.empty()) return doneTagging();
    std::optional<std::string> text = tagText(tags, viewSize);
    if (!text) {
        platform::Error error = unusableViewSizeError();
        setSuccess(false);
        setError(error);
        return didFailWithError(nullptr, error);
    }
    Value::Dictionary params{{"pid", Value(pid)}, {"tags", Value(*text)}};
    startRequest([&params](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate("photos.addTag", params, "GET",
                                                                              std::move(delegate));
    });
}

void TagPhoto::doneTagging() {
    auto self = std::static_pointer_cast<TagPhoto>(shared_from_this());
    setSuccess(true);
    if (auto d = delegate()) d->finishTaggingPhoto(self);
}

void TagPhoto::didLoadResult(const std::shared_ptr<FBRequest>&, const Value&) { doneTagging(); }

void TagPhoto::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] TagPhoto Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    auto self = std::static_pointer_cast<TagPhoto>(shared_from_this());
    if (auto d = delegate()) d->finishTaggingPhoto(self);
}

}  // namespace clipora
