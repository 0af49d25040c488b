#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Size.h"
#include "social/graph/FBBaseClass.h"
#include "social/graph/Tag.h"
#include "social/graph/TagPhotoDelegate.h"

namespace clipora {

class Facebook;

// Places tags on an uploaded photo with the REST method "photos.addTag"
// (GET, parameters "pid" and "tags"). Tag locations are points in a view of
// the given size; they travel as whole percentages of its width and height.
// No tags: success at once, nothing sent. A view without a usable size (not
// positive, or locations that give no percentage) fails at once, nothing
// sent.
class TagPhoto : public FBBaseClass {
public:
    // The uid that marks a tag of free text instead of a person.
    static constexpr const char* kTextTagUID = "-1";

    TagPhoto() = default;
    static std::shared_ptr<TagPhoto> initWithDelegate(std::shared_ptr<Facebook> session,
                                                      std::weak_ptr<TagPhotoDelegate> delegate);

    void executeTagImageViewSize(const std::string& pid, const std::vector<std::shared_ptr<Tag>>& tags,
                                 platform::Size viewSize);
    // success true, then the delegate.
    void doneTagging();

    // The "tags" parameter, a JSON list written by the JSON writer:
    // [{"x":"<x>","y":"<y>","tag_text":"<name>"}, ...] for free-text tags and
    // "tag_uid" with the person's id for the others, x and y as texts of
    // whole percentages (cut toward zero). Absent when the view size is not
    // positive or a percentage is not a finite 32-bit number.
    static std::optional<std::string> tagText(const std::vector<std::shared_ptr<Tag>>& tags, platform::Size viewSize);
    // The error of a view without a usable size.
    static platform::Error unusableViewSizeError();

    std::shared_ptr<TagPhotoDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<TagPhotoDelegate> delegate) { delegate_ = std::move(delegate); }
    // Tags of the last request.
    std::int32_t numberOfTag() const { return numberOfTag_; }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    std::weak_ptr<TagPhotoDelegate> delegate_;
    std::int32_t numberOfTag_ = 0;
};

}  // namespace clipora
