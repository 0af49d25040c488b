#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "social/graph/Album.h"
#include "social/graph/FBBaseClass.h"
#include "social/graph/GetAlbumCover.h"
#include "social/graph/GetAlbumCoverDelegate.h"
#include "social/graph/GetAlbumDelegate.h"

namespace clipora {

class Facebook;

// A user's albums with their cover images: one FQL query for the albums
// and, alongside, a GetAlbumCover for the covers; the two replies are joined
// when both are in, whichever comes first.
//
// Each execute() starts a run of its own: the count of replies and both row
// lists start empty, and a run still under way is cancelled (its late
// replies reach nobody). A run reports exactly once:
//  - both replies in: the albums, each with the cover whose "pid" matches
//    its "cover_pid" (none when the cover query failed or none matches);
//  - the album query failed (transport, error reply, time-out, or a reply
//    that is not a list of objects, -3): the failure at once, and the cover
//    query is dropped.
// The operation keeps itself alive until its run has reported.
class GetAlbum : public FBBaseClass, public GetAlbumCoverDelegate {
public:
    GetAlbum() = default;
    ~GetAlbum() override;
    static std::shared_ptr<GetAlbum> initWithDelegate(std::shared_ptr<Facebook> session,
                                                      std::weak_ptr<GetAlbumDelegate> delegate);

    void execute(const std::string& uid);

    // GetAlbumCoverDelegate
    void gotAlbumCoverResult(const std::shared_ptr<GetAlbumCover>& getAlbumCover,
                             const std::optional<platform::Value::Array>& rows) override;

    // Counts one reply of the run; with both in, joins and reports.
    void processResult();
    // Also drops the cover query and ends the run without a report.
    void cancelRequest() override;

    std::shared_ptr<GetAlbumDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<GetAlbumDelegate> delegate) { delegate_ = std::move(delegate); }
    // Replies counted in the run under way (0 to 1; back to 0 once joined).
    std::int32_t number() const { return number_; }
    const platform::Value::Array& albumList() const { return albumList_; }
    const platform::Value::Array& albumCoverList() const { return albumCoverList_; }
    const std::shared_ptr<GetAlbumCover>& albumCover() const { return albumCover_; }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    void dropCoverQuery();
    // Under myLock_.
    void resetRun();
    std::vector<std::shared_ptr<Album>> joinAlbums() const;

    std::weak_ptr<GetAlbumDelegate> delegate_;
    // Guards the count and the lists while a reply is counted.
    std::mutex myLock_;
    std::int32_t number_ = 0;
    platform::Value::Array albumList_;
    platform::Value::Array albumCoverList_;
    std::shared_ptr<GetAlbumCover> albumCover_;
    // Keeps the operation alive until the run has reported.
    std::shared_ptr<GetAlbum> runHold_;
};

}  // namespace clipora
