#include "social/graph/UploadPhoto.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "social/graph/GraphReply.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

UploadPhoto::~UploadPhoto() {
    if (tagPhoto_) tagPhoto_->setDelegate({});
}

std::shared_ptr<UploadPhoto> UploadPhoto::initWithDelegate(std::shared_ptr<Facebook> session,
                                                           std::weak_ptr<UploadPhotoDelegate> delegate) {
    auto operation = std::make_shared<UploadPhoto>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void UploadPhoto::executeAlbumIDInContext(std::shared_ptr<Photo> photo, const std::string& albumID,
                                          std::int32_t inContext) {
    auto self = std::static_pointer_cast<UploadPhoto>(shared_from_this());
    cancelRequest();
    setTimeToWaitBeforeTimeout(kNoTimeout);
    photo_ = std::move(photo);
    inContext_ = inContext;
    Value::Dictionary params;
    params["caption"] = Value(photo_ && photo_->caption() ? *photo_->caption() : std::string());
    if (photo_ && photo_->imagePath()) params["photo"] = Value(*photo_->imagePath());
    if (inContext != 0) {
        const std::string path = platform::Text::format("/%@/photos", albumID);
        startRequest([&](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
            return session.requestWithGraphPathAndParamsAndHttpMethodAndDelegate(path, params, "POST",
                                                                                 std::move(delegate));
        });
    } else {
        params["aid"] = Value(albumID);
        startRequest([&](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
            return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate("photos.upload", params, "POST",
                                                                                  std::move(delegate));
        });
    }
}

void UploadPhoto::didLoadResult(const std::shared_ptr<FBRequest>& request, const Value& result) {
    auto self = std::static_pointer_cast<UploadPhoto>(shared_from_this());
    if (inContext_ != 0) {
        setSuccess(true);
        return report();
    }
    if (!result.isDictionary()) return failedWithJunkData(request);
    if (!photo_) photo_ = std::make_shared<Photo>();
    photo_->setSrcSmall(GraphReply::text(result, "src_small"));
    photo_->setPhotoPageLink(GraphReply::text(result, "link"));
    photo_->setPid(GraphReply::text(result, "pid"));
    if (photo_->tags().empty()) {
        setSuccess(true);
        return report();
    }
    auto d = delegate();
    if (!d) return;  // nobody to ask for the tags' view, nor to tell
    imageSize_ = d->getImageViewSizeForImageSize(
        {static_cast<float>(photo_->imageWidth()), static_cast<float>(photo_->imageHeight())});
    std::vector<std::shared_ptr<Tag>> tags = d->getCorrectedLocationTagsWithImageViewSize(photo_->tags(), imageSize_);
    taggingHold_ = self;
    tagPhoto_ = TagPhoto::initWithDelegate(this->request(), std::weak_ptr<TagPhotoDelegate>(self));
    // Keep a reference: the tagging may end (and let go of it) at once.
    auto tagging = tagPhoto_;
    tagging->executeTagImageViewSize(photo_->pid().value_or(""), tags, imageSize_);
}

void UploadPhoto::finishTaggingPhoto(const std::shared_ptr<TagPhoto>& tagPhoto) {
    // A late report of a tagging that was dropped.
    if (!tagPhoto || tagPhoto != tagPhoto_) return;
    auto self = std::static_pointer_cast<UploadPhoto>(shared_from_this());
    dropTagging();
    // The photo is uploaded whatever came of its tags.
    setSuccess(true);
    report();
}

void UploadPhoto::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] UploadPhoto Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    report();
}

void UploadPhoto::report() {
    auto self = std::static_pointer_cast<UploadPhoto>(shared_from_this());
    if (auto d = delegate()) d->finishPhotoUploadResult(self, photo_);
}

void UploadPhoto::cancelRequest() {
    auto keep = weak_from_this().lock();
    // Cancelling the request stops its form request too.
    FBBaseClass::cancelRequest();
    if (tagPhoto_) {
        auto tagging = tagPhoto_;
        dropTagging();
        tagging->cancelRequest();
    }
}

void UploadPhoto::dropTagging() {
    if (tagPhoto_) tagPhoto_->setDelegate({});
    tagPhoto_.reset();
    taggingHold_.reset();
}

}  // namespace clipora
