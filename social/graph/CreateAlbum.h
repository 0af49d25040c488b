#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "social/graph/Album.h"
#include "social/graph/CreateAlbumDelegate.h"
#include "social/graph/FBBaseClass.h"

namespace clipora {

class Facebook;

// Makes an album: through the graph ("/<uid>/albums", POST) when inContext
// is not 0, else through the REST method "photos.createAlbum". The album's
// name, location and privacy ({"value":"<VISIBLE>"}, upper-cased, written
// by the JSON writer) are sent when present; its description goes as
// "message" (graph) or "description" (REST), empty when absent.
class CreateAlbum : public FBBaseClass {
public:
    CreateAlbum() = default;
    static std::shared_ptr<CreateAlbum> initWithDelegate(std::shared_ptr<Facebook> session,
                                                         std::weak_ptr<CreateAlbumDelegate> delegate);

    void executeInContextUid(const Album& album, std::int32_t inContext, const std::string& uid);

    // The privacy value object for a visibility word: {"value":"<WORD>"}.
    static std::string privacyValue(const std::string& visible);

    std::shared_ptr<CreateAlbumDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<CreateAlbumDelegate> delegate) { delegate_ = std::move(delegate); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    std::weak_ptr<CreateAlbumDelegate> delegate_;
};

}  // namespace clipora
